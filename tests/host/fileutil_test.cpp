#include "host/fileutil.h"
#include "support/test_env.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace infemora;

namespace {

// A second process that holds the file (open or locked) until it is killed.
class Holder {
public:
    Holder(const std::string& path, bool lockOnly) {
        int ready[2];
        if (pipe(ready) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            int fd = open(path.c_str(), O_RDWR);
            if (lockOnly) {
                flock(fd, LOCK_EX);
                // A POSIX lock stays visible in /proc/locks after the descriptor table changes.
                struct flock fl {};
                fl.l_type = F_WRLCK;
                fl.l_whence = SEEK_SET;
                fcntl(fd, F_SETLK, &fl);
            }
            char c = 'x';
            ssize_t w = write(ready[1], &c, 1);
            (void)w;
            for (;;)
                pause();
        }
        char c;
        ssize_t r = read(ready[0], &c, 1);
        (void)r;
        close(ready[0]);
        close(ready[1]);
    }
    ~Holder() { stop(); }
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
};

} // namespace

TEST(FileInUse, OnlyAnotherProcessHoldingTheFileCounts) {
    testenv::TempSite site;
    std::string f = site.logFile("infoprot.tmp");
    site.writeFile(f, "x");
    EXPECT_FALSE(CheckFileInUse(f));
    int own = open(f.c_str(), O_RDONLY); // our own descriptor is no other process
    EXPECT_FALSE(CheckFileInUse(f));
    close(own);
    {
        Holder holder(f, false);
        EXPECT_TRUE(CheckFileInUse(f, true));
        EXPECT_FALSE(CheckFileInUse(site.logFile("nicht-da")));
    }
    EXPECT_FALSE(CheckFileInUse(f));
}

// A second process that holds the file open in the given mode until the object goes.
class OpenHolder {
public:
    OpenHolder(const std::string& path, int flags) {
        int ready[2];
        if (pipe(ready) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            int fd = open(path.c_str(), flags);
            char c = fd >= 0 ? 'y' : 'n';
            ssize_t w = write(ready[1], &c, 1);
            (void)w;
            for (;;)
                pause();
        }
        char c = 'n';
        ssize_t r = read(ready[0], &c, 1);
        close(ready[0]);
        close(ready[1]);
        if (r != 1 || c != 'y')
            throw std::runtime_error("the holder could not open " + path);
    }
    ~OpenHolder() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

TEST(FileInUse, ForViewingOnlyAWriterCounts) {
    testenv::TempSite site;
    std::string f = site.logFile("TRANSFER.LOG");
    site.writeFile(f, "x");
    struct Fall {
        const char* name;
        int flags;
        bool geschrieben;
    };
    const Fall faelle[] = {
        {"a reader such as tail -f", O_RDONLY, false},
        {"a writer", O_WRONLY, true},
        {"an appending writer", O_WRONLY | O_APPEND, true},
        {"read and write", O_RDWR, true},
    };
    for (const auto& fall : faelle) {
        OpenHolder holder(f, fall.flags);
        EXPECT_EQ(CheckFileOpenForWriting(f), fall.geschrieben) << fall.name;
        // Deleting or replacing keeps the stricter rule: any holder counts.
        EXPECT_TRUE(CheckFileInUse(f)) << fall.name;
    }
    int own = open(f.c_str(), O_WRONLY); // our own descriptor is no other process
    EXPECT_FALSE(CheckFileOpenForWriting(f));
    close(own);
    EXPECT_FALSE(CheckFileOpenForWriting(site.logFile("nicht-da")));
}

TEST(FileHelpers, FindsAFileWhateverItsLetterCase) {
    testenv::TempSite site;
    site.writeFile(site.logFile("transfer.log"), "klein");
    EXPECT_EQ(FindFileIgnoringCase(site.logDir(), "TRANSFER.LOG"), site.logFile("transfer.log"));
    site.writeFile(site.logFile("Transfer.Log"), "gemischt");
    EXPECT_EQ(FindFileIgnoringCase(site.logDir(), "TRANSFER.LOG"),
              site.logFile("Transfer.Log")); // byte order
    site.writeFile(site.logFile("TRANSFER.LOG"), "genau");
    EXPECT_EQ(FindFileIgnoringCase(site.logDir(), "TRANSFER.LOG"), site.logFile("TRANSFER.LOG"));
    EXPECT_EQ(FindFileIgnoringCase(site.logDir(), "MENU.LOG"), "");
    std::filesystem::create_directory(site.logFile("menu.log")); // a folder is no log
    EXPECT_EQ(FindFileIgnoringCase(site.logDir(), "MENU.LOG"), "");
}

TEST(FileInUse, LockedFileCounts) {
    testenv::TempSite site;
    std::string f = site.logFile("gesperrt");
    site.writeFile(f, "x");
    Holder holder(f, true);
    EXPECT_TRUE(CheckFileInUse(f));
}

TEST(FileHelpers, DeleteReportsWhetherTheFileIsGone) {
    testenv::TempSite site;
    std::string f = site.logFile("a");
    site.writeFile(f, "x");
    EXPECT_TRUE(Ensure_DeleteFile(f));
    EXPECT_FALSE(FileExists(f));
    EXPECT_TRUE(Ensure_DeleteFile(f)); // already gone
    site.writeFile(f, "x");
    chmod(site.logDir().c_str(), 0500);
    if (geteuid() != 0) { // root may delete anyway
        EXPECT_FALSE(Ensure_DeleteFile(f));
    }
    chmod(site.logDir().c_str(), 0700);
}

TEST(FileHelpers, RenameNeverReplaces) {
    testenv::TempSite site;
    site.writeFile(site.logFile("quelle"), "neu");
    site.writeFile(site.logFile("ziel"), "alt");
    EXPECT_FALSE(RenameNoReplace(site.logFile("quelle"), site.logFile("ziel")));
    EXPECT_EQ(site.readFile(site.logFile("ziel")), "alt");
    EXPECT_TRUE(FileExists(site.logFile("quelle")));
    EXPECT_TRUE(RenameNoReplace(site.logFile("quelle"), site.logFile("frei")));
    EXPECT_EQ(site.readFile(site.logFile("frei")), "neu");
    EXPECT_FALSE(FileExists(site.logFile("quelle")));
    EXPECT_FALSE(RenameNoReplace(site.logFile("fehlt"), site.logFile("x")));
}

TEST(FileHelpers, RenameAcrossFileSystemsCopiesAndVerifies) {
    // /dev/shm is a tmpfs on this platform; the temp folder usually is not.
    if (!DirectoryExists("/dev/shm"))
        GTEST_SKIP() << "no second file system";
    testenv::TempSite site;
    std::string from = "/dev/shm/infemora-rename-" + std::to_string(getpid());
    site.writeFile(from, std::string(3'000'000, 'z'));
    std::string to = site.logFile("kopie");
    ASSERT_TRUE(RenameNoReplace(from, to));
    EXPECT_EQ(FileSize(to), 3'000'000);
    EXPECT_FALSE(FileExists(from));
}

TEST(FileHelpers, PathParts) {
    EXPECT_EQ(ConcatPathNames("/a/b", "c.txt"), "/a/b/c.txt");
    EXPECT_EQ(ConcatPathNames("/a/b/", "/c.txt"), "/a/b/c.txt");
    EXPECT_EQ(ConcatPathNames("", "c"), "c");
    EXPECT_EQ(ExtractFileDir("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(ExtractFileExt("/a/b.d/c"), "");
    EXPECT_EQ(ExtractFileExt("/a/b/INFOPROT.TMP"), ".TMP");
    EXPECT_EQ(ExtractFileExt("name."), ".");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/x"), "/x/");
}
