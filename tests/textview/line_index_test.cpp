#include "textview/line_index.h"
#include "textview/log_document.h"

#include "support/test_env.h"
#include "text_oracle.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

using namespace std::string_literals;

std::vector<std::string> linesOf(const LogDocument& doc) {
    std::vector<std::string> out;
    for (std::int64_t i = 0; i < doc.lineCount(); ++i)
        out.push_back(doc.line(i));
    return out;
}

struct SplitCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

class LineSplitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(LineSplitting, InMemoryAndFromFileAlike) {
    const SplitCase& c = GetParam();
    LogDocument memory;
    memory.setBytes(c.bytes);
    EXPECT_EQ(linesOf(memory), c.lines);

    testenv::TempSite site;
    const std::string path = site.path("split.txt");
    site.writeFile(path, c.bytes);
    LogDocument file;
    file.open(path);
    EXPECT_TRUE(file.isFileBacked());
    EXPECT_EQ(linesOf(file), c.lines);

    // The text is the lines joined by one break each, which is how the view counts.
    std::int64_t expectedLength = 0;
    for (const auto& l : c.lines)
        expectedLength += static_cast<std::int64_t>(l.size()) + 1;
    EXPECT_EQ(file.textLength(), std::max<std::int64_t>(0, expectedLength - 1));
}

INSTANTIATE_TEST_SUITE_P(Breaks, LineSplitting,
                         ::testing::Values(SplitCase{"CrLf", "eins\r\nzwei\r\n", {"eins", "zwei"}},
                                           SplitCase{"Lf", "eins\nzwei\n", {"eins", "zwei"}},
                                           SplitCase{"Cr", "eins\rzwei\r", {"eins", "zwei"}},
                                           SplitCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                                           SplitCase{"NoFinalBreak", "a\r\nletzte", {"a", "letzte"}},
                                           SplitCase{"Empty", "", {}}, SplitCase{"OnlyBreak", "\r\n", {""}},
                                           SplitCase{"CrBeforeCrLf", "\r\r\n", {"", ""}},
                                           SplitCase{"LfBeforeCr", "\n\r", {"", ""}},
                                           SplitCase{"EmptyLines", "\r\n\r\nx", {"", "", "x"}},
                                           SplitCase{"BinaryBytes", "a\0b\xFC\r\n\0"s, {"a\0b\xFC"s, "\0"s}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LineIndexBuilder, PiecesOfAnySizeGiveTheSameLines) {
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const std::string text = textoracle::randomText(rng, 600);
        LineIndex index;
        LineIndexBuilder builder(index);
        std::uniform_int_distribution<std::size_t> pieceSize(1, 9);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t n = std::min(pieceSize(rng), text.size() - at);
            builder.feed(text.data() + at, n);
            at += n;
        }
        builder.finish();

        const auto expected = textoracle::splitLines(text);
        ASSERT_EQ(index.count(), static_cast<std::int64_t>(expected.size())) << "round " << round;
        for (std::int64_t i = 0; i < index.count(); ++i)
            ASSERT_EQ(text.substr(index.byteStart(i), index.length(i)), expected[i]) << "round " << round;
    }
}

TEST(LineIndexBuilder, CrAtTheEndOfAPieceBeforeLf) {
    LineIndex index;
    LineIndexBuilder builder(index);
    builder.feed("ab\r", 3);
    builder.feed("\ncd\r", 4);
    builder.finish();
    ASSERT_EQ(index.count(), 2);
    EXPECT_EQ(index.length(0), 2u);
    EXPECT_EQ(index.byteStart(1), 4u);
    EXPECT_EQ(index.length(1), 2u);
    EXPECT_EQ(index.textLength(), 5u);
}

TEST(LineIndex, PositionsBothWaysMatchTheText) {
    std::mt19937 rng(11);
    // Long enough for many blocks of lines, with every kind of break mixed.
    const std::string bytes = textoracle::randomText(rng, 20000);
    const auto lines = textoracle::splitLines(bytes);
    const std::string chars = textoracle::characters(lines);
    LogDocument doc;
    doc.setBytes(bytes);
    ASSERT_EQ(doc.textLength(), static_cast<std::int64_t>(chars.size()));

    std::int64_t line = 0;
    std::int64_t column = 0;
    for (std::int64_t pos = 0; pos <= doc.textLength(); ++pos) {
        ASSERT_EQ(doc.lineColumn(pos), (LineColumn{line, column})) << "position " << pos;
        ASSERT_EQ(doc.position(line, column), pos);
        if (pos < static_cast<std::int64_t>(chars.size()) && chars[pos] == '\n') {
            ++line;
            column = 0;
        } else {
            ++column;
        }
    }
}

TEST(LineIndex, PositionsOutsideTheTextAreClamped) {
    LogDocument doc;
    doc.setLines({"abc", "de"});
    EXPECT_EQ(doc.lineColumn(-4), (LineColumn{0, 0}));
    EXPECT_EQ(doc.lineColumn(99), (LineColumn{1, 2}));
    EXPECT_EQ(doc.position(5, 0), 4); // last line
    EXPECT_EQ(doc.position(5, 9), 6);
    EXPECT_EQ(doc.position(0, 17), 3); // end of the line, before its break
    EXPECT_EQ(doc.position(-1, -1), 0);
    EXPECT_EQ(doc.lineStart(1), 4);
    EXPECT_EQ(doc.lineStart(2), doc.textLength());

    LogDocument empty;
    EXPECT_EQ(empty.lineColumn(3), (LineColumn{0, 0}));
    EXPECT_EQ(empty.position(2, 2), 0);
    EXPECT_EQ(empty.line(0), "");
}

// A block of 64 lines spanning more than 4 GiB outgrows the 32-bit deltas; the index is told
// to switch at a lower width here, the way through is the same.
TEST(LineIndex, BlocksWithWideOffsetsKeepThem) {
    std::mt19937 rng(13);
    std::string text = textoracle::randomText(rng, 5000);
    text.insert(1234, std::string(700, 'w')); // a line wider than any delta allowed
    const auto expected = textoracle::splitLines(text);
    LineIndex index(200);
    LineIndexBuilder builder(index);
    builder.feed(text.data(), text.size());
    builder.finish();

    LogDocument reference;
    reference.setBytes(text);
    ASSERT_EQ(index.count(), static_cast<std::int64_t>(expected.size()));
    for (std::int64_t i = 0; i < index.count(); ++i) {
        ASSERT_EQ(text.substr(index.byteStart(i), index.length(i)), expected[i]) << "line " << i;
        ASSERT_EQ(index.position(i), static_cast<std::uint64_t>(reference.lineStart(i))) << "line " << i;
    }
    for (std::uint64_t pos = 0; pos <= index.textLength(); pos += 7)
        ASSERT_EQ(index.lineAt(pos), reference.lineColumn(static_cast<std::int64_t>(pos)).line);
    EXPECT_EQ(index.maxLength(), static_cast<std::uint64_t>(reference.maxLineLength()));

    LineIndex compact;
    LineIndexBuilder compactBuilder(compact);
    compactBuilder.feed(text.data(), text.size());
    compactBuilder.finish();
    EXPECT_GT(index.memoryBytes(), compact.memoryBytes()); // the wide way was taken
}

} // namespace
} // namespace infemora
