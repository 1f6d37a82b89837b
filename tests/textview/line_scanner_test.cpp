#include "textview/line_scanner.h"

#include "support/test_env.h"
#include "text_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace infemora {
namespace {

using Seen = std::vector<std::pair<std::int64_t, std::string>>;

Seen scan(const LogDocument& doc, std::int64_t first, std::int64_t end, LineScanner::Direction direction,
          std::size_t blockBytes) {
    Seen seen;
    LineScanner scanner(doc, first, end, direction, blockBytes);
    std::int64_t line = 0;
    std::string_view bytes;
    while (scanner.next(line, bytes))
        seen.emplace_back(line, std::string(bytes));
    return seen;
}

Seen expectedLines(const std::vector<std::string>& lines, std::int64_t first, std::int64_t end,
                   bool backward) {
    Seen out;
    for (std::int64_t i = first; i < end; ++i)
        out.emplace_back(i, lines[i]);
    if (backward)
        std::reverse(out.begin(), out.end());
    return out;
}

class LineScannerBlocks : public ::testing::TestWithParam<std::size_t> {};

// Small blocks force many refills and lines longer than a block.
TEST_P(LineScannerBlocks, DeliversEveryLineOnceInBothDirections) {
    std::mt19937 rng(5);
    const std::string bytes = textoracle::randomText(rng, 4000);
    const auto lines = textoracle::splitLines(bytes);
    testenv::TempSite site;
    const std::string path = site.path("scan.log");
    site.writeFile(path, bytes);
    LogDocument fromFile;
    fromFile.open(path);
    LogDocument inMemory;
    inMemory.setBytes(bytes);
    const auto count = static_cast<std::int64_t>(lines.size());

    for (const LogDocument* doc : {&fromFile, &inMemory}) {
        EXPECT_EQ(scan(*doc, 0, count, LineScanner::Direction::Forward, GetParam()),
                  expectedLines(lines, 0, count, false));
        EXPECT_EQ(scan(*doc, 0, count, LineScanner::Direction::Backward, GetParam()),
                  expectedLines(lines, 0, count, true));
        EXPECT_EQ(scan(*doc, 10, 40, LineScanner::Direction::Backward, GetParam()),
                  expectedLines(lines, 10, 40, true));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LineScannerBlocks, ::testing::Values(1, 7, 64, LineScanner::kBlockBytes));

TEST(LineScanner, RangeBeyondTheDocumentIsCut) {
    LogDocument doc;
    doc.setLines({"a", "b", "c"});
    EXPECT_EQ(scan(doc, -5, 99, LineScanner::Direction::Forward, 16), (Seen{{0, "a"}, {1, "b"}, {2, "c"}}));
    EXPECT_TRUE(scan(doc, 2, 2, LineScanner::Direction::Backward, 16).empty());
}

TEST(LineScanner, ManyEmptyLinesAreAllDelivered) {
    LogDocument doc;
    doc.setBytes(std::string(200'000, '\n') + "x");
    for (auto direction : {LineScanner::Direction::Forward, LineScanner::Direction::Backward}) {
        const Seen seen = scan(doc, 0, doc.lineCount(), direction, LineScanner::kBlockBytes);
        ASSERT_EQ(seen.size(), 200'001u);
        const auto& last = direction == LineScanner::Direction::Forward ? seen.back() : seen.front();
        EXPECT_EQ(last, (std::pair<std::int64_t, std::string>{200'000, "x"}));
        EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const auto& s) { return s.second.empty(); }),
                  200'000);
        for (std::size_t i = 1; i < seen.size(); ++i)
            ASSERT_EQ(std::abs(seen[i].first - seen[i - 1].first), 1);
    }
}

TEST(LineScanner, FileCutShortYieldsShorterLines) {
    testenv::TempSite site;
    const std::string path = site.path("kurz.log");
    site.writeLines(path, {"eins", "zwei", "drei"});
    LogDocument doc;
    doc.open(path);
    std::filesystem::resize_file(path, 8); // "eins\r\nzw"
    EXPECT_EQ(scan(doc, 0, 3, LineScanner::Direction::Forward, 1 << 20),
              (Seen{{0, "eins"}, {1, "zw"}, {2, ""}}));
    EXPECT_EQ(scan(doc, 0, 3, LineScanner::Direction::Backward, 1 << 20),
              (Seen{{2, ""}, {1, "zw"}, {0, "eins"}}));
}

} // namespace
} // namespace infemora
