// Typing by the rule file and the CSV export.
#include "eval_fixtures.h"

#include "host/fileutil.h"
#include "host/program.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace infemora;
using namespace infemora::evaltest;

namespace {

TFehlerRec Fehler(const std::string& code, const std::string& text = "t", const std::string& zeile = "Kopf",
                  const std::string& zusatz = "", const std::string& callStack = "cs") {
    TFehlerRec r;
    r.Zeile = zeile;
    r.FehlerCode = code;
    r.Text = text;
    r.ZusatzInfo = zusatz;
    r.CallStack = callStack;
    return r;
}

std::string RegelDatei(const testenv::TempSite& site) {
    return site.settingsDir() + "/infopars.ini";
}

} // namespace

TEST(FehlerSuchen, CriteriaAreAllRequiredAndCompareIgnoringAsciiCase) {
    testenv::TempSite site;
    Parser parser(site);
    auto& liste = parser.p.FFehlerList;
    liste.Add(Fehler("STANDARD.993", "Bon offen", "## 20240311 KASSE2 P"));
    liste.Add(Fehler("standard.95", "bon offen", "## 20240311 KASSE3 P"));
    liste.Add(Fehler("ANDERS.1", "Bon offen", "## 20240311 KASSE2 P", "Zusatzinfo: \xC4rger"));
    liste.Add(Fehler("STANDARD.1", "x", "## 20240311 KASSE2 P", "", "0x0040 Modul.Buchen"));

    struct Fall {
        const char* name;
        std::string zeile, zusatz, callStack, text, code;
        std::vector<int> treffer;
    } faelle[] = {
        {"code in any letter case", "", "", "", "", "STANDARD.9", {0, 1}},
        {"criterion written in lower case", "", "", "", "", "standard.9", {0, 1}},
        {"all given criteria must hold", "kasse2", "", "", "BON", "", {0, 2}},
        {"additional information", "", "zusatzinfo", "", "", "", {2}},
        {"umlauts keep their case", "", "\xE4rger", "", "", "", {}},
        {"call stack", "", "", "modul.buchen", "", "", {3}},
        {"blank criterion takes no part", "", "", "", "  ", "ANDERS", {2}},
        {"all empty matches nothing", "", "", "", "", "", {}},
    };
    for (auto& f : faelle) {
        for (auto& r : liste)
            r.FehlerTyp = "vorher";
        parser.memo.clear();
        parser.p.FehlerSuchen("Typ", f.zeile, f.zusatz, f.callStack, f.text, f.code);
        std::vector<int> treffer;
        for (int i = 0; i < liste.Count(); ++i)
            if (liste[i].FehlerTyp == "Typ")
                treffer.push_back(i);
        EXPECT_EQ(treffer, f.treffer) << f.name;
        EXPECT_EQ(parser.memo, Lines{"\"Typ\": " + std::to_string(f.treffer.size())}) << f.name;
    }
}

TEST(Analyse, LaterRuleWinsAndUntypedAreGroupedByCodeInGermanOrder) {
    testenv::TempSite site;
    site.writeLines(RegelDatei(site), {"[Leer]", "", "[Neun]", "CODE=STANDARD.9", "[Bon]", "TEXT=bon offen",
                                       "ZEILE=", "[Nichts]", "CODE=GIBTESNICHT"});
    Parser parser(site);
    auto& liste = parser.p.FFehlerList;
    liste.Add(Fehler("STANDARD.993", "Bon offen"));
    liste.Add(Fehler("STANDARD.95", "x"));
    liste.Add(Fehler("Alpha.2", "a"));
    liste.Add(Fehler("ALPHA.2", "b"));
    liste.Add(Fehler("beta.1"));
    liste.Add(Fehler("\xC4rger.1"));
    liste.Add(Fehler("ALPHA.2", "c"));
    parser.p.btnAnalyseClick();
    EXPECT_EQ(AlsUtf8(parser.memo),
              (std::vector<std::string>{"", "", "\"Leer\": 0", "\"Neun\": 2", "\"Bon\": 1", "\"Nichts\": 0",
                                        "", "", "Ohne Zuweisung: 5",
                                        // case ignored, Ä beside A, in the form of the first such error
                                        "Alpha.2: 3", "Ärger.1: 1", "beta.1: 1"}));
    EXPECT_EQ(liste[0].FehlerTyp, "Bon");
    EXPECT_EQ(liste[1].FehlerTyp, "Neun");
    for (int i = 2; i < liste.Count(); ++i)
        EXPECT_EQ(liste[i].FehlerTyp, "Ohne Zuweisung");
    EXPECT_TRUE(RegistrierteKontexte().empty());
}

TEST(Analyse, WithoutUsableRuleFileEveryErrorIsUntyped) {
    struct Fall {
        const char* name;
        int art; // 0 missing, 1 empty, 2 malformed, 3 unreadable (a folder)
        bool registriert;
    } faelle[] = {
        {"missing", 0, false}, {"empty", 1, false}, {"malformed", 2, false}, {"unreadable", 3, true}};
    for (auto& f : faelle) {
        testenv::TempSite site;
        if (f.art == 1)
            site.writeFile(RegelDatei(site), "");
        if (f.art == 2)
            site.writeFile(RegelDatei(site), "\x01\x02 kein ini\r\n[ohne ende\r\n=wert\r\n");
        if (f.art == 3)
            ForceDirectories(RegelDatei(site));
        Parser parser(site);
        parser.p.FFehlerList.Add(Fehler("C.1"));
        parser.p.FFehlerList.Add(Fehler("C.2"));
        parser.p.btnAnalyseClick();
        EXPECT_EQ(parser.memo, (Lines{"", "", "", "", "Ohne Zuweisung: 2", "C.1: 1", "C.2: 1"})) << f.name;
        EXPECT_EQ(parser.p.FFehlerList[0].FehlerTyp, "Ohne Zuweisung") << f.name;
        EXPECT_EQ(RegistrierteKontexte().size(), f.registriert ? 1u : 0u) << f.name;
    }
}

TEST(Csv, FieldQuoting) {
    struct Fall {
        std::string wert, csv;
    } faelle[] = {
        {"STANDARD.993", "STANDARD.993"},
        {"", ""},
        {"KASSE2 (Rec 17)", "\"KASSE2 (Rec 17)\""},
        {"a;b", "\"a;b\""},
        {"sagt \"nein\"", "\"sagt \"\"nein\"\"\""},
        {"\"", "\"\"\"\""},
        {"zwei\r\nZeilen", "\"zwei\r\nZeilen\""},
        {"tab\tx", "\"tab\tx\""},
        {"Gr\xFC\xDF"
         "e",
         "Gr\xFC\xDF"
         "e"},
        {"a,b'c", "a,b'c"},
        {"del\x7F", "\"del\x7F\""},
        {std::string("n\0ul", 4), std::string("\"n\0ul\"", 6)},
        {"\x81\x9F\xFF", "\x81\x9F\xFF"},
    };
    for (auto& f : faelle)
        EXPECT_EQ(InfoProtParser::CsvFeld(f.wert), f.csv) << f.wert;
}

TEST(Csv, ExportWritesEveryCollectedErrorInListOrder) {
    testenv::TempSite site;
    site.writeLines(RegelDatei(site), {"[Kasse]", "ZEILE=KASSE2"});
    std::string kopf1 = FehlerKopf("20240311", "142501", "KASSE2", "TESTPRG", "B.1");
    std::string kopf2 = FehlerKopf("20240312", "080910", "KASSE3 (Rec 4)", "VELSTOK", "A.1");
    site.writeLines(site.logFile("INFOPROT.001"),
                    LogZeilen({{kopf1, {"cs1", "cs2"}, {"Zusatzinfo: Tisch; 4"}, {"Text \"zitiert\""}},
                               {kopf2, {"x"}, {}, {"t"}}}));
    Parser parser(site);
    ASSERT_TRUE(parser.p.btncsvExportzClick());
    const std::string csv = site.readFile(site.statemp() + "/INFOPROT.CSV");
    EXPECT_EQ(csv,
              "FEHLERTYP;FEHLERCODE;USER;PROGRAMM;DATUM;UHRZEIT;ERRORZEILE;ERRORTEXT;ZUSATZINFO;CALLSTACK\r\n"
              "\"Ohne Zuweisung\";A.1;\"KASSE3 (Rec 4)\";VELSTOK;12.03.2024;08:09:10;\"" +
                  kopf2 + "\";t;;x\r\n" + "Kasse;B.1;KASSE2;TESTPRG;11.03.2024;14:25:01;\"" + kopf1 +
                  "\";\"Text \"\"zitiert\"\"\r\n12345<< Start\";\"Zusatzinfo: Tisch; 4\";\"cs1\r\ncs2\"\r\n");
    ASSERT_GE(parser.memo.size(), 2u);
    EXPECT_EQ(parser.memo[parser.memo.size() - 2], "Der CSV-Export war erfolgreich.");
    EXPECT_EQ(parser.memo.back(), "Die Datei liegt unter " + site.statemp() + "/INFOPROT.CSV");
    EXPECT_TRUE(RegistrierteKontexte().empty());
}

TEST(Csv, NoErrorsGiveTheColumnLineOnlyARefusedPeriodNoFile) {
    testenv::TempSite site;
    Parser parser(site);
    ASSERT_TRUE(parser.p.btncsvExportzClick());
    EXPECT_EQ(parser.p.FErgebnis, TAuswertungsErgebnis::Fertig);
    EXPECT_EQ(
        site.readFile(site.statemp() + "/INFOPROT.CSV"),
        "FEHLERTYP;FEHLERCODE;USER;PROGRAMM;DATUM;UHRZEIT;ERRORZEILE;ERRORTEXT;ZUSATZINFO;CALLSTACK\r\n");

    // The last complete export stays, and nothing says it was made.
    site.writeFile(site.statemp() + "/INFOPROT.CSV", "letzter Export");
    Parser rueckwaerts(site, "02.03.2024", "01.03.2024");
    ASSERT_TRUE(rueckwaerts.p.btncsvExportzClick());
    EXPECT_EQ(rueckwaerts.p.FErgebnis, TAuswertungsErgebnis::ZeitraumUngueltig);
    EXPECT_EQ(Info().meldungCount(1002), 1);
    EXPECT_EQ(site.readFile(site.statemp() + "/INFOPROT.CSV"), "letzter Export");
    EXPECT_TRUE(rueckwaerts.memo.empty());
}

TEST(Csv, FailedSaveLeavesNoTraceAndNoSuccessLines) {
    testenv::TempSite site;
    // A folder where the file should go cannot be replaced.
    ForceDirectories(site.statemp() + "/INFOPROT.CSV");
    site.writeFile(site.statemp() + "/INFOPROT.CSV/inhalt", "bleibt");
    Parser parser(site);
    ASSERT_TRUE(parser.p.btncsvExportzClick());
    EXPECT_EQ(site.readFile(site.statemp() + "/INFOPROT.CSV/inhalt"), "bleibt");
    // No success line; the reason below the output.
    ASSERT_GE(parser.memo.size(), 3u);
    EXPECT_EQ(parser.memo[parser.memo.size() - 3], "Ohne Zuweisung: 0");
    EXPECT_EQ(parser.memo[parser.memo.size() - 2], "");
    EXPECT_NE(parser.memo.back().find("ist keine Datei und kann nicht ersetzt werden"), std::string::npos);
    EXPECT_EQ(parser.p.FErgebnis, TAuswertungsErgebnis::Fehlgeschlagen);
    EXPECT_EQ(RegistrierteKontexte(), std::vector<std::string>{"TVKT_InfoProtParser.btncsvExportzClick"});
    for (const auto& e : std::filesystem::directory_iterator(site.statemp()))
        EXPECT_EQ(e.path().filename().string().find(".INFOPROT.CSV"), std::string::npos) << e.path();
}

TEST(Csv, RefusedWorkSectionDoesNothing) {
    testenv::TempSite site;
    Parser parser(site);
    int handle = -1;
    ASSERT_TRUE(Programm().WorkStartTry(handle, "Test", 1));
    // The section is held by this process's own earlier work.
    EXPECT_FALSE(parser.p.btncsvExportzClick());
    EXPECT_FALSE(parser.p.btnFehler_AuswertungClick());
    EXPECT_FALSE(parser.p.btnStartEndeClick());
    Programm().WorkDone(handle);
    EXPECT_TRUE(parser.memo.empty());
    EXPECT_FALSE(FileExists(site.statemp() + "/INFOPROT.CSV"));
}
