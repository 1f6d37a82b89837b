// Faults during the runs that delete and replace logs: a disk that fills up at any point, a log
// that vanishes after it was found, a run killed while it moves a part in from another file
// system. After each the logs still hold every line, nothing torn stands under a log's name,
// and the next run recovers.
#include "site_fixture.h"

#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/textfile.h"
#include "merge/merge_output.h"
#include "merge/merge_run.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace infemora::reliability {
namespace {

// Full disks at every point of the runs that delete and replace logs.
class SiteFaults : public GeneratedSite {
protected:
    // Runs the command with the disk full after each limit in turn, on a fresh copy each time
    // the previous one recovered; after each fault and each recovery the logs are checked.
    void sweep(const std::vector<std::string>& command) {
        const std::vector<double> fractions = {0.0, 0.0005, 0.02, 0.1, 0.25, 0.4, 0.55, 0.7, 0.85, 1.0};
        for (double f : fractions) {
            const long long limit = static_cast<long long>(f * static_cast<double>(inputBytes));
            SCOPED_TRACE("file size limit " + std::to_string(limit));
            RunProgram(command, config, limit);
            std::vector<std::string> p = Problems(logDir, base);
            EXPECT_TRUE(p.empty()) << "after the full disk:" << Joined(p);
            EXPECT_EQ(RunProgram(command, config), 0) << "the next run did not recover";
            p = Problems(logDir, base);
            EXPECT_TRUE(p.empty()) << "after the recovery:" << Joined(p);
        }
    }
};

TEST_F(SiteFaults, MergeWithConsolidationLosesNothingWhereverTheDiskFillsUp) {
    sweep({CliPath(), "merge", "--consolidate", "--output", "/dev/null"});
    // The recoveries did consolidate: the disk faults did not merely stop every run early.
    EXPECT_TRUE(FileExists(logDir + "/INFEMORA.000"));
}

TEST_F(SiteFaults, ShortenLosesNothingWhereverTheDiskFillsUp) {
    sweep({CliPath(), "shorten", "--days", "5"});
    EXPECT_TRUE(FileExists(logDir + "/INFEMORA.000"));
}

TEST_F(SiteFaults, ALogThatVanishesAfterTheSearchFailsTheMergeAndNothingIsDeleted) {
    std::vector<std::string> found;
    for (const auto& name : LiveNames(logDir))
        if (name.starts_with("inf") || name.starts_with("INF"))
            found.push_back(logDir + "/" + name);
    ASSERT_GE(found.size(), 3u);
    // Another program archives one of the logs between the search and the merge.
    const std::string gone = found[1];
    const std::string bytes = ReadFileBytes(gone);
    ASSERT_EQ(::unlink(gone.c_str()), 0);
    MergeRunInput in;
    in.files = found;
    in.logDir = logDir;
    in.tempPath = root + "/statemp/TEMOSORT.TXT";
    MergeRunResult r = DateienSortieren(in, NullProgress());
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(r.deleted.empty());
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (i != 1) {
            EXPECT_TRUE(FileExists(found[i])) << found[i];
        }
    }
    // The other program puts it back; the next run, from a new search, takes all.
    site.writeFile(gone, bytes);
    EXPECT_EQ(RunProgram({CliPath(), "merge", "--consolidate", "--output", "/dev/null"}, config), 0);
    std::vector<std::string> p = Problems(logDir, base);
    EXPECT_TRUE(p.empty()) << Joined(p);
}

// A part moved in from another file system is copied; a run killed meanwhile must not leave the
// copy cut short under the part's name, where it would stand as an archive for good.
TEST(CrossFileSystemMove, AKillDuringTheCopyLeavesNothingTornUnderTheName) {
    struct stat shm {
    }, tmp{};
    testenv::TempSite site;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(site.logDir().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    std::string src = "/dev/shm/infemora-move-XXXXXX";
    ASSERT_NE(::mkdtemp(src.data()), nullptr);
    const std::string from = src + "/TEMOSORT.TXT";
    std::string bytes;
    for (int i = 0; bytes.size() < (48u << 20); ++i)
        bytes += "xxxxx<< entry " + std::to_string(i) + " with some text to make it longer\r\n";
    std::mt19937 rng(5);
    int torn = 0, complete = 0;
    for (int round = 0; round < 8; ++round) {
        site.writeFile(from, bytes);
        const std::string to = site.logFile("ALT-INFO.0000" + std::to_string(round + 1));
        pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(RenameNoReplace(from, to) ? 0 : 1);
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<>(0, 40000)(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (FileExists(to)) {
            ++complete;
            if (FileSize(to) != static_cast<std::int64_t>(bytes.size()))
                ++torn;
        }
        ::unlink(from.c_str());
    }
    fs::remove_all(src);
    EXPECT_EQ(torn, 0) << complete << " part(s) appeared, " << torn << " of them cut short";
}

// A save that meets a full disk leaves the file it replaces as it was.
TEST(SaveFaults, SaveLinesReplacingOnAFullDiskKeepsTheOldFile) {
    testenv::TempSite site;
    const std::string path = site.logFile("gesichert.txt");
    site.writeLines(path, {"alt 1", "alt 2"});
    Lines neu(20000, std::string(60, 'n'));
    for (long long limit : {0LL, 10LL, 4096LL, 100000LL}) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
            ::setrlimit(RLIMIT_FSIZE, &lim);
            try {
                SaveLinesReplacing(path, neu);
            } catch (const EFileError&) {
                ::_exit(3);
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "limit " << limit;
        EXPECT_EQ(site.readFile(path), "alt 1\r\nalt 2\r\n") << "limit " << limit;
        // No temp file of the failed save stays beside it.
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(site.logDir()))
            ++entries;
        EXPECT_EQ(entries, 1u) << "limit " << limit;
    }
}

} // namespace
} // namespace infemora::reliability
