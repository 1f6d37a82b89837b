// Faults at single steps of the runs that delete and replace logs: a flush or a close that
// reports an error, a link or rename that fails, a log that grows while it is read, a log folder
// that turns read-only, and a link planted in STATEMP. After each the logs still hold every
// line, nothing torn or hidden is left beside them, and the next run recovers.
#include "site_fixture.h"

#include "host/fileutil.h"
#include "host/messages.h"
#include "host/program.h"
#include "host/textfile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace infemora::reliability {
namespace {

const char* stepName(FileStep s) {
    switch (s) {
    case FileStep::Sync:
        return "flush";
    case FileStep::Close:
        return "close";
    case FileStep::Link:
        return "link";
    case FileStep::Rename:
        return "rename";
    }
    return "?";
}

// Fails the n-th call of one step with EIO and remembers whether it came that far. A failed
// flush or close also loses the second half of what was written, as a disk that reports such an
// error may well have done: a writer that goes on regardless leaves a file cut short.
class NthStepFails {
public:
    NthStepFails(FileStep step, int n) : step_(step), n_(n) {
        SetFileFaultHookForTesting([this](FileStep s, const std::string& path, int fd) {
            if (s != step_ || ++seen_ != n_)
                return 0;
            failedAt_ = path;
            // A descriptor opened only to flush cannot cut; the file is then the one under path.
            struct stat st {};
            if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_size > 0 && ::ftruncate(fd, st.st_size / 2) != 0 &&
                ::truncate(path.c_str(), st.st_size / 2) != 0)
                ADD_FAILURE() << "could not cut " << path;
            return EIO;
        });
    }
    ~NthStepFails() { SetFileFaultHookForTesting({}); }
    NthStepFails(const NthStepFails&) = delete;
    NthStepFails& operator=(const NthStepFails&) = delete;
    bool fired() const { return seen_ >= n_; }
    const std::string& failedAt() const { return failedAt_; }

private:
    FileStep step_;
    int n_;
    int seen_ = 0;
    std::string failedAt_;
};

class StepFaults : public GeneratedSite {
protected:
    // For each step, fails its first, second, ... call in a run on a fresh copy until a run no
    // longer reaches that call; after each the logs are checked, the next run of the program
    // must recover and leave them sound.
    void sweep(const std::function<bool()>& run, const std::vector<std::string>& recovery) {
        // The runs never rename over a name; they link, which cannot replace anything.
        for (FileStep step : {FileStep::Sync, FileStep::Close, FileStep::Link}) {
            int failures = 0;
            for (int n = 1;; ++n) {
                Renew();
                NthStepFails fault(step, n);
                const bool ok = run();
                if (!fault.fired())
                    break;
                ++failures;
                SetFileFaultHookForTesting({});
                SCOPED_TRACE(std::string(stepName(step)) + " number " + std::to_string(n) + " failed, at " +
                             fault.failedAt());
                std::vector<std::string> p = Problems(logDir, base);
                EXPECT_TRUE(p.empty()) << "after the fault:" << Joined(p);
                EXPECT_EQ(HiddenFiles(logDir), std::vector<std::string>{}) << "temp files stayed";
                // A fault the run went on past must not have cost anything; one it could not
                // is told, never swallowed.
                if (!ok) {
                    EXPECT_FALSE(Info().registered().empty());
                }
                EXPECT_EQ(RunProgram(recovery, config), 0) << "the next run did not recover";
                p = Problems(logDir, base);
                EXPECT_TRUE(p.empty()) << "after the recovery:" << Joined(p);
                EXPECT_TRUE(FileExists(logDir + "/INFEMORA.000")) << "the recovery did not consolidate";
                Info().clearRegistered();
            }
            EXPECT_GT(failures, 0) << "no run reached a " << stepName(step);
        }
    }
};

TEST_F(StepFaults, MergeWithConsolidationLosesNothingWhicheverFlushCloseOrLinkFails) {
    sweep([this] { return MergeHere(); }, MergeCommand());
}

TEST_F(StepFaults, ShortenLosesNothingWhicheverFlushCloseOrLinkFails) {
    sweep([this] { return ShortenHere(); }, ShortenCommand());
}

// Another program appends entries to a log, opening and closing it for each, the whole time
// merges consolidate the folder.
TEST_F(StepFaults, EntriesAppendedWhileTheMergesRunSurvive) {
    std::string grown;
    for (const auto& name : LiveNames(logDir))
        if (name.starts_with("infb"))
            grown = logDir + "/" + name;
    ASSERT_FALSE(grown.empty());
    int stop[2], count[2];
    ASSERT_EQ(::pipe(stop), 0);
    ASSERT_EQ(::pipe(count), 0);
    pid_t writer = ::fork();
    if (writer == 0) {
        ::close(stop[1]);
        ::fcntl(stop[0], F_SETFL, O_NONBLOCK);
        int written = 0;
        char c;
        while (::read(stop[0], &c, 1) < 0) {
            const std::string entry = "xxxxx<< appended " + std::to_string(written) + "\r\nline of entry " +
                                      std::to_string(written) + "\r\n";
            int fd = ::open(grown.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
            if (fd < 0 || ::write(fd, entry.data(), entry.size()) != static_cast<ssize_t>(entry.size()))
                ::_exit(1);
            ::close(fd);
            ++written;
            ::usleep(500);
        }
        const std::string n = std::to_string(written);
        ::_exit(::write(count[1], n.data(), n.size()) > 0 ? 0 : 1);
    }
    ::close(stop[0]);
    ::close(count[1]);
    // A run that found a log grown under it does not consolidate, and says so by its exit code;
    // either way nothing may be lost.
    for (int run = 0; run < 3; ++run) {
        const int rc = RunProgram(MergeCommand(), config);
        EXPECT_TRUE(rc == 0 || rc == 1) << rc;
    }
    ASSERT_EQ(::write(stop[1], "x", 1), 1);
    ::close(stop[1]);
    char buf[32] = {};
    const ssize_t got = ::read(count[0], buf, sizeof buf - 1);
    ::close(count[0]);
    int status = 0;
    ::waitpid(writer, &status, 0);
    ASSERT_TRUE(got > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const int appended = std::atoi(buf);
    ASSERT_GT(appended, 0);

    auto missing = [&] {
        Baseline now = TakeBaseline(logDir);
        std::vector<std::string> out;
        for (int i = 0; i < appended; ++i)
            for (const std::string& l :
                 {"xxxxx<< appended " + std::to_string(i), "line of entry " + std::to_string(i)})
                if (!now.lines.count(l))
                    out.push_back(l);
        return out;
    };
    std::vector<std::string> p = missing();
    EXPECT_TRUE(p.empty()) << p.size() << " appended line(s) lost:" << Joined(p);
    Baseline withAppended = base;
    for (int i = 0; i < appended; ++i) {
        withAppended.lines.insert("xxxxx<< appended " + std::to_string(i));
        withAppended.lines.insert("line of entry " + std::to_string(i));
    }
    p = Problems(logDir, withAppended);
    EXPECT_TRUE(p.empty()) << Joined(p);
    // Once nobody writes, the next run takes all and keeps all.
    EXPECT_EQ(RunProgram(MergeCommand(), config), 0);
    p = missing();
    EXPECT_TRUE(p.empty()) << "after the quiet run:" << Joined(p);
    EXPECT_TRUE(FileExists(logDir + "/INFEMORA.000"));
}

TEST_F(StepFaults, AReadOnlyLogFolderChangesNothingAndTheNextRunRecovers) {
    for (const auto& command : {MergeCommand(), ShortenCommand()}) {
        SCOPED_TRACE(command[1]);
        Renew();
        struct stat before {};
        ASSERT_EQ(::stat(logDir.c_str(), &before), 0);
        {
            ReadOnlyFolder ro(logDir);
            if (!ro.available())
                GTEST_SKIP()
                    << "neither the mode bits nor a read-only bind mount can make a folder read-only here";
            RunProgram(command, config);
            std::vector<std::string> p = Problems(logDir, base);
            EXPECT_TRUE(p.empty()) << "while read-only:" << Joined(p);
            EXPECT_EQ(TakeBaseline(logDir).contents, base.contents) << "a log changed in a read-only folder";
        }
        EXPECT_EQ(HiddenFiles(logDir), std::vector<std::string>{});
        EXPECT_EQ(RunProgram(command, config), 0);
        std::vector<std::string> p = Problems(logDir, base);
        EXPECT_TRUE(p.empty()) << "after the recovery:" << Joined(p);
        EXPECT_TRUE(FileExists(logDir + "/INFEMORA.000"));
    }
}

// Another user puts links under the names the merge writes in STATEMP, pointing at a file of
// theirs: the write must not land there.
TEST_F(StepFaults, ALinkPlantedInStatempRedirectsNoWrite) {
    const std::string victim = site.path("victim.txt");
    site.writeFile(victim, "unchanged\r\n");
    for (const char* name : {"TEMOSORT.TXT", "TEMOSORT.TXT.teil", "TEMOKUER.TXT"})
        ASSERT_EQ(::symlink(victim.c_str(), (statemp + "/" + name).c_str()), 0);
    const int rc = RunProgram(ShortenCommand(), config);
    EXPECT_EQ(site.readFile(victim), "unchanged\r\n");
    std::vector<std::string> p = Problems(logDir, base);
    EXPECT_TRUE(p.empty()) << Joined(p);
    // The program replaced the links with files of its own.
    EXPECT_EQ(rc, 0);
    struct stat st {};
    ASSERT_EQ(::lstat((statemp + "/TEMOSORT.TXT").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0022, 0u) << "a file of the shared folder is writable by others";
}

TEST_F(StepFaults, ALinkUnderTheWorkLockCreatesNothingAndIsRefused) {
    const std::string target = site.path("created-through-the-link");
    const std::string lock = statemp + "/" + Programm().programId() + ".work.lock";
    ASSERT_EQ(::symlink(target.c_str(), lock.c_str()), 0);
    int handle = -1;
    EXPECT_FALSE(Programm().WorkStartTry(handle, "Test", 0));
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(Info().registered().empty()) << "the refusal is not told";
    ::unlink(lock.c_str());
    ASSERT_TRUE(Programm().WorkStartTry(handle, "Test", 0));
    Programm().WorkDone(handle);
}

} // namespace
} // namespace infemora::reliability
