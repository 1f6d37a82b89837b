// The error evaluation report.
#include "eval_fixtures.h"

#include "host/datetime.h"

#include <gtest/gtest.h>

using namespace infemora;
using namespace infemora::evaltest;

namespace {

TFehlerRec Fehler(const std::string& programm, const std::string& code, const std::string& callStack,
                  TDateTime wann) {
    TFehlerRec r;
    r.Programm = programm;
    r.FehlerCode = code;
    r.CallStack = callStack;
    r.DateTime = wann;
    r.FehlerTyp = "Ohne Zuweisung";
    return r;
}

const TDateTime k11 = EncodeDate(2024, 3, 11) + EncodeTime(14, 25, 1, 0);
const TDateTime k12 = EncodeDate(2024, 3, 12) + EncodeTime(8, 0, 0, 0);

// 13 characters that the report cuts off, then the call stack proper.
std::string Cs(const std::string& rest) {
    return "0x00401000 | " + rest;
}

Lines Bericht(const testenv::TempSite& site) {
    return SplitLines(site.readFile(site.statemp() + "/INFOPROT_Fehlerauswertung.txt"));
}

Lines Tageskopf(const std::string& datum, int t, int o, int v, int d) {
    return {"",
            "",
            "",
            "Datum: " + datum,
            "",
            "Insgesamt kam es zu " + std::to_string(t) + " Meldungen. Davon traten " + std::to_string(o) +
                " in anderen Programmen, " + std::to_string(v) + " in VELSTOK und " + std::to_string(d) +
                " in DORNWISE auf."};
}

Lines Verbinde(std::initializer_list<Lines> teile) {
    Lines out;
    for (const auto& t : teile)
        out.insert(out.end(), t.begin(), t.end());
    return out;
}

} // namespace

TEST(FehlerAuswertung, ThreeErrorsWithTwoCallStacks) {
    testenv::TempSite site;
    Parser parser(site, "11.03.2024", "11.03.2024");
    auto& l = parser.p.FFehlerList;
    l.Add(Fehler("KASSE", "STANDARD.5", Cs("Zweiter.Stack"), k11));
    l.Add(Fehler("KASSE", "STANDARD.5", "0x00999999 | Erster.Stack\r\nAufrufer", k11));
    l.Add(Fehler("KASSE", "STANDARD.5", Cs("Erster.Stack\r\nAufrufer"), k11));
    std::string datei = "unverändert";
    parser.p.Fehler_Auswertung(datei);
    EXPECT_EQ(datei, site.statemp() + "/INFOPROT_Fehlerauswertung.txt");
    EXPECT_EQ(Bericht(site), Verbinde({Tageskopf("11.03.2024", 3, 3, 0, 0),
                                       {"", "", "KASSE: 3 Fehler", "3-mal STANDARD.5", "2-mal:",
                                        "Erster.Stack", "Aufrufer", "", "1-mal:", "Zweiter.Stack"}}));
    EXPECT_EQ(parser.memo,
              (Lines{"", "", "Die Fehler-Auswertung war erfolgreich.", "Die Datei liegt unter " + datei}));
    // Every line ends with CR LF, the last one too.
    std::string roh = site.readFile(datei);
    EXPECT_EQ(roh.substr(roh.size() - 15), "Zweiter.Stack\r\n");
}

TEST(FehlerAuswertung, ProgramsCodesAndTheSplitIntoVelstokAndDornwise) {
    testenv::TempSite site;
    Parser parser(site, "10.03.2024", "13.03.2024");
    auto& l = parser.p.FFehlerList;
    l.Add(Fehler("VELSPOST", "A.1", Cs("x"), k11));
    l.Add(Fehler("VELSRECV", "A.1", Cs("x"), k11));
    l.Add(Fehler("VELSTOK", "A.1", Cs("x"), k11));
    l.Add(Fehler("DORNWISE", "A.1", Cs("x"), k11));
    l.Add(Fehler("velstok", "A.1", Cs("x"), k11)); // only the exact name counts under VELSTOK
    l.Add(Fehler("KASSE", "B.2", Cs("y"), k11));
    l.Add(Fehler("KASSE", "A.1", Cs("y"), k11));
    l.Add(Fehler("KASSE", "A.1", "kurz", k11)); // 13 characters or fewer: empty call stack
    l.Add(Fehler("KASSE", "A.1", "1234567890123", k11));
    l.Add(Fehler("BACK", "C.3", Cs("z"), k12));
    l.Add(Fehler("KASSE", "A.1", Cs("vorher"), EncodeDate(2024, 3, 9)));  // before the period
    l.Add(Fehler("KASSE", "A.1", Cs("danach"), EncodeDate(2024, 3, 14))); // after it
    std::string datei;
    parser.p.Fehler_Auswertung(datei);
    EXPECT_EQ(Bericht(site),
              Verbinde({Tageskopf("10.03.2024", 0, 0, 0, 0),
                        Tageskopf("11.03.2024", 9, 5, 3, 1),
                        {"", "", "KASSE: 4 Fehler", "3-mal A.1", "2-mal:", "", "", "1-mal:", "y", "",
                         "1-mal B.2", "1-mal:", "y", "", "", "velstok: 1 Fehler", "1-mal A.1", "1-mal:", "x"},
                        Tageskopf("12.03.2024", 1, 1, 0, 0),
                        {"", "", "BACK: 1 Fehler", "1-mal C.3", "1-mal:", "z"},
                        Tageskopf("13.03.2024", 0, 0, 0, 0)}));
}

TEST(FehlerAuswertung, ProgramWithoutNameIsABlockOfItsOwn) {
    testenv::TempSite site;
    Parser parser(site, "11.03.2024", "11.03.2024");
    parser.p.FFehlerList.Add(Fehler("", "A.1", Cs("x"), k11));
    parser.p.FFehlerList.Add(Fehler("", "A.1", Cs("x"), k11));
    std::string datei;
    parser.p.Fehler_Auswertung(datei);
    EXPECT_EQ(Bericht(site), Verbinde({Tageskopf("11.03.2024", 2, 2, 0, 0),
                                       {"", "", ": 2 Fehler", "2-mal A.1", "2-mal:", "x"}}));
}

TEST(FehlerAuswertung, FirstDayAfterLastDayLeavesTheLastReport) {
    testenv::TempSite site;
    site.writeFile(site.statemp() + "/INFOPROT_Fehlerauswertung.txt", "alter Inhalt");
    Parser parser(site, "12.03.2024", "11.03.2024");
    parser.p.FFehlerList.Add(Fehler("KASSE", "A.1", Cs("x"), k11));
    ASSERT_TRUE(parser.p.btnFehler_AuswertungClick());
    EXPECT_EQ(parser.p.FErgebnis, TAuswertungsErgebnis::ZeitraumUngueltig);
    EXPECT_EQ(site.readFile(site.statemp() + "/INFOPROT_Fehlerauswertung.txt"), "alter Inhalt");
    EXPECT_EQ(Info().meldungCount(1002), 1);
    // The collection refused the period and left the list as it was; nothing claims success.
    EXPECT_TRUE(parser.memo.empty());
    EXPECT_EQ(parser.p.FFehlerList.Count(), 1);
}
