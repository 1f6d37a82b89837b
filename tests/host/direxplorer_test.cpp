#include "host/direxplorer.h"
#include "host/fileutil.h"
#include "support/test_env.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace infemora;

TEST(Masks, PlatformMeaningOfWildcards) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"infoprot.tmp", "inf*.*", true},
        {"INFEMORA.000", "inf*.*", true},
        {"infoprot", "inf*.*", true},
        {"Inf", "inf*.*", true},
        {"ALT-INFO.00001", "inf*.*", false},
        {"xinf.txt", "inf*.*", false},
        {"inf.a.b", "inf*.*", true},
        {"info.txt", "inf*.txt", true},
        {"info.log", "inf*.txt", false},
        {"ALT-INFO.003", "ALT-INFO.*", true},
        {"ALT-INFO", "ALT-INFO.*", true},
        {"a", "?", true},
        {"ab", "?", false},
        {"anything", "*", true},
        {"TRANSFER.LOG", "transfer.log", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

TEST(DirExplorer, ReportsSortedByUpperCasedNameWithoutDescending) {
    testenv::TempSite site;
    for (const char* n : {"infoprot.tmp", "INFEMORA.000", "INFOPROT.001", "inf_b.log", "TRANSFER.LOG"})
        site.writeFile(site.logFile(n), "x");
    ForceDirectories(site.logFile("info-unterordner"));
    site.writeFile(site.logFile("info-unterordner/inf_tief.txt"), "x");
    site.writeFile(site.logFile(".infversteckt"), "x");

    std::vector<std::string> names;
    std::string dirSeen;
    TDirExplorer search(site.logDir(), "inf*.*");
    search.OnFileFound = [&](const TSearchRec& r, const std::string& dir) {
        names.push_back(r.name);
        dirSeen = dir;
    };
    search.Execute();
    EXPECT_EQ(names, (std::vector<std::string>{"INFEMORA.000", "INFOPROT.001", "infoprot.tmp", "inf_b.log"}));
    EXPECT_EQ(dirSeen, site.logDir() + "/");
}

TEST(DirExplorer, EmptyStartDirectoryIsTheCurrentOne) {
    testenv::TempSite site;
    site.writeFile(site.logFile("infx"), "12345");
    std::string old = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(site.logDir()));
    auto found = TDirExplorer("", "inf*.*").List();
    SetCurrentDir(old);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].size, 5);
}

TEST(DirExplorer, AttributesSelectHiddenAndFolders) {
    testenv::TempSite site;
    site.writeFile(site.logFile("a.txt"), "x");
    site.writeFile(site.logFile(".hidden"), "x");
    ForceDirectories(site.logFile("sub"));
    EXPECT_EQ(TDirExplorer(site.logDir(), "*").List().size(), 1u);
    EXPECT_EQ(
        TDirExplorer(site.logDir(), "*", TDirExplorer::NormalFiles | TDirExplorer::Hidden).List().size(), 2u);
    EXPECT_EQ(TDirExplorer(site.logDir(), "*", TDirExplorer::Directories).List().size(), 1u);
}

TEST(DirExplorer, ModificationTimeIsLocalTime) {
    testenv::TempSite site;
    std::string f = site.logFile("a");
    site.writeFile(f, "x");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1'700'000'000, 0}}; // 14.11.2023 22:13:20 UTC
    ASSERT_EQ(utimensat(AT_FDCWD, f.c_str(), times, 0), 0);
    auto found = TDirExplorer(site.logDir(), "a").List();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].time, FromUnixTime(1'700'000'000));
}
