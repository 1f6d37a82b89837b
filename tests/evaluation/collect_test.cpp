// The collection run: which entries are collected or only counted, duplicates, the sort and the
// summary lines.
#include "eval_fixtures.h"

#include "host/fileutil.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace infemora;
using namespace infemora::evaltest;

namespace {

struct Zaehler {
    int ignoriert, menu, b993, reset, doppelt, gesammelt;
    bool operator==(const Zaehler&) const = default;
};

Zaehler ZaehlerVon(const InfoProtParser& p) {
    return {p.FIgnorierteFehler, p.FMenuGeschlossen, p.FIgnoriert993Fehler,
            p.FResetError,       p.FDoppeltError,    p.FFehlerList.Count()};
}

std::ostream& operator<<(std::ostream& os, const Zaehler& z) {
    return os << "{ignoriert " << z.ignoriert << ", menu " << z.menu << ", 993 " << z.b993 << ", reset "
              << z.reset << ", doppelt " << z.doppelt << ", gesammelt " << z.gesammelt << "}";
}

const std::string kBeendet = "Das Programm wurde wegen eines Fehlers beendet.";
const std::string kBuchung = "Die Buchung konnte wegen eines Fehlers nicht korrekt abgeschlossen werden.";
const std::string kReset = "Info: Fehler zur\xFC"
                           "ckgesetzt mit ResetErrorSpez";

} // namespace

TEST(Klassifizierung, RulesApplyInTheirOrder) {
    struct Fall {
        const char* name;
        std::string code;
        std::string text;
        std::string folgeKopf; // empty: the entry ends the file
        Zaehler erwartet;
    } faelle[] = {
        {"program ended wins over a reset", "STANDARD.5", kBeendet, kReset, {1, 0, 0, 0, 0, 0}},
        {"reset wins over the booking abort", "STANDARD.993", kBuchung, kReset, {0, 0, 0, 1, 0, 0}},
        {"booking abort needs its text", "STANDARD.993", "Andere Meldung", "Info", {0, 0, 0, 0, 0, 1}},
        {"booking abort with a longer code", "STANDARD.9931", kBuchung, "Info", {0, 0, 1, 0, 0, 0}},
        {"booking abort code is case-sensitive", "standard.993", kBuchung, "Info", {0, 0, 0, 0, 0, 1}},
        {"menu closed", "STANDARD.30", "Men\xFC", "Antwort=Unbekannt", {0, 1, 0, 0, 0, 0}},
        {"menu closed with a longer code", "STANDARD.300", "x", "Antwort=Unbekannt", {0, 1, 0, 0, 0, 0}},
        {"menu closed needs the answer in the next header",
         "STANDARD.30",
         "Antwort=Unbekannt",
         "Antwort=Ja",
         {0, 0, 0, 0, 0, 1}},
        {"no next header at the end of the file: no reset", "STANDARD.5", "x", "", {0, 0, 0, 0, 0, 1}},
        {"no next header at the end of the file: no menu closed", "STANDARD.30", "x", "", {0, 0, 0, 0, 0, 1}},
    };
    for (auto& f : faelle) {
        testenv::TempSite site;
        Parser parser(site);
        std::vector<Eintrag> eintraege = {
            {FehlerKopf("20240311", "142501", "U", "P", f.code), {"cs"}, {}, {f.text}}};
        if (!f.folgeKopf.empty())
            eintraege.push_back({Kopf("20240311", "142502", "U P " + f.folgeKopf)});
        site.writeLines(site.logFile("INFOPROT.001"), LogZeilen(eintraege));
        parser.p.Auswerten();
        EXPECT_EQ(ZaehlerVon(parser.p), f.erwartet) << f.name;
    }
}

TEST(Klassifizierung, SameHeaderAcrossFilesIsOneErrorAndDuplicates) {
    testenv::TempSite site;
    Parser parser(site);
    std::string kopf = FehlerKopf("20240311", "142501", "U", "P", "C.1");
    site.writeLines(site.logFile("a.log"), LogZeilen({{kopf, {"cs a"}, {}, {"Text a"}}}));
    site.writeLines(site.logFile("b.log"), LogZeilen({{kopf, {"cs b"}, {}, {"Text b"}},
                                                      {kopf + " ", {"cs"}, {}, {"anderer Kopf: kein Doppel"}},
                                                      {kopf, {"cs c"}, {}, {"Text c"}}}));
    parser.p.Auswerten();
    EXPECT_EQ(parser.p.FDoppeltError, 2);
    ASSERT_EQ(parser.p.FFehlerList.Count(), 2);
    // The first occurrence is the one kept.
    EXPECT_EQ(parser.p.FFehlerList[1].Text, "Text a");

    // A second run starts from nothing.
    parser.p.Auswerten();
    EXPECT_EQ(parser.p.FDoppeltError, 2);
    EXPECT_EQ(parser.p.FFehlerList.Count(), 2);
}

TEST(Klassifizierung, DuplicateTestStillHoldsAfterTheListWasSorted) {
    // The start/end report parses the files again into the sorted list of the last run.
    testenv::TempSite site;
    Parser parser(site);
    std::vector<Eintrag> eintraege;
    for (int i = 0; i < 40; ++i)
        eintraege.push_back(
            {FehlerKopf("20240311", "1425" + std::to_string(10 + i), "U", "P", "C." + std::to_string(40 - i)),
             {"cs"},
             {},
             {"t"}});
    site.writeLines(site.logFile("INFOPROT.001"), LogZeilen(eintraege));
    parser.p.Auswerten();
    ASSERT_EQ(parser.p.FFehlerList.Count(), 40);
    parser.p.Anzahl_Protokoll_Start_Ende();
    EXPECT_EQ(parser.p.FFehlerList.Count(), 40);
    EXPECT_EQ(parser.p.FDoppeltError, 40);
}

TEST(Sortierung, CodeThenTextIgnoringCaseOfAsciiLettersOnly) {
    testenv::TempSite site;
    Parser parser(site);
    struct E {
        std::string code, text;
    } ein[] = {{"b.1", "x"},    {"_1", "x"},     {"A.1", "z"}, {"a.1", "Y"},
               {"\xC4.1", "x"}, {"\xE4.1", "x"}, {"A", "x"},   {"a.1", "y1"}};
    std::vector<Eintrag> eintraege;
    int n = 0;
    for (auto& e : ein)
        eintraege.push_back({FehlerKopf("20240311", "1425" + std::to_string(10 + n++), "U", "P", e.code),
                             {"cs"},
                             {},
                             {e.text}});
    site.writeLines(site.logFile("INFOPROT.001"), LogZeilen(eintraege));
    parser.p.Auswerten();
    std::vector<std::string> folge;
    for (const auto& r : parser.p.FFehlerList)
        folge.push_back(r.FehlerCode + "|" + r.Text.substr(0, r.Text.find('\r')));
    // A prefix first; letters before '_' (as upper case); umlauts by their byte, upper before lower.
    EXPECT_EQ(folge, (std::vector<std::string>{"A|x", "a.1|Y", "a.1|y1", "A.1|z", "b.1|x", "_1|x", "\xC4.1|x",
                                               "\xE4.1|x"}));
}

TEST(Sammellauf, SummaryLinesAfterTheFileLines) {
    testenv::TempSite site;
    Parser parser(site);
    site.writeLines(
        site.logFile("INFOPROT.001"),
        LogZeilen({{FehlerKopf("20240311", "142501", "U", "P", "STANDARD.1"), {"cs"}, {}, {kBeendet}},
                   {FehlerKopf("20240311", "142502", "U", "P", "STANDARD.2"), {"cs"}, {}, {"t"}}}));
    site.writeLines(site.logFile("TRANSFER.LOG"), {"20240311 keine Infoprotokoll-Datei"});
    site.writeLines(
        site.logFile(".versteckt"),
        LogZeilen({{FehlerKopf("20240311", "142503", "U", "P", "STANDARD.3"), {"cs"}, {}, {"t"}}}));
    ForceDirectories(site.logFile("unterordner"));
    site.writeLines(
        site.logFile("unterordner/INFOPROT.002"),
        LogZeilen({{FehlerKopf("20240311", "142504", "U", "P", "STANDARD.4"), {"cs"}, {}, {"t"}}}));
    parser.memo = {"Ausgabe eines früheren Laufs"};
    parser.p.Auswerten();
    EXPECT_EQ(AlsUtf8(parser.memo), (std::vector<std::string>{
                                        site.logFile("INFOPROT.001"),
                                        site.logFile("TRANSFER.LOG"),
                                        "Das Programm wurde... 1",
                                        "Menü geschlossen --> Programm beendet 0",
                                        "Die Buchung konnte wegen eines Fehlers nicht korrekt... 0",
                                        "Zurückgesetzte Fehler: 0",
                                        "Doppelte Fehler: 0",
                                        "Restliche Fehleranzahl: 1",
                                    }));
}

TEST(Sammellauf, EmptyDirectoryGivesZeroes) {
    testenv::TempSite site;
    Parser parser(site);
    parser.p.Auswerten();
    ASSERT_EQ(parser.memo.size(), 6u);
    for (const auto& zeile : parser.memo)
        EXPECT_EQ(zeile.back(), '0') << zeile;
}

TEST(Sammellauf, InvalidPeriodShowsMessageAndKeepsTheLastResults) {
    testenv::TempSite site;
    Parser parser(site);
    site.writeLines(
        site.logFile("INFOPROT.001"),
        LogZeilen({{FehlerKopf("20240311", "142501", "U", "P", "STANDARD.1"), {"cs"}, {}, {"t"}}}));
    parser.p.Auswerten();
    Lines vorher = parser.memo;
    parser.p.edtDatumCSV_Von = "01.04.2024";
    parser.p.edtDatumCSV_Bis = "31.03.2024";
    parser.p.Auswerten();
    EXPECT_EQ(Info().meldungCount(1002), 1);
    EXPECT_EQ(parser.memo, vorher);
    EXPECT_EQ(parser.p.FFehlerList.Count(), 1);
    EXPECT_TRUE(RegistrierteKontexte().empty());

    parser.p.edtDatumCSV_Von = "31.03.2024"; // one day is a valid period
    parser.p.Auswerten();
    EXPECT_EQ(Info().meldungCount(1002), 1);

    parser.p.edtDatumCSV_Von = "kein Datum";
    parser.p.Auswerten();
    EXPECT_EQ(Info().meldungCount(1002), 2);
    EXPECT_EQ(RegistrierteKontexte(), std::vector<std::string>{"TVKT_InfoProtParser.SinnvolleZeitspanne"});
}

TEST(Sammellauf, MissingDirectoryIsReportedWithoutSummary) {
    testenv::TempSite site;
    Parser parser(site);
    parser.p.edtPfad = site.path("gibt-es-nicht");
    EXPECT_FALSE(parser.p.Auswerten());
    // Only the reason, below what the output held: no summary of a folder that is not there.
    EXPECT_EQ(parser.memo, (Lines{"", "Die Auswertung wurde nicht ausgeführt: Das "
                                      "Infoprotverzeichnis " +
                                          site.path("gibt-es-nicht") + " ist nicht vorhanden"}));
    EXPECT_EQ(RegistrierteKontexte(), std::vector<std::string>{"TVKT_InfoProtParser.Auswerten"});
}

TEST(Sortierung, ManyRecordsEndInTheOrderOfTheRecordComparison) {
    testenv::TempSite site;
    Parser parser(site);
    const char* codes[] = {"STANDARD.5", "standard.5", "STANDARD.51", "Standard.5x", "A", "_", "\xC4"};
    const char* texte[] = {"Text", "text", "Text ", "Texte", "", "T\xE4xt", "tEXT\r\nzwei"};
    std::vector<Eintrag> eintraege;
    std::uint32_t z = 7;
    for (int i = 0; i < 400; ++i) {
        z = z * 1103515245u + 12345u;
        char zeit[8];
        std::snprintf(zeit, sizeof zeit, "10%02d%02d", i / 60, i % 60);
        eintraege.push_back({FehlerKopf("20240311", zeit, "U", "P", codes[(z >> 8) % 7]),
                             {"cs"},
                             {},
                             {texte[(z >> 16) % 7]}});
    }
    // Every entry but the last ends with the next entry's start line; the file ends in a text.
    site.writeLines(site.logFile("INFOPROT.001"), LogZeilen(eintraege));
    parser.p.Auswerten();
    ASSERT_EQ(parser.p.FFehlerList.Count(), 400);
    for (int k = 1; k < parser.p.FFehlerList.Count(); ++k)
        ASSERT_LE(InfoProtParser::Fehler_Vergleichen(parser.p.FFehlerList[k - 1], parser.p.FFehlerList[k]), 0)
            << k;
}

TEST(Sammellauf, FileVanishingDuringTheRunIsListedAndTheOthersAreRead) {
    testenv::TempSite site;
    for (const char* name : {"a.log", "b.log", "c.log"})
        site.writeLines(site.logFile(name),
                        LogZeilen({{FehlerKopf("20240311", "142501", "U", "P", name), {"cs"}, {}, {"t"}}}));
    // Between two files the window lets messages run; meanwhile another program removes b.log.
    struct Loescher : IProgress {
        std::string pfad;
        void Pump() override { ::unlink(pfad.c_str()); }
    } loescher;
    loescher.pfad = site.logFile("b.log");
    Parser parser(site);
    parser.p.Fortschritt = &loescher;
    parser.p.Auswerten();
    EXPECT_EQ(parser.p.FFehlerList.Count(), 2);
    EXPECT_EQ(parser.p.FListeNichtGelesen, Lines{site.logFile("b.log")});
    EXPECT_EQ(parser.memo[0], site.logFile("a.log"));
    EXPECT_EQ(parser.memo[1], site.logFile("c.log"));
    EXPECT_EQ(parser.memo.back(), "Restliche Fehleranzahl: 2");
    EXPECT_TRUE(RegistrierteKontexte().empty());
}
