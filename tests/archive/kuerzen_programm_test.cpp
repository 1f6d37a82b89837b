// The built programs run merge and shorten as a user starts them: the desktop program with
// "-A=" (it ends by itself) and the headless command.
#include "host/datetime.h"
#include "kuerzen_fixture.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>

namespace infemora {
namespace {

using kuerzentest::Concat;
using kuerzentest::Eintrag;
using kuerzentest::Jjjjmmtt;
using kuerzentest::MenuDatum;
using kuerzentest::Namen;
using kuerzentest::Vorhanden;
using kuerzentest::Zeilen;

class KuerzenProgramm : public ::testing::Test {
protected:
    void SetUp() override {
        site.writeFile(site.path("infemora.ini"), "[Verzeichnisse]\nINFOPROT=" + site.logDir() +
                                                      "\nSTATEMP=" + site.statemp() +
                                                      "\nEINSTELLUNGEN=" + site.settingsDir() +
                                                      "\n[Regional]\nKurzesDatum=dd.MM.yyyy\n");
    }

    // Runs a command with the site's settings; stdout and stderr land in out and err. The
    // timeout stops a program that does not end by itself.
    int run(const std::string& command) {
        std::string cmd = "cd / && INFEMORA_CONFIG='" + site.path("infemora.ini") +
                          "' QT_QPA_PLATFORM=offscreen timeout 120 " + command + " >'" + site.path("out") +
                          "' 2>'" + site.path("err") + "'";
        int status = std::system(cmd.c_str());
        out = site.readFile(site.path("out"));
        err = site.readFile(site.path("err"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string program(const std::string& relative) {
        return "'" + testenv::BinaryDir() + relative + "'";
    }

    // A log directory of several info logs, a transfer and a menu log, dated around today; old
    // means more than five days back.
    void logsAnlegen() {
        auto w = [&](const std::string& name, const Lines& lines) {
            site.writeLines(site.logFile(name), lines);
        };
        w("INFEMORA.000", Concat({Eintrag(Jjjjmmtt(-30), "080000", "frueher merged"),
                                  Eintrag(Jjjjmmtt(-4), "080000", "neu merged")}));
        w("INFOPROT.001",
          Concat({Eintrag(Jjjjmmtt(-12), "090000", "alt 1"), Eintrag(Jjjjmmtt(-6), "235959", "alt 2"),
                  Eintrag(Jjjjmmtt(-5), "000000", "neu 1")}));
        w("infoprot.tmp",
          Concat({Eintrag(Jjjjmmtt(-7), "100000", "alt 3"), Eintrag(Jjjjmmtt(-1), "100000", "neu 2"),
                  Eintrag(Jjjjmmtt(0), "000001", "neu 3")}));
        w("TRANSFER.LOG", {Jjjjmmtt(-10) + " Abruf", "   Fortsetzung", Jjjjmmtt(-6) + " Senden",
                           Jjjjmmtt(-3) + " Abruf", Jjjjmmtt(0) + " Senden"});
        w("MENU.LOG", {MenuDatum(-9) + "\xF8"
                                       "08:00:00\xF8"
                                       "BEDIENER1",
                       MenuDatum(-4) + "\xF8"
                                       "09:00:00\xF8"
                                       "BUERO",
                       MenuDatum(0) + "\xF8"
                                      "10:00:00\xF8"
                                      "M\xDCLLER"});
        w("ALT-INFO.000", {"ein altes Archiv"});
        w("notizen.txt", {"kein Protokoll"});
    }

    // What the run must leave: the archives of the old parts, the recent parts under the live
    // names, every input line somewhere.
    void ergebnisPruefen(const std::map<std::string, int>& vorher) {
        EXPECT_EQ(Namen(site.logDir()),
                  std::vector<std::string>({"ALT-INFO.000", "ALT-INFO.001", "ALT-MENU.000", "ALT-TRAN.000",
                                            "INFEMORA.000", "MENU.LOG", "TRANSFER.LOG", "notizen.txt"}));
        for (const auto& l : Zeilen(site.logFile("ALT-INFO.001")))
            EXPECT_TRUE(l.find("neu") == std::string::npos) << l;
        Lines infemora = Zeilen(site.logFile("INFEMORA.000"));
        EXPECT_EQ(infemora.size(), 12u);
        for (const auto& l : infemora)
            EXPECT_TRUE(l.find("alt") == std::string::npos && l.find("frueher") == std::string::npos) << l;
        EXPECT_EQ(Zeilen(site.logFile("ALT-TRAN.000")),
                  Lines({Jjjjmmtt(-10) + " Abruf", "   Fortsetzung", Jjjjmmtt(-6) + " Senden"}));
        EXPECT_EQ(Zeilen(site.logFile("TRANSFER.LOG")),
                  Lines({Jjjjmmtt(-3) + " Abruf", Jjjjmmtt(0) + " Senden"}));
        EXPECT_EQ(Zeilen(site.logFile("ALT-MENU.000")).size(), 1u);
        EXPECT_EQ(Zeilen(site.logFile("MENU.LOG")).size(), 2u);
        EXPECT_EQ(kuerzentest::Fehlende(vorher, site.logDir()), std::vector<std::string>());
        EXPECT_FALSE(kuerzentest::Vorhanden(site.statemp() + "/TEMOKUER.TXT"));
        EXPECT_FALSE(kuerzentest::Vorhanden(site.statemp() + "/INFEMORA_Fehler.log"))
            << site.readFile(site.statemp() + "/INFEMORA_Fehler.log");
    }

    testenv::TempSite site;
    std::string out, err;
};

TEST_F(KuerzenProgramm, TheUnattendedStartShortensAndEndsByItself) {
    logsAnlegen();
    auto vorher = kuerzentest::ZeilenBestand(site.logDir());
    ASSERT_EQ(run(program("/app/infemora/infemora") + " -A=5"), 0) << err;
    ergebnisPruefen(vorher);
}

TEST_F(KuerzenProgramm, TheHeadlessCommandDoesTheSame) {
    logsAnlegen();
    auto vorher = kuerzentest::ZeilenBestand(site.logDir());
    ASSERT_EQ(run(program("/app/infemora-cli/infemora-cli") + " shorten --days 5"), 0) << err;
    ergebnisPruefen(vorher);
    EXPECT_NE(out.find("geschrieben " + site.logFile("ALT-INFO.001")), std::string::npos) << out;
    // The merge after the run shows what is left.
    EXPECT_EQ(Zeilen(site.statemp() + "/TEMOSORT.TXT"), Zeilen(site.logFile("INFEMORA.000")));
}

TEST_F(KuerzenProgramm, TheHeadlessCommandKeepsTenDaysWithoutAnOption) {
    site.writeLines(site.logFile("TRANSFER.LOG"), {Jjjjmmtt(-11) + " a", Jjjjmmtt(-10) + " b"});
    ASSERT_EQ(run(program("/app/infemora-cli/infemora-cli") + " shorten"), 0) << err;
    EXPECT_EQ(Zeilen(site.logFile("ALT-TRAN.000")), Lines({Jjjjmmtt(-11) + " a"}));
    EXPECT_EQ(Zeilen(site.logFile("TRANSFER.LOG")), Lines({Jjjjmmtt(-10) + " b"}));
    EXPECT_EQ(Namen(site.logDir()), std::vector<std::string>({"ALT-TRAN.000", "TRANSFER.LOG"}));
}

TEST_F(KuerzenProgramm, UsageErrorsAndFailuresHaveTheirExitCodes) {
    site.writeLines(site.logFile("TRANSFER.LOG"), {Jjjjmmtt(-11) + " a"});
    EXPECT_EQ(run(program("/app/infemora-cli/infemora-cli") + " shorten --days zehn"), 2);
    EXPECT_EQ(run(program("/app/infemora-cli/infemora-cli") + " shorten --days"), 2);
    EXPECT_EQ(Namen(site.logDir()), std::vector<std::string>({"TRANSFER.LOG"}));

    // A temp folder that is a file: merge and shorten needs none and folds the logs, but the
    // text of what is left cannot be kept in TEMOSORT.TXT, and the run says so by its exit code.
    const Lines info = Concat({Eintrag("20261101", "080000", "alt"), Eintrag("20261208", "080000", "neu")});
    site.writeLines(site.logFile("infoprot.tmp"), info);
    site.writeFile(site.path("keinordner"), "x");
    site.writeFile(site.path("infemora.ini"), "[Verzeichnisse]\nINFOPROT=" + site.logDir() +
                                                  "\nSTATEMP=" + site.path("keinordner") + "\n");
    EXPECT_EQ(run(program("/app/infemora-cli/infemora-cli") + " shorten --days 1"), 1) << err;
    EXPECT_EQ(Zeilen(site.logFile("ALT-INFO.000")), Eintrag("20261101", "080000", "alt"));
    EXPECT_EQ(Zeilen(site.logFile("INFEMORA.000")), Eintrag("20261208", "080000", "neu"));
    EXPECT_NE(err.find("keinordner"), std::string::npos) << err;
}

TEST_F(KuerzenProgramm, NegativeDaysMakeEveryDatedLineOld) {
    site.writeLines(site.logFile("TRANSFER.LOG"), {Jjjjmmtt(0) + " heute", Jjjjmmtt(3) + " bald"});
    ASSERT_EQ(run(program("/app/infemora-cli/infemora-cli") + " shorten --days=-5"), 0) << err;
    EXPECT_EQ(Zeilen(site.logFile("ALT-TRAN.000")), Lines({Jjjjmmtt(0) + " heute", Jjjjmmtt(3) + " bald"}));
    EXPECT_EQ(Namen(site.logDir()), std::vector<std::string>({"ALT-TRAN.000"}));
}

} // namespace
} // namespace infemora
