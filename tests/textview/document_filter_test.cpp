// A document that shows a selection of its lines, and one that grows while it is shown.
#include "textview/entry_filter.h"
#include "textview/log_document.h"

#include "support/test_env.h"
#include "text_oracle.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

std::vector<std::string> linesOf(const LogDocument& doc) {
    std::vector<std::string> out;
    for (std::int64_t i = 0; i < doc.lineCount(); ++i)
        out.push_back(doc.line(i));
    return out;
}

// Every position of the shown text, both ways, against a document holding only those lines.
void expectSameText(const LogDocument& shown, const std::vector<std::string>& lines) {
    LogDocument reference;
    reference.setLines(lines);
    ASSERT_EQ(linesOf(shown), lines);
    ASSERT_EQ(shown.textLength(), reference.textLength());
    for (std::int64_t pos = 0; pos <= reference.textLength(); ++pos) {
        ASSERT_EQ(shown.lineColumn(pos), reference.lineColumn(pos)) << "position " << pos;
        const LineColumn at = reference.lineColumn(pos);
        ASSERT_EQ(shown.position(at.line, at.column), pos);
    }
    EXPECT_EQ(shown.text(0, shown.textLength()), reference.text(0, reference.textLength()));
}

TEST(LineFilter, ASelectionOfLinesReadsLikeATextOfThoseLines) {
    std::mt19937 rng(23);
    for (int round = 0; round < 12; ++round) {
        const std::string bytes = textoracle::randomText(rng, 3000);
        const auto all = textoracle::splitLines(bytes);
        LogDocument doc;
        doc.setBytes(bytes);
        // Runs of lines kept and left out, the first run sometimes left out.
        std::vector<LineRange> ranges;
        std::vector<std::string> kept;
        std::uniform_int_distribution<int> run(1, 90);
        bool keep = round % 2 == 0;
        for (std::int64_t line = 0; line < doc.lineCount(); keep = !keep) {
            const std::int64_t end = std::min<std::int64_t>(doc.lineCount(), line + run(rng));
            if (keep) {
                ranges.push_back({line, end});
                kept.insert(kept.end(), all.begin() + line, all.begin() + end);
            }
            line = end;
        }
        doc.setLineFilter(FilteredLineIndex(doc.fullIndex(), ranges));
        ASSERT_TRUE(doc.isFiltered());
        expectSameText(doc, kept);
        EXPECT_EQ(doc.fullIndex().count(), static_cast<std::int64_t>(all.size()));

        doc.clearLineFilter();
        EXPECT_EQ(linesOf(doc), all) << "round " << round;
    }
}

TEST(LineFilter, LineNumbersBetweenTheSelectionAndTheWholeText) {
    LineSelection s({{2, 4}, {4, 6}, {9, 10}});
    ASSERT_EQ(s.ranges(), (std::vector<LineRange>{{2, 6}, {9, 10}})) << "touching ranges are one";
    EXPECT_EQ(s.shownCount(), 5);
    const std::int64_t shown[] = {0, 0, 0, 1, 2, 3, 4, 4, 4, 4, 5};
    for (std::int64_t full = 0; full <= 10; ++full)
        EXPECT_EQ(s.shownLine(full), shown[full]) << "line " << full;
    const std::int64_t full[] = {2, 3, 4, 5, 9};
    for (std::int64_t line = 0; line < 5; ++line)
        EXPECT_EQ(s.fullLine(line), full[line]);
    EXPECT_TRUE(s.contains(9));
    EXPECT_FALSE(s.contains(6));

    s.truncate(4);
    EXPECT_EQ(s.ranges(), (std::vector<LineRange>{{2, 4}}));
    s.append({{4, 5}, {7, 8}});
    EXPECT_EQ(s.ranges(), (std::vector<LineRange>{{2, 5}, {7, 8}}));
    EXPECT_EQ(s.shownCount(), 4);
}

struct GrowCase {
    const char* name;
    std::vector<std::string> pieces;
    std::vector<std::string> lines; // after every piece
};

class Growing : public ::testing::TestWithParam<GrowCase> {};

// A line without its break is shown as far as it goes and completed by what follows.
TEST_P(Growing, AppendedBytesReadAsIfTheFileHadThemAll) {
    const GrowCase& c = GetParam();
    testenv::TempSite site;
    const std::string path = site.path("wachsend.log");
    site.writeFile(path, c.pieces.front());
    LogDocument file;
    file.open(path);
    LogDocument memory;
    memory.setBytes(c.pieces.front());
    std::string all = c.pieces.front();
    for (std::size_t i = 1; i < c.pieces.size(); ++i) {
        file.appendBytes(c.pieces[i]);
        memory.appendBytes(c.pieces[i]);
        all += c.pieces[i];
    }
    EXPECT_EQ(linesOf(file), c.lines);
    EXPECT_EQ(linesOf(memory), c.lines);
    EXPECT_EQ(file.byteSize(), all.size());
    LogDocument whole;
    whole.setBytes(all);
    EXPECT_EQ(file.textLength(), whole.textLength());
    EXPECT_EQ(file.text(0, file.textLength()), whole.text(0, whole.textLength()));
}

INSTANTIATE_TEST_SUITE_P(Follow, Growing,
                         ::testing::Values(GrowCase{"WholeLines", {"a\r\n", "b\r\nc\r\n"}, {"a", "b", "c"}},
                                           GrowCase{"LineCompleted", {"a\r\nhal", "b\r\n"}, {"a", "halb"}},
                                           GrowCase{"LineStillOpen", {"a\r\n", "ha", "l"}, {"a", "hal"}},
                                           GrowCase{"CrThenLf", {"a\r", "\nb"}, {"a", "b"}},
                                           GrowCase{"CrThenText", {"a\r", "b\r\n"}, {"a", "b"}},
                                           GrowCase{"FromEmpty", {"", "x\ny"}, {"x", "y"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Pieces of any size, across blocks of the index, read as the whole text does.
TEST(LineFilter, TextAppendedInPiecesOfAnySize) {
    std::mt19937 rng(31);
    for (int round = 0; round < 20; ++round) {
        const std::string text = textoracle::randomText(rng, 2500);
        LogDocument doc;
        std::uniform_int_distribution<std::size_t> piece(1, 40);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t n = std::min(piece(rng), text.size() - at);
            doc.appendBytes(std::string_view(text).substr(at, n));
            at += n;
        }
        ASSERT_EQ(linesOf(doc), textoracle::splitLines(text)) << "round " << round;
        LogDocument whole;
        whole.setBytes(text);
        ASSERT_EQ(doc.textLength(), whole.textLength());
        for (std::int64_t line = 0; line < whole.lineCount(); ++line)
            ASSERT_EQ(doc.lineStart(line), whole.lineStart(line)) << "round " << round << " line " << line;
    }
}

TEST(LineFilter, AppendedLinesLeaveTheSelectionAlone) {
    LogDocument doc;
    doc.setBytes("a\r\nb\r\nc\r\n");
    doc.setLineFilter(FilteredLineIndex(doc.fullIndex(), {{1, 2}}));
    doc.appendBytes("d\r\ne\r\n");
    EXPECT_EQ(linesOf(doc), (std::vector<std::string>{"b"}));
    EXPECT_EQ(doc.fullIndex().count(), 5);
    AppendFilteredLines(*doc.filterIndex(), doc.fullIndex(), {{4, 5}});
    EXPECT_EQ(linesOf(doc), (std::vector<std::string>{"b", "e"}));
    EXPECT_EQ(doc.text(0, doc.textLength()), "b\r\ne");
}

} // namespace
} // namespace infemora
