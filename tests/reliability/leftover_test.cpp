// Hidden temp files that a killed run left beside its targets: the next run of the same writer
// removes them, but never one another run may still be writing, nor any other file.
#include "site_fixture.h"

#include "evaluation/text_buffer.h"
#include "host/fileutil.h"
#include "host/textfile.h"
#include "textview/document_save.h"
#include "textview/log_document.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora::reliability {
namespace {

// A file as a run killed some time ago left it.
void writeAged(const std::string& path, int ageSeconds) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, "part\r\n", 6), 6);
    ::close(fd);
    const timespec then{std::time(nullptr) - ageSeconds, 0};
    const timespec times[2] = {then, then};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

constexpr int kOld = LeftoverTempMinAgeSeconds + 60;

TEST(LeftoverNames, OnlyTheWritersOwnPatternIsRecognised) {
    EXPECT_EQ(HiddenTempTarget(".ALT-INFO.00003.aB3xYz"), "ALT-INFO.00003");
    EXPECT_EQ(HiddenTempTarget(".gesichert.txt.000000"), "gesichert.txt");
    EXPECT_EQ(HiddenTempTarget(".ALT-INFO.00003.aB3xY"), "");  // five characters
    EXPECT_EQ(HiddenTempTarget(".ALT-INFO.00003.aB3-Yz"), ""); // not from mkstemp
    EXPECT_EQ(HiddenTempTarget("ALT-INFO.00003.aB3xYz"), "");  // not hidden
    EXPECT_EQ(HiddenTempTarget("..aB3xYz"), "");               // no target
    EXPECT_EQ(HiddenTempTarget(".bashrc"), "");
    const std::string tmpl = HiddenTempTemplate("/a/b/INFEMORA.000");
    EXPECT_EQ(tmpl, "/a/b/.INFEMORA.000.XXXXXX");
}

class LeftoverTemps : public GeneratedSite {
protected:
    void plant() {
        writeAged(logDir + "/.ALT-INFO.00007.Ab12Cd", kOld);
        writeAged(logDir + "/.INFEMORA.000.Zz09aQ", kOld);
        writeAged(logDir + "/.ALT-TRAN.003.k3k3k3", kOld);
        // Another instance may be copying this one right now.
        writeAged(logDir + "/.ALT-INFO.00008.HeLd01", kOld);
        // Written a moment ago: its writer may be another user's, whom no process scan sees.
        writeAged(logDir + "/.ALT-MENU.002.fResh1", 10);
        // Not the program's.
        writeAged(logDir + "/.bashrc", kOld);
        writeAged(logDir + "/.notizen.txt.Ab12Cd", kOld);
        writeAged(logDir + "/.ALT-INFO.00009.kurz", kOld);
        writeAged(site.path("fremd"), kOld);
        ASSERT_EQ(::symlink(site.path("fremd").c_str(), (logDir + "/.ALT-INFO.00010.LiNk01").c_str()), 0);
    }
    const std::vector<std::string> stay = {".ALT-INFO.00008.HeLd01",
                                           ".ALT-INFO.00009.kurz",
                                           ".ALT-INFO.00010.LiNk01",
                                           ".ALT-MENU.002.fResh1",
                                           ".bashrc",
                                           ".notizen.txt.Ab12Cd"};
};

TEST_F(LeftoverTemps, TheNextMergeOrShortenRemovesOnlyItsOwnOldUnheldLeftovers) {
    for (const auto& command : {MergeCommand(), ShortenCommand()}) {
        SCOPED_TRACE(command[1]);
        Renew();
        plant();
        testenv::FileHolder holder(logDir + "/.ALT-INFO.00008.HeLd01");
        EXPECT_EQ(RunProgram(command, config), 0);
        EXPECT_EQ(HiddenFiles(logDir), stay);
        EXPECT_TRUE(FileExists(site.path("fremd")));
        std::vector<std::string> p = Problems(logDir, base);
        EXPECT_TRUE(p.empty()) << Joined(p);
    }
}

TEST_F(LeftoverTemps, AMergeThatMayNotConsolidateLeavesTheFolderAlone) {
    plant();
    EXPECT_EQ(RunProgram({CliPath(), "merge", "--output", "/dev/null"}, config), 0);
    EXPECT_EQ(HiddenFiles(logDir).size(), stay.size() + 3);
}

// The writers that replace a file the user named: each removes the leftovers of its own target,
// and only those.
struct Writer {
    const char* name;
    std::function<void(const std::string& target)> write;
};

class SaveLeftovers : public ::testing::TestWithParam<Writer> {};

TEST_P(SaveLeftovers, ASaveRemovesOldLeftoversOfItsTargetOnly) {
    testenv::TempSite site;
    const std::string dir = site.path("ziel");
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    const std::string target = dir + "/bericht.txt";
    writeAged(dir + "/.bericht.txt.Ab12Cd", kOld);
    writeAged(dir + "/.bericht.txt.fResh1", 5);
    writeAged(dir + "/.bericht.txt.HeLd01", kOld);
    writeAged(dir + "/.anderer.txt.Ab12Cd", kOld);
    testenv::FileHolder holder(dir + "/.bericht.txt.HeLd01");
    GetParam().write(target);
    EXPECT_EQ(site.readFile(target), "neu\r\n");
    EXPECT_EQ(HiddenFiles(dir), (std::vector<std::string>{".anderer.txt.Ab12Cd", ".bericht.txt.HeLd01",
                                                          ".bericht.txt.fResh1"}));
}

INSTANTIATE_TEST_SUITE_P(
    Writers, SaveLeftovers,
    ::testing::Values(Writer{"LinesReplacing", [](const std::string& t) { SaveLinesReplacing(t, {"neu"}); }},
                      Writer{"DocumentLines",
                             [](const std::string& t) {
                                 LogDocument doc;
                                 doc.setLines({"neu"});
                                 SaveDocumentLines(doc, t);
                             }},
                      Writer{"ReplacingFileWriter",
                             [](const std::string& t) {
                                 ReplacingFileWriter w(t);
                                 w.WriteLine("neu");
                                 w.Commit();
                             }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace infemora::reliability
