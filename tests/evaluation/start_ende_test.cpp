// The start/end report.
#include "eval_fixtures.h"

#include "host/fileutil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace infemora;
using namespace infemora::evaltest;

namespace {

// A line as the report expects it: ten characters, date, time, user, program, keyword.
std::string Zeile(const std::string& datum, const std::string& user, const std::string& programm,
                  const std::string& rest) {
    return "0000000## " + datum + " 101500 " + (user.empty() ? "" : user + " ") + programm + " " + rest;
}

Lines Bericht(const testenv::TempSite& site) {
    return SplitLines(site.readFile(site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt"));
}

} // namespace

TEST(StartEnde, CountsPerDayProgramAndUserSortedByText) {
    testenv::TempSite site;
    site.writeLines(site.logFile("INFOPROT.001"),
                    {
                        Zeile("20240311", "BEDIENER1", "KASSE", "Protokollstart"),
                        Zeile("20240311", "BEDIENER1", "KASSE", "Protokollstart"),
                        Zeile("20240311", "BEDIENER1", "KASSE", "Protokollende"),
                        Zeile("20240311", "bediener2", "KASSE", "Protokollstart"),
                        Zeile("20240310", "BEDIENER1", "BACK", "Protokollstart"),
                        Zeile("20240311", "", "BACK", "Protokollende"),
                        Zeile("20240311", "BEDIENER1", "KASSE", "Protokollstart Protokollende"),
                        Zeile("20240311", "BEDIENER1", "KASSE", "Protokollstart von TMP-Datei"),
                        Zeile("20240311", "BEDIENER1", "KASSE", "protokollstart"),
                        Zeile("2024AB11", "BEDIENER1", "KASSE", "Protokollstart"),
                        Zeile("20240312", "BEDIENER1", "KASSE", "Protokollstart"),
                        Zeile("20240309", "BEDIENER1", "KASSE", "Protokollstart"),
                        "kurz Protokollstart",
                    });
    site.writeLines(site.logFile("INFOPROT.002"), {Zeile("20240311", "BEDIENER1", "KASSE", "Protokollende")});
    Parser parser(site, "10.03.2024", "11.03.2024");
    parser.p.Anzahl_Protokoll_Start_Ende();
    EXPECT_EQ(Bericht(site), (Lines{
                                 "20240310: BACK (Benutzer: BEDIENER1) Protokollstart: 1",
                                 "20240311: BACK (Benutzer: ) Protokollende: 1",
                                 "20240311: KASSE (Benutzer: BEDIENER1) Protokollende: 2",
                                 "20240311: KASSE (Benutzer: BEDIENER1) Protokollstart: 3",
                                 "20240311: KASSE (Benutzer: bediener2) Protokollstart: 1",
                                 // the end keyword of the line with both: the word before it
                                 "20240311: Protokollstart (Benutzer: BEDIENER1 KASSE) Protokollende: 1",
                             }));
    EXPECT_EQ(parser.memo,
              (Lines{site.logFile("INFOPROT.001"), site.logFile("INFOPROT.002"), "", "",
                     "Die Auswertung der Protokollstarts und Protokollenden war erfolgreich.",
                     "Die Datei liegt unter " + site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt"}));
    EXPECT_TRUE(RegistrierteKontexte().empty());
}

TEST(StartEnde, OneDayPeriodAndTheSameLineInTwoFiles) {
    testenv::TempSite site;
    Lines log = {Zeile("20240310", "U", "KASSE", "Protokollstart"),
                 Zeile("20240311", "U", "KASSE", "Protokollstart"),
                 Zeile("20240312", "U", "KASSE", "Protokollstart")};
    site.writeLines(site.logFile("INFOPROT.001"), log);
    site.writeLines(site.logFile("INFEMORA.000"), log); // the merged copy counts again
    Parser parser(site, "11.03.2024", "11.03.2024");
    parser.p.Anzahl_Protokoll_Start_Ende();
    EXPECT_EQ(Bericht(site), (Lines{"20240311: KASSE (Benutzer: U) Protokollstart: 2"}));
}

TEST(StartEnde, ProgramAndUserAreCutAroundTheKeyword) {
    testenv::TempSite site;
    site.writeLines(site.logFile("INFOPROT.001"),
                    {
                        // separator before the keyword need not be a blank
                        "0000000## 20240311 101500 BED NER KASSE:Protokollstart",
                        // no blank after the date: the program runs from position 11
                        "0000000## 20240311_PRG Protokollende",
                        // keyword right at the date
                        "0000000## 20240311Protokollende",
                    });
    Parser parser(site, "11.03.2024", "11.03.2024");
    parser.p.Anzahl_Protokoll_Start_Ende();
    EXPECT_EQ(Bericht(site), (Lines{
                                 "20240311: 2024031 (Benutzer: ) Protokollende: 1",
                                 "20240311: 20240311_PRG (Benutzer: ) Protokollende: 1",
                                 "20240311: KASSE (Benutzer: BED NER) Protokollstart: 1",
                             }));
}

TEST(StartEnde, NothingToCountStillWritesTheFile) {
    testenv::TempSite site;
    site.writeFile(site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt", "alt");
    site.writeLines(site.logFile("INFOPROT.001"), {"keine passende Zeile"});
    Parser parser(site, "11.03.2024", "11.03.2024");
    ASSERT_TRUE(parser.p.btnStartEndeClick());
    EXPECT_EQ(site.readFile(site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt"), "");
    EXPECT_EQ(parser.memo.back(),
              "Die Datei liegt unter " + site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt");
}

TEST(StartEnde, FilesRefusedByTheGateAreSkipped) {
    testenv::TempSite site;
    std::string pfad = site.logFile("INFOPROT.GROSS");
    std::string zeile = Zeile("20240311", "U", "KASSE", "Protokollstart") + "\r\n";
    int fd = ::open(pfad.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, zeile.data(), zeile.size()), static_cast<ssize_t>(zeile.size()));
    ASSERT_EQ(::ftruncate(fd, 15'000'001), 0);
    ::close(fd);
    // Modified before the period: the gate does not parse it but lets the report read it.
    site.writeLines(site.logFile("INFOPROT.ALT"), {Zeile("20240311", "U", "BACK", "Protokollstart")});
    SetzeAenderungszeit(site.logFile("INFOPROT.ALT"), 2024, 3, 1, 12, 0, 0);
    Parser parser(site, "11.03.2024", "11.03.2024");
    parser.p.Anzahl_Protokoll_Start_Ende();
    EXPECT_EQ(Bericht(site), (Lines{"20240311: BACK (Benutzer: U) Protokollstart: 1"}));
    EXPECT_EQ(parser.memo.size(), 4u); // neither file was parsed for errors
}

TEST(StartEnde, InvalidPeriodFieldIsReportedWithoutSuccessLines) {
    testenv::TempSite site;
    Parser parser(site, "11.03.2024", "");
    parser.p.Anzahl_Protokoll_Start_Ende();
    EXPECT_TRUE(parser.memo.empty());
    EXPECT_FALSE(FileExists(site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt"));
    // The period check, as the collection's, reports the field and shows the period refused.
    EXPECT_EQ(RegistrierteKontexte(), std::vector<std::string>{"TVKT_InfoProtParser.SinnvolleZeitspanne"});
    EXPECT_EQ(Info().meldungCount(1002), 1);
}
