// infemora-cli merge --grep/--grep-not and infemora-cli timeline, run as a user runs them, against
// outputs written out by hand.
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace infemora {
namespace {

using testenv::TempSite;

class EntryCli : public ::testing::Test {
protected:
    void SetUp() override {
        site.writeFile(site.path("infemora.ini"), "[Verzeichnisse]\nINFOPROT=" + site.logDir() +
                                                      "\nSTATEMP=" + site.statemp() +
                                                      "\nEINSTELLUNGEN=" + site.settingsDir() + "\n");
        // Umlauts as the logs hold them (Windows-1252); a text broken across two lines; a head
        // without start line; a file with LF line ends.
        site.writeLines(site.logFile("infoprot.tmp"),
                        {"00001<<=====", "00001## 20261208 101500 KASSE1 PRG Fehler-Meldung: STANDARD.51",
                         "       Gr\xF6\xDF"
                         "e passt nicht",
                         "00001<<=====", "00001## 20261208 111700 KASSE1 PRG NONE-Meldung: KASSE.20",
                         "       Verbindung zur Zen", "trale unterbrochen"});
        site.writeFile(site.logFile("INFOPROT.001"), "Kopf ohne Eintrag\n00002<<=====\n"
                                                     "00002## 20261208 101600 KASSE2 PRG Info\n"
                                                     "       Lieferschein \xFC"
                                                     "bernommen\n");
    }
    int cli(const std::string& args) {
        const std::string cmd = "INFEMORA_CONFIG='" + site.path("infemora.ini") + "' '" +
                                testenv::BinaryDir() + "/app/infemora-cli/infemora-cli' " + args + " >'" +
                                site.path("out") + "' 2>'" + site.path("err") + "'";
        const int status = std::system(cmd.c_str());
        out = site.readFile(site.path("out"));
        err = site.readFile(site.path("err"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TempSite site;
    std::string out, err;
};

const std::string kKopf = "Kopf ohne Eintrag\r\n";
const std::string kFehler = "00001<<=====\r\n"
                            "00001## 20261208 101500 KASSE1 PRG Fehler-Meldung: STANDARD.51\r\n"
                            "       Gr\xF6\xDF"
                            "e passt nicht\r\n";
const std::string kInfo = "00002<<=====\r\n"
                          "00002## 20261208 101600 KASSE2 PRG Info\r\n"
                          "       Lieferschein \xFC"
                          "bernommen\r\n";
const std::string kNone = "00001<<=====\r\n"
                          "00001## 20261208 111700 KASSE1 PRG NONE-Meldung: KASSE.20\r\n"
                          "       Verbindung zur Zen\r\n"
                          "trale unterbrochen\r\n";

struct GrepCase {
    const char* name;
    std::string args;
    std::string expected;
};

class Grep : public EntryCli, public ::testing::WithParamInterface<GrepCase> {};

TEST_P(Grep, WholeEntriesOfTheMergedText) {
    ASSERT_EQ(cli("merge " + GetParam().args), 0) << err;
    EXPECT_EQ(out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Merge, Grep,
    ::testing::Values(GrepCase{"WithoutGrepTheWholeText", "", kKopf + kFehler + kInfo + kNone},
                      GrepCase{"UmlautTypedInUtf8", "--grep 'größe'", kFehler},
                      GrepCase{"UpperCaseUmlaut", "--grep 'ÜBERNOMMEN'", kInfo},
                      GrepCase{"TextBrokenAcrossLinesIsNotFound", "--grep Zentrale", ""},
                      GrepCase{"WithoutAText", "--grep-not meldung", kKopf + kInfo},
                      GrepCase{"RepeatedEveryConditionHolds",
                               "--grep kasse --grep-not kasse.20 --grep-not info", kFehler}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EntryCli, FilesAfterATextStayFiles) {
    ASSERT_EQ(cli("merge --grep-not kasse2 '" + site.logFile("INFOPROT.001") + "'"), 0) << err;
    EXPECT_EQ(out, kKopf);
}

TEST_F(EntryCli, GrepWritesTheOutputFile) {
    ASSERT_EQ(cli("merge --grep zen --output '" + site.path("gefiltert.txt") + "'"), 0) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(site.readFile(site.path("gefiltert.txt")), kNone);
}

TEST_F(EntryCli, TimelinePerHourPerDayAndInAPeriod) {
    ASSERT_EQ(cli("timeline"), 0) << err;
    EXPECT_EQ(out, "Zeitpunkt;Eintr\xE4ge;Fehler-Meldung;NONE-Meldung\r\n"
                   "08.12.2026 10:00:00;2;1;0\r\n"
                   "08.12.2026 11:00:00;1;0;1\r\n");
    ASSERT_EQ(cli("timeline --by day"), 0) << err;
    EXPECT_EQ(out, "Zeitpunkt;Eintr\xE4ge;Fehler-Meldung;NONE-Meldung\r\n"
                   "08.12.2026;3;1;1\r\n");
    ASSERT_EQ(cli("timeline --von '08.12.2026 10:16:00' --bis 08.12.2026"), 0) << err;
    EXPECT_EQ(out, "Zeitpunkt;Eintr\xE4ge;Fehler-Meldung;NONE-Meldung\r\n"
                   "08.12.2026 10:00:00;1;0;0\r\n"
                   "08.12.2026 11:00:00;1;0;1\r\n");
}

TEST_F(EntryCli, TimelineUsageErrorsAndAnEmptyDirectory) {
    EXPECT_EQ(cli("timeline --by week"), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(cli("timeline --von 32.12.2026"), 2);
    EXPECT_NE(err.find("--von"), std::string::npos) << err;
    std::remove(site.logFile("infoprot.tmp").c_str());
    std::remove(site.logFile("INFOPROT.001").c_str());
    EXPECT_EQ(cli("timeline"), 0) << err;
    EXPECT_EQ(out, "Zeitpunkt;Eintr\xE4ge;Fehler-Meldung;NONE-Meldung\r\n");
    EXPECT_NE(err.find("Keine Dateien gefunden"), std::string::npos);
}

} // namespace
} // namespace infemora
