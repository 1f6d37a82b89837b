// The entry filter by text and the timeline, on small texts whose results are written out here.
#include "textview/entry_filter.h"
#include "textview/log_document.h"
#include "textview/timeline.h"

#include "support/test_env.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace infemora {
namespace {

// Three entries and a head without start line; umlauts as the logs hold them (Windows-1252).
const Lines kText = {
    "Kopf ohne Eintrag",                                              // 0
    "00001<<=====",                                                   // 1
    "00001## 20261208 101500 KASSE1 PRG Fehler-Meldung: STANDARD.51", // 2
    "       Gr\xF6\xDF"
    "e passt nicht", // 3  "Größe"
    "       Lieferschein \xFC"
    "bernommen",                                                 // 4  "übernommen"
    "00001<<=====",                                              // 5
    "00001## 20261208 101600 KASSE1 PRG Info",                   // 6
    "       Verbindung zur Zen",                                 // 7  a text broken
    "trale unterbrochen",                                        // 8  across two lines
    "00001<<=====",                                              // 9
    "00001## 20261208 111700 KASSE1 PRG NONE-Meldung: KASSE.20", // 10
    "       GR\xD6\xDF"
    "E fehlt", // 11 "GRÖßE"
};

struct FilterCase {
    const char* name;
    std::vector<EintragsBedingung> bedingungen;
    std::vector<LineRange> ranges;
};

class Filtering : public ::testing::TestWithParam<FilterCase> {};

TEST_P(Filtering, WholeEntriesPass) {
    LogDocument doc;
    doc.setLines(kText);
    const EntryIndex entries = BuildEntryIndex(doc, EntryLayout::Info);
    EXPECT_EQ(FilterEntries(doc, entries, {GetParam().bedingungen}), GetParam().ranges);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Filtering,
    ::testing::Values(FilterCase{"NoConditionShowsAll", {}, {{0, 12}}},
                      FilterCase{"BlanksAreNoCondition", {{"   ", true}}, {{0, 12}}},
                      FilterCase{"ContainsWholeEntries", {{"passt", true}}, {{1, 5}}},
                      FilterCase{"CaseFoldedUmlauts",
                                 {{"gr\xF6\xDF"
                                   "e",
                                   true}},
                                 {{1, 5}, {9, 12}}},
                      FilterCase{"UpperUmlautFindsLower",
                                 {{"\xDC"
                                   "BERNOMMEN",
                                   true}},
                                 {{1, 5}}},
                      FilterCase{"BlanksAroundTheTextAreDropped", {{"  zur zen  ", true}}, {{5, 9}}},
                      FilterCase{"TextAcrossTwoLinesIsNotFound", {{"Zentrale", true}}, {}},
                      FilterCase{"WithoutTheText", {{"Meldung", false}}, {{0, 1}, {5, 9}}},
                      FilterCase{
                          "EveryConditionMustHold", {{"meldung", true}, {"KASSE.20", false}}, {{1, 5}}},
                      FilterCase{"TwoTextsInOneEntry", {{"kasse1", true}, {"fehlt", true}}, {{9, 12}}},
                      FilterCase{"HeadWithoutStampIsAnEntryToo", {{"kopf", true}}, {{0, 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FilteredCopy, HoldsThePassingEntriesWithCrLf) {
    testenv::TempSite site;
    const std::string file = site.path("TEMOSORT.TXT");
    // Line breaks of every kind come out as CR LF, as a save of the view writes them.
    site.writeFile(file, "Kopf\n00001<<\r00001## 20261208 101500 K P\r\n  eins\r\n00001<<\r\n  zwei");
    std::string path;
    {
        GefilterteKopie copy(file, EntryLayout::Info, {{{"EINS", true}}});
        path = copy.path();
        const std::string expected = "00001<<\r\n00001## 20261208 101500 K P\r\n  eins\r\n";
        EXPECT_EQ(site.readFile(path), expected);
        EXPECT_NE(path, file);
        std::string read(expected.size() + 1, '\0');
        ASSERT_EQ(::pread(copy.fd(), read.data(), read.size(), 0), static_cast<ssize_t>(expected.size()));
        EXPECT_EQ(read.substr(0, expected.size()), expected) << "the copy is open for reading";
    }
    EXPECT_FALSE(std::ifstream(path).good()) << "removed with the object";
}

TEST(Timeline, BarsPerHourWithEmptyOnesBetween) {
    LogDocument doc;
    doc.setLines(kText);
    const Zeitachse achse = BuildTimeline(BuildEntryIndex(doc, EntryLayout::Info));
    EXPECT_EQ(achse.raster, ZeitRaster::Stunde);
    EXPECT_EQ(TimelineCsvLines(achse),
              (std::vector<std::string>{"Zeitpunkt;Eintr\xE4ge;Fehler-Meldung;NONE-Meldung",
                                        "08.12.2026 10:00:00;2;1;0", "08.12.2026 11:00:00;1;0;1"}));
    EXPECT_EQ(achse.balken[0].ersterEintrag, 1);
    EXPECT_EQ(achse.balkenBei(EncodeDate(2026, 12, 8) + EncodeTime(11, 59, 59, 0)), 1);
    EXPECT_EQ(achse.balkenBei(EncodeDate(2026, 12, 8) + EncodeTime(12, 0, 0, 0)), -1);
}

TEST(Timeline, DaysForMoreThanTwoWeeksAndOnRequest) {
    auto entry = [](const std::string& date) {
        return Lines{"00001<<", "00001## " + date + " 120000 K P Info"};
    };
    Lines lines = entry("20261101");
    for (const auto& l : entry("20261115"))
        lines.push_back(l);
    LogDocument fortnight;
    fortnight.setLines(lines);
    EXPECT_EQ(BuildTimeline(BuildEntryIndex(fortnight, EntryLayout::Info)).raster, ZeitRaster::Stunde)
        << "exactly two weeks";
    for (const auto& l : entry("20261116"))
        lines.push_back(l);
    LogDocument longer;
    longer.setLines(lines);
    const EntryIndex entries = BuildEntryIndex(longer, EntryLayout::Info);
    const Zeitachse days = BuildTimeline(entries);
    EXPECT_EQ(days.raster, ZeitRaster::Tag);
    ASSERT_EQ(days.balken.size(), 16u);
    EXPECT_EQ(TimelineCsvLines(days)[1], "01.11.2026;1;0;0");
    EXPECT_EQ(TimelineCsvLines(days)[2], "02.11.2026;0;0;0");
    EXPECT_EQ(BuildTimeline(entries, ZeitRaster::Stunde).balken.size(), 15u * 24 + 1);
    EXPECT_EQ(TimelineCsvLines(BuildTimeline(EntryIndex())).size(), 1u) << "the head line only";
}

} // namespace
} // namespace infemora
