// Finding the info logs, free archive names, and the entry test of the date filter.
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/settings.h"
#include "merge/discovery.h"
#include "merge/merge_run.h"
#include "merge_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace infemora {
namespace {

using testenv::TempSite;

std::vector<std::string> contexts() {
    std::vector<std::string> out;
    for (const auto& r : Info().registered())
        out.push_back(r.context);
    return out;
}

std::vector<std::string> warningContexts() {
    std::vector<std::string> out;
    for (const auto& r : Info().warnings())
        out.push_back(r.context);
    return out;
}

TEST(Discovery, ListsEveryInfoLogAndNothingElse) {
    TempSite site;
    for (auto* name : {"infoprot.tmp", "INFOPROT.001", "INFEMORA.000", "ALT-INFO.00001", "ALT-INFO.001",
                       "TRANSFER.LOG", "MENU.LOG", "inf", "Info.txt"})
        site.writeFile(site.logFile(name), "xxxxx<< " + std::string(name) + "\r\n");
    std::filesystem::create_directory(site.logFile("infodir"));
    const std::string dir = site.logDir() + "/";
    std::vector<std::string> want = {dir + "inf", dir + "INFEMORA.000", dir + "Info.txt",
                                     dir + "INFOPROT.001", dir + "infoprot.tmp"};
    EXPECT_EQ(AlleInfoDateien(site.logDir()), want);

    std::string before = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(site.logDir()));
    auto fromCurrent = AlleInfoDateien();
    SetCurrentDir(before);
    EXPECT_EQ(fromCurrent, want) << "an empty folder means the current one";
}

TEST(Discovery, MergeOfTheFoundFilesReadsTheTmpFileFirst) {
    TempSite site;
    site.writeLines(site.logFile("INFEMORA.000"), mergetest::Eintrag("merged", ""));
    site.writeLines(site.logFile("INFOPROT.001"), mergetest::Eintrag("older", ""));
    site.writeLines(site.logFile("infoprot.tmp"), mergetest::Eintrag("current", ""));
    MergeRunInput in;
    in.files = AlleInfoDateien(site.logDir());
    MergeRunResult r = DateienSortieren(in, NullProgress());
    ASSERT_TRUE(r.success);
    EXPECT_EQ(r.files.front(), site.logDir() + "/infoprot.tmp");
    EXPECT_EQ(site.readFile(r.viewFile),
              mergetest::CrLf({"xxxxx<< current", "xxxxx<< merged", "xxxxx<< older"}));
}

TEST(GetNextFileNames, FillsGapsFirst) {
    TempSite site;
    site.writeFile(site.logFile("ALT-INFO.000"), "");
    site.writeFile(site.logFile("ALT-INFO.002"), "");
    std::string n1 = "stale", n2 = "stale";
    GetNextFileNames("ALT-INFO", n1, n2, "");
    EXPECT_EQ(n1, "ALT-INFO.001");
    EXPECT_EQ(n2, "ALT-INFO.003");

    std::filesystem::create_directories(site.path("other"));
    site.writeFile(site.path("other/ALT-TRAN.000"), "");
    std::filesystem::create_directory(site.path("other/ALT-TRAN.001")); // taken as well
    GetNextFileNames("ALT-TRAN", n1, n2, site.path("other/"));
    EXPECT_EQ(n1, "ALT-TRAN.002");
    EXPECT_EQ(n2, "ALT-TRAN.003");
    GetNextFileNames("ALT-MENU", n1, n2, "");
    EXPECT_EQ(n1, "ALT-MENU.000");
    EXPECT_EQ(n2, "ALT-MENU.001");
    EXPECT_TRUE(Info().registered().empty());
}

TEST(GetNextFileNames, FailureIsRegistered) {
    TempSite site;
    Settings broken = site.settings();
    broken.infoprot.clear();
    SetSettingsForTesting(broken);
    std::string n1, n2;
    GetNextFileNames("ALT-INFO", n1, n2, "");
    SetSettingsForTesting(site.settings());
    EXPECT_EQ(contexts(), std::vector<std::string>{"GetNextFileNames"});
    EXPECT_TRUE(n1.empty());
}

class CheckFilter : public ::testing::Test {
protected:
    TempSite site; // private error log and a clean message list
    TDateTime von = EncodeDate(2026, 12, 8) + EncodeTime(10, 0, 0, 0);
    TDateTime bis = EncodeDate(2026, 12, 8) + EncodeTime(23, 59, 59, 99);
    std::vector<std::string> entry(const std::string& stamp) { return mergetest::Eintrag("e", stamp, 1); }
};

TEST_F(CheckFilter, BoundsAreInclusive) {
    EXPECT_FALSE(DateienSortieren_CheckFilter(entry("20261208 095959"), true, von, bis));
    EXPECT_TRUE(DateienSortieren_CheckFilter(entry("20261208 100000"), true, von, bis));
    EXPECT_TRUE(DateienSortieren_CheckFilter(entry("20261208 235959"), true, von, bis))
        << "the last second of the day lies before 23:59:59.099";
    EXPECT_FALSE(DateienSortieren_CheckFilter(entry("20261209 000000"), true, von, bis));
    EXPECT_TRUE(DateienSortieren_CheckFilter(entry("20261208 235959"), true,
                                             bis.dateOnly() + EncodeTime(23, 59, 59, 0),
                                             bis.dateOnly() + EncodeTime(23, 59, 59, 0)));
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(CheckFilter, EntryWithoutStampLineAlwaysPasses) {
    EXPECT_TRUE(DateienSortieren_CheckFilter({"xxxxx<< x", "body"}, true, von, bis));
    EXPECT_TRUE(DateienSortieren_CheckFilter({}, true, von, bis));
}

TEST_F(CheckFilter, FirstStampLineDecides) {
    auto lines = entry("20261208 120000");
    lines.push_back(mergetest::StempelZeile("20250101 000000"));
    EXPECT_TRUE(DateienSortieren_CheckFilter(lines, true, von, bis));
}

TEST_F(CheckFilter, StampThatIsNoDateTimeFailsAndIsRegistered) {
    EXPECT_FALSE(
        DateienSortieren_CheckFilter(entry("20261208 240000"), true, TDateTime(), EncodeDate(2100, 1, 1)));
    EXPECT_FALSE(
        DateienSortieren_CheckFilter(entry("20261208 126000"), true, TDateTime(), EncodeDate(2100, 1, 1)));
    EXPECT_FALSE(
        DateienSortieren_CheckFilter(entry("2026120x 120000"), true, TDateTime(), EncodeDate(2100, 1, 1)));
    // Left out by the filter's rules: warnings, not failures.
    EXPECT_TRUE(contexts().empty());
    EXPECT_EQ(warningContexts(), std::vector<std::string>(3, "DateienSortieren_CheckFilter"));
}

TEST_F(CheckFilter, WithoutFilterEverythingPassesUntested) {
    EXPECT_TRUE(DateienSortieren_CheckFilter(entry("20261208 240000"), false, von, bis));
    EXPECT_TRUE(DateienSortieren_CheckFilter(entry("20200101 000000"), false, von, bis));
    EXPECT_TRUE(Info().registered().empty());
}

} // namespace
} // namespace infemora
