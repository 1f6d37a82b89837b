// Cutting log texts into entries: where each begins, its key and its kind.
#include "textview/entry_index.h"
#include "textview/log_document.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

std::string start(const std::string& tag = "00001") {
    return tag + "<<=========";
}
std::string stamp(const std::string& date, const std::string& time, const std::string& rest = "Info") {
    return "00001## " + date + " " + time + " KASSE1 PRG " + rest;
}
std::int64_t ms(int year, int month, int day, int h, int m, int s) {
    return (EncodeDate(year, month, day) + EncodeTime(h, m, s, 0)).ms;
}

struct Expected {
    std::int64_t first;
    std::int64_t key; // EntryIndex::kNoKey for none
    EntryKind kind;
    bool stamped;
};

struct CutCase {
    const char* name;
    EntryLayout layout;
    Lines lines;
    std::vector<Expected> entries;
};

EntryIndex indexOf(EntryLayout layout, const Lines& lines) {
    LogDocument doc;
    doc.setLines(lines);
    return BuildEntryIndex(doc, layout);
}

class Cutting : public ::testing::TestWithParam<CutCase> {};

TEST_P(Cutting, EntriesBeginKeyAndKind) {
    const CutCase& c = GetParam();
    const EntryIndex index = indexOf(c.layout, c.lines);
    ASSERT_EQ(index.count(), static_cast<std::int64_t>(c.entries.size()));
    EXPECT_EQ(index.lineCount(), static_cast<std::int64_t>(c.lines.size()));
    std::vector<std::int64_t> errors;
    for (std::int64_t e = 0; e < index.count(); ++e) {
        const Expected& x = c.entries[static_cast<std::size_t>(e)];
        EXPECT_EQ(index.firstLine(e), x.first) << "entry " << e;
        EXPECT_EQ(index.key(e), x.key) << "entry " << e;
        EXPECT_EQ(index.kind(e), x.kind) << "entry " << e;
        EXPECT_EQ(index.hasStamp(e), x.stamped) << "entry " << e;
        if (x.kind != EntryKind::Plain)
            errors.push_back(e);
    }
    EXPECT_EQ(index.errors(), errors);
}

const std::int64_t kNone = EntryIndex::kNoKey;
const std::int64_t t1015 = ms(2026, 12, 8, 10, 15, 0);
const std::int64_t t1100 = ms(2026, 12, 8, 11, 0, 0);

INSTANTIATE_TEST_SUITE_P(
    Entries, Cutting,
    ::testing::Values(CutCase{"InfoEntriesOfSeveralLines",
                              EntryLayout::Info,
                              {start(), stamp("20261208", "101500"), "  Text", "  mehr Text", start(),
                               stamp("20261208", "110000")},
                              {{0, t1015, EntryKind::Plain, true}, {4, t1100, EntryKind::Plain, true}}},
                      CutCase{"LinesBeforeTheFirstStartLineAreAnEntry",
                              EntryLayout::Info,
                              {"Kopf ohne Eintrag", "noch einer", start(), stamp("20261208", "101500")},
                              {{0, kNone, EntryKind::Plain, false}, {2, t1015, EntryKind::Plain, true}}},
                      CutCase{"EntryWithoutStampStandsAtTheTimeBefore",
                              EntryLayout::Info,
                              {start(), stamp("20261208", "101500"), start(), "  nur Text"},
                              {{0, t1015, EntryKind::Plain, true}, {2, t1015, EntryKind::Plain, false}}},
                      CutCase{"KindComesFromTheFirstStampLine",
                              EntryLayout::Info,
                              {start(), stamp("20261208", "101500", "Fehler-Meldung: STANDARD.51"), start(),
                               stamp("20261208", "101500", "NONE-Meldung: KASSE.20"), start(),
                               stamp("20261208", "101500", "Info"), "  Fehler-Meldung im Text", start(),
                               stamp("20261208", "101500", "Info"),
                               stamp("20261208", "101500", "Fehler-Meldung: X")},
                              {{0, t1015, EntryKind::Fehler, true},
                               {2, t1015, EntryKind::None, true},
                               {4, t1015, EntryKind::Plain, true},
                               {7, t1015, EntryKind::Plain, true}}},
                      CutCase{"NoneBeforeFehlerAsTheEvaluationReadsThem",
                              EntryLayout::Info,
                              {start(), stamp("20261208", "101500", "Fehler-Meldung NONE-Meldung")},
                              {{0, t1015, EntryKind::None, true}}},
                      CutCase{"AnImpossibleStampOrAnOlderOneKeepsTheKey",
                              EntryLayout::Info,
                              {start(), stamp("20261208", "110000"), start(), stamp("20261208", "250000"),
                               start(), stamp("20261208", "101500")},
                              {{0, t1100, EntryKind::Plain, true},
                               {2, t1100, EntryKind::Plain, false},
                               {4, t1100, EntryKind::Plain, true}}},
                      CutCase{"TransferLinesWithDateAndContinuations",
                              EntryLayout::Transfer,
                              {"20261208 101500 \xDC"
                               "bertragung gestartet",
                               "  Fortsetzung", "20261208 110000 Fehler-Meldung", "kein Datum",
                               "2026120x 120000 auch keins"},
                              {{0, t1015, EntryKind::Plain, true}, {2, t1100, EntryKind::Fehler, true}}},
                      CutCase{"MenuLinesByTheDateBeforeTheFirstSeparator",
                              EntryLayout::Menu,
                              {"Kopf",
                               "08.12.2026\xF8"
                               "10:15:00\xF8"
                               "BEDIENER1\xF8KASSE",
                               "weiter", "08.12.2026\xF8kaputt\xF8X",
                               "31.13.2026\xF8"
                               "10:00:00"},
                              {{0, kNone, EntryKind::Plain, false},
                               {1, t1015, EntryKind::Plain, true},
                               {3, t1015, EntryKind::Plain, true}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EntryIndex, LookUpsByLineTimeAndError) {
    const EntryIndex index = indexOf(EntryLayout::Info, {start(), stamp("20261208", "100000"), start(),
                                                         stamp("20261208", "101500", "Fehler-Meldung: A"),
                                                         "  x", start(), stamp("20261208", "101500"), start(),
                                                         stamp("20261208", "110000", "NONE-Meldung: B")});
    EXPECT_EQ(index.entryOfLine(0), 0);
    EXPECT_EQ(index.entryOfLine(4), 1);
    EXPECT_EQ(index.entryOfLine(8), 3);
    EXPECT_EQ(index.entryOfLine(9), -1);
    EXPECT_EQ(index.entryOfLine(-1), -1);
    // The first entry at or after a time; equal stamps: the first of them.
    EXPECT_EQ(index.firstAtOrAfter(TDateTime(t1015)), 1);
    EXPECT_EQ(index.firstAtOrAfter(TDateTime(t1015 - 1)), 1);
    EXPECT_EQ(index.firstAtOrAfter(TDateTime(t1015 + 1)), 3);
    EXPECT_EQ(index.firstAtOrAfter(TDateTime(t1100 + 1)), 4);
    EXPECT_EQ(index.firstAtOrAfter(TDateTime()), 0);
    EXPECT_EQ(index.errors(), (std::vector<std::int64_t>{1, 3}));
    EXPECT_EQ(index.errorAtOrAfter(0), 0u);
    EXPECT_EQ(index.errorAtOrAfter(2), 1u);
    EXPECT_EQ(index.errorAtOrAfter(4), 2u);
}

// A log that grows: the last entry is read again with what follows it.
TEST(EntryIndex, ExtendingGivesWhatReadingEverythingGives) {
    const Lines first = {start(), stamp("20261208", "100000"), start(), stamp("20261208", "101500")};
    const Lines more = {"  Fehler-Meldung im Text des letzten", start(),
                        stamp("20261208", "110000", "Fehler-Meldung: C"), "  y"};
    LogDocument doc;
    doc.setLines(first);
    EntryIndex index = BuildEntryIndex(doc, EntryLayout::Info);
    std::string bytes;
    for (const auto& l : more)
        bytes += l + "\r\n";
    doc.appendBytes(bytes);
    EXPECT_EQ(ExtendEntryIndex(index, doc, EntryLayout::Info), 2) << "read again from the last entry";

    Lines all = first;
    all.insert(all.end(), more.begin(), more.end());
    const EntryIndex whole = indexOf(EntryLayout::Info, all);
    ASSERT_EQ(index.count(), whole.count());
    for (std::int64_t e = 0; e < whole.count(); ++e) {
        EXPECT_EQ(index.firstLine(e), whole.firstLine(e));
        EXPECT_EQ(index.key(e), whole.key(e));
        EXPECT_EQ(index.kind(e), whole.kind(e));
    }
    EXPECT_EQ(index.errors(), whole.errors());
    EXPECT_EQ(index.lineCount(), whole.lineCount());
}

TEST(EntryIndex, EntriesAroundAPlaceAgreeWithTheWholeText) {
    Lines lines;
    for (int i = 0; i < 40; ++i) {
        lines.push_back(start());
        lines.push_back(stamp("20261208", "101500", i % 3 == 0 ? "Fehler-Meldung: X" : "Info"));
        for (int k = 0; k < i % 5; ++k)
            lines.push_back("  Text " + std::to_string(k));
    }
    LogDocument doc;
    doc.setLines(lines);
    const EntryIndex whole = BuildEntryIndex(doc, EntryLayout::Info);
    for (std::int64_t top = 0; top + 10 <= doc.lineCount(); top += 7) {
        const EntryWindow around = EntriesAround(doc, EntryLayout::Info, top, top + 10);
        for (std::int64_t line = top; line < top + 10; ++line) {
            const std::int64_t e = around.entries.entryOfLine(line - around.from);
            ASSERT_GE(e, 0);
            EXPECT_EQ(around.entries.kind(e), whole.kind(whole.entryOfLine(line))) << "line " << line;
        }
    }
}

TEST(EntryIndex, LineMarksAndLayoutsByName) {
    EXPECT_EQ(MarkOfLine(start()), LineMark::Start);
    EXPECT_EQ(MarkOfLine("       -------------------------------------------"), LineMark::Separator);
    EXPECT_EQ(MarkOfLine("       ------------------------------------------"), LineMark::Plain)
        << "42 hyphens";
    EXPECT_EQ(MarkOfLine("       >> 20261208 101500 BEDIENER1 KASSE Protokollstart"), LineMark::Protokoll);
    EXPECT_EQ(MarkOfLine("       >> 20261208 101500 BEDIENER1 KASSE Protokollende"), LineMark::Protokoll);
    EXPECT_EQ(MarkOfLine("       protokollstart"), LineMark::Plain);
    EXPECT_EQ(MarkOfLine(stamp("20261208", "101500")), LineMark::Plain);

    EXPECT_EQ(LayoutForFile("/x/TRANSFER.LOG"), EntryLayout::Transfer);
    EXPECT_EQ(LayoutForFile("/x/transfer.log"), EntryLayout::Transfer);
    EXPECT_EQ(LayoutForFile("/x/ALT-TRAN.003"), EntryLayout::Transfer);
    EXPECT_EQ(LayoutForFile("/x/MENU.LOG"), EntryLayout::Menu);
    EXPECT_EQ(LayoutForFile("/x/alt-menu.001"), EntryLayout::Menu);
    EXPECT_EQ(LayoutForFile("/x/infoprot.tmp"), EntryLayout::Info);
    EXPECT_EQ(LayoutForFile("/x/ALT-INFO.00001"), EntryLayout::Info);
}

} // namespace
} // namespace infemora
