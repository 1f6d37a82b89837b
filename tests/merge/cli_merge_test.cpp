// infemora-cli merge, run as a user runs it, compared byte for byte with the expected text.
#include "host/datetime.h"
#include "merge_fixture.h"
#include "merge_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>

namespace infemora {
namespace {

using mergetest::CrLf;
using mergetest::Eintrag;
using mergetest::Exists;
using testenv::TempSite;

class CliMerge : public ::testing::Test {
protected:
    void SetUp() override {
        site.writeFile(site.path("infemora.ini"), "[Verzeichnisse]\nINFOPROT=" + site.logDir() +
                                                      "\nSTATEMP=" + site.statemp() +
                                                      "\nEINSTELLUNGEN=" + site.settingsDir() + "\n");
    }
    // Runs the program; stdout and stderr land in out and err. shell runs first, in the same shell.
    int cli(const std::string& args, const std::string& shell = {}) {
        std::string cmd = shell + " INFEMORA_CONFIG='" + site.path("infemora.ini") + "' timeout 60 '" +
                          testenv::BinaryDir() + "/app/infemora-cli/infemora-cli' merge " + args + " >'" +
                          site.path("out") + "' 2>'" + site.path("err") + "'";
        cmd = "bash -c " + q(cmd);
        int status = std::system(cmd.c_str());
        out = site.readFile(site.path("out"));
        err = site.readFile(site.path("err"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string log(const std::string& name, const std::vector<std::string>& lines) {
        site.writeLines(site.logFile(name), lines);
        return site.logFile(name);
    }
    static std::string q(const std::string& s) {
        std::string out = "'";
        for (char c : s)
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }

    TempSite site;
    std::string out, err;
};

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> entries) {
    std::vector<std::string> all;
    for (const auto& e : entries)
        mergetest::Append(all, e);
    return all;
}

TEST_F(CliMerge, WithoutFilesMergesTheLogDirectory) {
    log("INFOPROT.001",
        join({Eintrag("kasse1 a", "20260312 100000", 1), Eintrag("kasse1 b", "20260312 100400")}));
    log("infoprot.tmp",
        join({Eintrag("kasse2 a", "20260312 100200"), Eintrag("kasse2 b", "20260312 100400", 2)}));
    // The merged file of an earlier run and a log from before the first entry line.
    site.writeFile(site.logFile("INFEMORA.000"), "Kopf ohne Eintrag\n");
    log("TRANSFER.LOG", {"20260312 not an info log"});
    ASSERT_EQ(cli(""), 0) << err;
    EXPECT_EQ(out, "Kopf ohne Eintrag\r\n"
                   "xxxxx<< kasse1 a\r\n"
                   "xxxxx## 20260312 100000 user PROG\r\n"
                   "kasse1 a body 0\r\n"
                   "xxxxx<< kasse2 a\r\n"
                   "xxxxx## 20260312 100200 user PROG\r\n"
                   "xxxxx<< kasse2 b\r\n"
                   "xxxxx## 20260312 100400 user PROG\r\n"
                   "kasse2 b body 0\r\n"
                   "kasse2 b body 1\r\n"
                   "xxxxx<< kasse1 b\r\n"
                   "xxxxx## 20260312 100400 user PROG\r\n")
        << "the file being written is read first and wins the tie";
    EXPECT_TRUE(Exists(site.logFile("infoprot.tmp")));
}

TEST_F(CliMerge, FilesAreTakenInTheOrderGivenAndWrittenToTheOutputFile) {
    std::string c = log("c.log", {"xxxxx<< c \xFC\xF8"});
    std::string a = log("a.log", {"xxxxx<< a"});
    std::string b = log("b.log", {"xxxxx<< b"});
    ASSERT_EQ(cli("--output " + q(site.path("merged.txt")) + " " + q(c) + " " + q(a) + " " + q(b)), 0) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(site.readFile(site.path("merged.txt")), "xxxxx<< c \xFC\xF8\r\nxxxxx<< a\r\nxxxxx<< b\r\n");
    // An existing output file is replaced as a whole.
    site.writeFile(site.path("merged.txt"), std::string(10000, 'o'));
    ASSERT_EQ(cli("--output " + q(site.path("merged.txt")) + " " + q(b)), 0) << err;
    EXPECT_EQ(site.readFile(site.path("merged.txt")), "xxxxx<< b\r\n");
}

TEST_F(CliMerge, VonAndBisSelectTheWindowAsTheDialogWould) {
    std::string today = FormatDateTime("yyyyMMdd", Today());
    std::string tomorrow = FormatDateTime("yyyyMMdd", Today().addDays(1));
    std::string a =
        log("INFOPROT.001", join({Eintrag("early", "20260312 095959"), Eintrag("from", "20260312 100000"),
                                  Eintrag("to", "20260312 120000"), Eintrag("late", "20260312 120001"),
                                  Eintrag("nostamp", ""), Eintrag("today", today + " 235959"),
                                  Eintrag("tomorrow", tomorrow + " 000000")}));
    ASSERT_EQ(cli("--von '12.03.2026 10:00:00' --bis '12.03.2026 12:00:00' " + q(a)), 0) << err;
    EXPECT_EQ(out, CrLf(join({Eintrag("from", "20260312 100000"), Eintrag("to", "20260312 120000"),
                              Eintrag("nostamp", "")})));
    // Without --bis the window ends today at 23:59:59.099.
    ASSERT_EQ(cli("--von '12.03.2026 10:00:00' " + q(a)), 0) << err;
    EXPECT_EQ(out, CrLf(join({Eintrag("from", "20260312 100000"), Eintrag("to", "20260312 120000"),
                              Eintrag("late", "20260312 120001"), Eintrag("nostamp", ""),
                              Eintrag("today", today + " 235959")})));
    // A date alone as --bis means the whole day.
    ASSERT_EQ(cli("--bis 12.03.2026 " + q(a)), 0) << err;
    EXPECT_EQ(out, CrLf(join({Eintrag("early", "20260312 095959"), Eintrag("from", "20260312 100000"),
                              Eintrag("to", "20260312 120000"), Eintrag("late", "20260312 120001"),
                              Eintrag("nostamp", "")})));
}

TEST_F(CliMerge, UsageErrorsExitWithTwo) {
    std::string a = log("a.log", {"xxxxx<< a"});
    EXPECT_EQ(cli("--von 32.13.2026 " + q(a)), 2);
    EXPECT_NE(err.find("--von"), std::string::npos) << err;
    EXPECT_EQ(cli("--von '12.03.2026 25:00:00' " + q(a)), 2);
    EXPECT_EQ(cli("--von '12.03.2026 12:00:00' --bis '12.03.2026 11:00:00' " + q(a)), 2);
    EXPECT_NE(err.find("Zeitraum"), std::string::npos) << err;
    EXPECT_EQ(cli("--unknown " + q(a)), 2);
    EXPECT_EQ(out, "");
}

TEST_F(CliMerge, FailuresExitWithOneAndLeaveTheOutputAlone) {
    site.writeFile(site.path("merged.txt"), "previous\r\n");
    EXPECT_EQ(cli("--output " + q(site.path("merged.txt")) + " " + q(site.logFile("gone"))), 1);
    EXPECT_NE(err.find("DateienSortieren"), std::string::npos) << err;
    EXPECT_EQ(site.readFile(site.path("merged.txt")), "previous\r\n");
}

TEST_F(CliMerge, EntryTheFilterCannotReadIsAWarningAndTheOutputComplete) {
    // A stamp that is no date-time fails the filter test: the entry is left out and reported,
    // but the filtered text is complete by the filter's rules.
    std::string a = log("a.log", join({Eintrag("ok", "20260312 100000"), Eintrag("bad", "20260312 240000")}));
    EXPECT_EQ(cli("--von 01.01.2026 " + q(a)), 0) << err;
    EXPECT_EQ(out, CrLf(Eintrag("ok", "20260312 100000")));
    EXPECT_NE(err.find("WARNUNG: DateienSortieren_CheckFilter"), std::string::npos) << err;
    EXPECT_NE(err.find("1 Warnung"), std::string::npos) << err;
}

TEST_F(CliMerge, NoLogsFoundGivesAnEmptyText) {
    ASSERT_EQ(cli("--output " + q(site.path("merged.txt"))), 0) << err;
    EXPECT_EQ(site.readFile(site.path("merged.txt")), "");
    EXPECT_NE(err.find("Keine Dateien gefunden"), std::string::npos);
}

TEST_F(CliMerge, ConsolidatesOnlyWhenAsked) {
    std::string bytes = mergetest::SingleLineEntries("e", 18013);
    site.writeFile(site.logFile("INFOPROT.001"), bytes);
    ASSERT_EQ(cli("--output /dev/null"), 0) << err;
    EXPECT_EQ(mergetest::FilesIn(site.logDir()), std::vector<std::string>{"INFOPROT.001"});
    ASSERT_EQ(cli(""), 0) << err;
    EXPECT_EQ(out, bytes);

    ASSERT_EQ(cli("--consolidate"), 0) << err;
    EXPECT_EQ(mergetest::FilesIn(site.logDir()),
              (std::vector<std::string>{"ALT-INFO.00001", "INFEMORA.000"}));
    EXPECT_EQ(out, site.readFile(site.logFile("INFEMORA.000")))
        << "the text the view shows after consolidation";
    EXPECT_EQ(site.readFile(site.logFile("ALT-INFO.00001")) + out, bytes);
}

// What stands in the log folder under a log's name, or is given as one, and is no log: it is
// never read, archived or deleted, and a run asked for the impossible says so.
TEST_F(CliMerge, HostileFilesAndArgumentsAreRefusedWithoutHarm) {
    const std::string bytes = mergetest::SingleLineEntries("e", 18013); // enough for a part
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::function<std::string()> args;
        int exitCode;
        const char* errSays;
        std::function<void()> check;
    };
    const std::string outside = site.path("outside");
    const std::vector<Case> cases = {
        {"a link named like a log",
         [&] {
             std::filesystem::create_directories(outside);
             site.writeFile(outside + "/secret.txt", "xxxxx<< geheim\r\n");
             std::filesystem::create_symlink(outside + "/secret.txt", site.logFile("INF_OUT.LOG"));
         },
         [] { return std::string("--consolidate"); }, 0, "INF_OUT.LOG",
         [&] {
             EXPECT_TRUE(std::filesystem::is_symlink(site.logFile("INF_OUT.LOG")));
             EXPECT_EQ(site.readFile(outside + "/secret.txt"), "xxxxx<< geheim\r\n");
             EXPECT_EQ(out.find("geheim"), std::string::npos);
             EXPECT_EQ(site.readFile(site.logFile("ALT-INFO.00001")).find("geheim"), std::string::npos);
         }},
        {"a pipe named like a log",
         [&] { ASSERT_EQ(::mkfifo(site.logFile("INF_PIPE.LOG").c_str(), 0644), 0); },
         [] { return std::string(); }, 0, "INF_PIPE.LOG", [&] { EXPECT_EQ(out, bytes); }},
        {"a device given to merge and consolidate", [] {},
         [] { return std::string("--consolidate /dev/urandom"); }, 1, "/dev/urandom",
         [&] { EXPECT_FALSE(Exists("/dev/INFEMORA.000")); }},
        {"the output onto a live log", [] {}, [&] { return "--output " + q(site.logFile("INFOPROT.001")); },
         2, "INFOPROT.001", [&] { EXPECT_EQ(site.readFile(site.logFile("INFOPROT.001")), bytes); }},
        {"the output into the log folder under a log's name", [] {},
         [&] { return "--output " + q(site.logFile("infoprot_auszug.txt")); }, 2, "infoprot_auszug.txt",
         [&] { EXPECT_FALSE(Exists(site.logFile("infoprot_auszug.txt"))); }},
        {"no five-digit archive number left",
         [&] { site.writeFile(site.logFile("ALT-INFO.99999"), "x\r\n"); },
         [] { return std::string("--consolidate"); }, 1, "Archivnummer",
         [&] {
             EXPECT_EQ(out, bytes) << "the text is complete all the same";
             EXPECT_TRUE(Exists(site.logFile("INFOPROT.001")));
             EXPECT_FALSE(Exists(site.logFile("INFEMORA.000")));
         }},
        {"a number too large for a part is no part's",
         [&] { site.writeFile(site.logFile("ALT-INFO.2147483647"), "x\r\n"); },
         [] { return std::string("--consolidate"); }, 0, "",
         [&] { EXPECT_TRUE(Exists(site.logFile("ALT-INFO.00001"))); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(site.logDir());
        std::filesystem::create_directories(site.logDir());
        site.writeFile(site.logFile("INFOPROT.001"), bytes);
        c.setUp();
        EXPECT_EQ(cli(c.args()), c.exitCode) << err;
        EXPECT_NE(err.find(c.errSays), std::string::npos) << err;
        c.check();
    }
}

TEST_F(CliMerge, MoreLogsThanOpenFilesAreMergedToTheSameText) {
    std::string expected;
    for (int i = 0; i < 300; ++i)
        site.writeFile(site.logFile("INF" + std::to_string(1000 + i) + ".LOG"),
                       "xxxxx<< file " + std::to_string(i) + "\r\nxxxxx## 20260312 " +
                           std::to_string(100000 + (i * 7) % 300) + " u P\r\n");
    ASSERT_EQ(cli(""), 0) << err;
    expected = out;
    ASSERT_EQ(cli("", "ulimit -n 40;"), 0) << err;
    EXPECT_EQ(out, expected);
    EXPECT_EQ(mergetest::CountLines(out), 600);
}

} // namespace
} // namespace infemora
