// The programs as a user runs them: start, idle, and ending on request from another process.
#include "bench/gensite.h"
#include "host/fileutil.h"
#include "support/test_env.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace infemora;
using namespace std::chrono_literals;

namespace {

std::string gui() {
    return testenv::BinaryDir() + "/app/infemora/infemora";
}
std::string cli() {
    return testenv::BinaryDir() + "/app/infemora-cli/infemora-cli";
}

// How much a merge has written so far: it writes into a file of its own beside TEMOSORT.TXT,
// which takes that name only when it is complete.
std::int64_t writtenSoFar(const std::string& statemp) {
    std::int64_t size = 0;
    for (const auto& e : std::filesystem::directory_iterator(statemp))
        if (HiddenTempTarget(e.path().filename().string()) == "TEMOSORT.TXT")
            size = std::max<std::int64_t>(size, FileSize(e.path().string()));
    return size;
}

class Site : public testenv::TempSite {
public:
    Site() {
        gensite::WriteSettingsFile(path("infemora.ini"), root());
        setenv("INFEMORA_CONFIG", path("infemora.ini").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
};

pid_t spawn(const std::vector<std::string>& argv, const std::string& stdinFile = "/dev/null") {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, stdinFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

// The exit code, or -1 when the process did not end in time (it is killed then).
int waitFor(pid_t pid, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(20ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

bool stillRunning(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

int runCli(const std::vector<std::string>& args) {
    std::vector<std::string> all{cli()};
    all.insert(all.end(), args.begin(), args.end());
    return waitFor(spawn(all), 20s);
}

} // namespace

TEST(Processes, NomoraStartsIdleAndTerminateEndsIt) {
    Site site;
    site.writeLines(site.logFile("infoprot.tmp"), {"00001<< a", "00001## 20261208 100000 X Y"});
    pid_t pid = spawn({gui(), "NOMORA"}); // the bare word is no switch: idle with a notice
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(stillRunning(pid));
    EXPECT_EQ(runCli({"terminate"}), 0);
    EXPECT_EQ(waitFor(pid, 10s), 0);

    pid = spawn({gui(), "-NOMORA"});
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(stillRunning(pid));
    EXPECT_FALSE(FileExists(site.statemp() + "/TEMOSORT.TXT")); // nothing merged
    EXPECT_EQ(runCli({"terminate"}), 0);
    EXPECT_EQ(waitFor(pid, 10s), 0);
}

TEST(Processes, SigtermDuringALongMergeLetsTheMergeFinishFirst) {
    Site site;
    gensite::GenParams p;
    p.today = EncodeDate(2026, 12, 8);
    gensite::WriteMergeBench(site.logDir(), 4, 40'000'000, p);
    std::int64_t inputBytes = 0;
    for (const char* n : {"infoprot.tmp", "INFOPROT.001", "INFOPROT.002", "INFOPROT.003"})
        inputBytes += FileSize(site.logFile(n));
    // Held open here, so the merge writes everything into its temp file and deletes nothing.
    int held = open(site.logFile("INFOPROT.001").c_str(), O_RDONLY);
    const std::string out = site.statemp() + "/TEMOSORT.TXT";
    pid_t pid = spawn({gui()});
    ASSERT_GT(pid, 0);
    // Stopped as soon as the merge has written its first batch, so that the request surely
    // arrives while it runs, however fast this build merges.
    auto until = std::chrono::steady_clock::now() + 60s;
    while (writtenSoFar(site.statemp()) <= 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    kill(pid, SIGSTOP);
    const std::int64_t atRequest = writtenSoFar(site.statemp());
    kill(pid, SIGTERM);
    kill(pid, SIGCONT);
    EXPECT_GT(atRequest, 0);
    EXPECT_LT(atRequest, inputBytes) << "the merge had ended before the request";
    EXPECT_EQ(waitFor(pid, 120s), 0);
    close(held);
    // The whole merge was written: every input byte is in the output (line ends are CR LF in both).
    EXPECT_EQ(FileSize(out), inputBytes);
}

TEST(Processes, TerminateWithNothingRunningSaysSo) {
    Site site;
    EXPECT_EQ(runCli({"terminate"}), 0);
}

TEST(Processes, CliUsageErrorsExitWithTwo) {
    Site site;
    EXPECT_EQ(runCli({}), 2);
    EXPECT_EQ(runCli({"gibtsnicht"}), 2);
    EXPECT_EQ(runCli({"terminate", "--unbekannt"}), 2);
    EXPECT_EQ(runCli({"--help"}), 0);
    EXPECT_EQ(runCli({"terminate", "--help"}), 0);
}

TEST(Processes, PasswortStoresOnlyAHashAndRefusesAMismatch) {
    Site site;
    site.writeFile(site.path("eingabe"), "Kasse#1\nKasse#1\n");
    pid_t pid = spawn({cli(), "passwort"}, site.path("eingabe"));
    EXPECT_EQ(waitFor(pid, 60s), 0);
    std::string ini = site.readFile(site.path("infemora.ini"));
    EXPECT_NE(ini.find("[Passwort]"), std::string::npos);
    EXPECT_NE(ini.find("Hash=pbkdf2-sha256$"), std::string::npos);
    EXPECT_EQ(ini.find("Kasse#1"), std::string::npos);
    EXPECT_NE(ini.find("[Verzeichnisse]"), std::string::npos); // the other keys stay

    site.writeFile(site.path("eingabe"), "eins\nzwei\n");
    pid = spawn({cli(), "passwort"}, site.path("eingabe"));
    EXPECT_EQ(waitFor(pid, 60s), 1);
    EXPECT_EQ(site.readFile(site.path("infemora.ini")), ini);
}

TEST(Processes, MissingSettingsFileFallsBackWithoutWritingElsewhere) {
    Site site;
    std::string home = site.path("home");
    ForceDirectories(home);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
    setenv("INFEMORA_CONFIG", site.path("gibt-es-nicht.ini").c_str(), 1);
    pid_t pid = spawn({gui(), "-NOMORA"});
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(stillRunning(pid));
    EXPECT_EQ(runCli({"terminate"}), 0);
    EXPECT_EQ(waitFor(pid, 10s), 0);
    // The defaults lie under the data folder of the user, and only there anything was made: the
    // program's own STATEMP, never a log folder, which is reported when missing.
    EXPECT_FALSE(DirectoryExists(home + "/.local/share/infemora/infoprot"));
    EXPECT_TRUE(DirectoryExists(home + "/.local/share/infemora/statemp"));
    EXPECT_FALSE(FileExists(site.path("gibt-es-nicht.ini")));
    std::string log = site.readFile(home + "/.local/share/infemora/statemp/INFEMORA_Fehler.log");
    EXPECT_NE(log.find("gibt-es-nicht.ini"), std::string::npos);
}
