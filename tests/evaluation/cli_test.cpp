// The headless evaluate command, run as a user would run it.
#include "eval_fixtures.h"

#include "host/codec1252.h"
#include "host/fileutil.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace infemora;
using namespace infemora::evaltest;

namespace {

struct Lauf {
    int rc = -1;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Lauf Ausfuehren(const testenv::TempSite& site, const std::string& args) {
    const std::string config = site.path("infemora.ini");
    if (!FileExists(config))
        site.writeLines(config, {"[Verzeichnisse]", "INFOPROT=" + site.logDir(), "STATEMP=" + site.statemp(),
                                 "EINSTELLUNGEN=" + site.settingsDir()});
    const std::string errFile = site.path("stderr.txt");
    const std::string cmd = "INFEMORA_CONFIG=" + Quote(config) + " " +
                            Quote(testenv::BinaryDir() + "/app/infemora-cli/infemora-cli") + " evaluate " +
                            args + " 2>" + Quote(errFile);
    Lauf l;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return l;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        l.out.append(buf.data(), n);
    int status = ::pclose(p);
    l.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    l.err = site.readFile(errFile);
    return l;
}

void Logs(const testenv::TempSite& site) {
    site.writeLines(site.settingsDir() + "/infopars.ini", {"[Kasse]", "CODE=STANDARD.9"});
    site.writeLines(site.logFile("INFOPROT.001"),
                    LogZeilen({{FehlerKopf("20240311", "142501", "KASSE2", "KASSE", "STANDARD.993"),
                                {"0x00401000 | Buchen"},
                                {"Zusatzinfo: Tisch 4"},
                                {"Gr\xFC\xDF"
                                 "e"}},
                               {FehlerKopf("20240311", "142502", "KASSE2", "VELSTOK", "ANDERS.1"),
                                {"0x00401000 | Lager"},
                                {},
                                {"t"}},
                               {Kopf("20240311", "142503", "KASSE2 KASSE Info")}}));
    site.writeLines(site.logFile("INFOPROT.002"),
                    {"0000000## 20240311 101500 BEDIENER1 KASSE Protokollstart"});
}

} // namespace

TEST(EvaluateCli, WritesTheThreeFilesAndPrintsTheOutputInFixedOrder) {
    testenv::TempSite site;
    Logs(site);
    Lauf l = Ausfuehren(site, "--start-end --report --von 11.03.2024 --bis 11.03.2024 --csv --dir " +
                                  Quote(site.logDir()));
    EXPECT_EQ(l.rc, 0) << l.err;
    EXPECT_EQ(l.err, "");
    const std::string summary = "Das Programm wurde... 0\n"
                                "Menü geschlossen --> Programm beendet 0\n"
                                "Die Buchung konnte wegen eines Fehlers nicht korrekt... 0\n"
                                "Zurückgesetzte Fehler: 0\n"
                                "Doppelte Fehler: 0\n"
                                "Restliche Fehleranzahl: 2\n";
    const std::string dateien = site.logFile("INFOPROT.001") + "\n" + site.logFile("INFOPROT.002") + "\n";
    const std::string typen = "\n\n\"Kasse\": 1\n\n\nOhne Zuweisung: 1\nANDERS.1: 1\n";
    EXPECT_EQ(l.out, dateien + summary + typen +
                         "\n\nDer CSV-Export war erfolgreich.\nDie Datei liegt unter " + site.statemp() +
                         "/INFOPROT.CSV\n" + dateien + summary + typen +
                         "\n\nDie Fehler-Auswertung war erfolgreich.\nDie Datei liegt unter " +
                         site.statemp() + "/INFOPROT_Fehlerauswertung.txt\n" + dateien +
                         "\n\nDie Auswertung der Protokollstarts und Protokollenden war erfolgreich.\n"
                         "Die Datei liegt unter " +
                         site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt\n");

    std::string csv = site.readFile(site.statemp() + "/INFOPROT.CSV");
    EXPECT_NE(csv.find("Kasse;STANDARD.993;KASSE2;KASSE;11.03.2024;14:25:01;"), std::string::npos) << csv;
    EXPECT_NE(csv.find("Gr\xFC\xDF"
                       "e"),
              std::string::npos); // Windows-1252 in the file
    EXPECT_EQ(
        SplitLines(site.readFile(site.statemp() + "/INFOPROT_Fehlerauswertung.txt")),
        (Lines{"", "", "", "Datum: 11.03.2024", "",
               "Insgesamt kam es zu 2 Meldungen. Davon traten 1 in anderen Programmen, 1 in VELSTOK und 0 "
               "in DORNWISE auf.",
               "", "", "KASSE: 1 Fehler", "1-mal STANDARD.993", "1-mal:", "Buchen"}));
    EXPECT_EQ(site.readFile(site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt"),
              "20240311: KASSE (Benutzer: BEDIENER1) Protokollstart: 1\r\n");
}

TEST(EvaluateCli, DefaultsToTheLogDirectoryAndTheLastElevenDays) {
    testenv::TempSite site;
    Logs(site);
    Lauf l = Ausfuehren(site, "--report");
    EXPECT_EQ(l.rc, 0) << l.err;
    EXPECT_EQ(l.out.rfind(site.logFile("INFOPROT.001") + "\n", 0), 0u) << l.out;
    Lines bericht = SplitLines(site.readFile(site.statemp() + "/INFOPROT_Fehlerauswertung.txt"));
    int tage = 0;
    for (const auto& z : bericht)
        tage += z.rfind("Datum: ", 0) == 0;
    EXPECT_EQ(tage, 11);
}

TEST(EvaluateCli, UsageErrorsAndFailures) {
    testenv::TempSite site;
    Lauf ohne = Ausfuehren(site, "");
    EXPECT_EQ(ohne.rc, 2);
    EXPECT_NE(ohne.err.find("Keine Auswertung gewählt"), std::string::npos) << ohne.err;

    Lauf datum = Ausfuehren(site, "--csv --von 31.02.2024");
    EXPECT_EQ(datum.rc, 2);
    EXPECT_NE(datum.err.find("Ungültiges Datum für --von"), std::string::npos) << datum.err;
    EXPECT_EQ(datum.out, "");

    Lauf unbekannt = Ausfuehren(site, "--csv --gibtsnicht");
    EXPECT_EQ(unbekannt.rc, 2);

    // A period that ends before it starts is wrong usage: nothing is written.
    Lauf zeitraum = Ausfuehren(site, "--csv --von 12.03.2024 --bis 11.03.2024");
    EXPECT_EQ(zeitraum.rc, 2);
    EXPECT_NE(zeitraum.err.find("Zeitraum"), std::string::npos) << zeitraum.err;
    EXPECT_FALSE(FileExists(site.statemp() + "/INFOPROT.CSV"));

    Lauf verzeichnis = Ausfuehren(site, "--csv --dir " + Quote(site.path("fehlt")));
    EXPECT_EQ(verzeichnis.rc, 1);
    EXPECT_NE(verzeichnis.err.find("TVKT_InfoProtParser.Auswerten"), std::string::npos) << verzeichnis.err;
    EXPECT_FALSE(FileExists(site.statemp() + "/INFOPROT.CSV"));
}
