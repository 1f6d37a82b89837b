// DateienSortieren without consolidation: order of the inputs, batches, the filter, progress and
// the failure handling of a run.
#include "host/errors.h"
#include "host/messages.h"
#include "merge/merge_run.h"
#include "merge_fixture.h"
#include "merge_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {
namespace {

using mergetest::CrLf;
using mergetest::Eintrag;
using mergetest::RecordingProgress;
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

TEST(TmpDateiNachVorn, OnlyTheFirstTmpFileMovesToTheHead) {
    std::vector<std::string> files = {"/d/A", "/d/INFOPROT.TMP", "/d/B", "/d/X.TMP"};
    TmpDateiNachVorn(files);
    EXPECT_EQ(files, (std::vector<std::string>{"/d/INFOPROT.TMP", "/d/A", "/d/B", "/d/X.TMP"}));

    files = {"/d/a", "/d/b", "/d/infoprot.tmp"};
    TmpDateiNachVorn(files);
    EXPECT_EQ(files.front(), "/d/infoprot.tmp") << "the test looks at the upper-cased name";

    files = {"/d/a", "/d.tmp/b", "/d/c.tmpx", "/d/tmp"};
    auto before = files;
    TmpDateiNachVorn(files);
    EXPECT_EQ(files, before) << "only the extension of the name counts";
}

class MergeRun : public ::testing::Test {
protected:
    MergeRunResult run(const std::vector<std::string>& files, bool filter = false, TDateTime von = {},
                       TDateTime bis = {}) {
        MergeRunInput in;
        in.files = files;
        in.AFilter = filter;
        in.FSelVon = von;
        in.FSelBis = bis;
        return DateienSortieren(in, progress);
    }
    std::string file(const std::string& name, const std::string& bytes) {
        std::string path = site.logFile(name);
        site.writeFile(path, bytes);
        return path;
    }
    TempSite site;
    RecordingProgress progress;
};

TEST_F(MergeRun, TmpFileIsReadFirstAndAllFilesAreMerged) {
    // Entries without stamps keep the order of the files, so the order of the inputs shows.
    std::string a = file("A", CrLf(Eintrag("a", "")));
    std::string t = file("INFOPROT.TMP", CrLf(Eintrag("t", "")));
    std::string b = file("B", CrLf(Eintrag("b", "")));
    std::string x = file("X.TMP", CrLf(Eintrag("x", "")));
    MergeRunResult r = run({a, t, b, x});
    ASSERT_TRUE(r.success);
    EXPECT_EQ(r.files, (std::vector<std::string>{t, a, b, x}));
    EXPECT_EQ(site.readFile(r.viewFile), CrLf({"xxxxx<< t", "xxxxx<< a", "xxxxx<< b", "xxxxx<< x"}));
    EXPECT_EQ(r.viewFile, site.statemp() + "/TEMOSORT.TXT");
    EXPECT_EQ(r.lines, 4);
}

TEST_F(MergeRun, ResultIsTheTimeOrderOfAllEntries) {
    std::string a = CrLf(Eintrag("a1", "20260312 100000", 2)) + CrLf(Eintrag("a2", "20260312 100200", 1));
    std::string b = "lf only\nxxxxx<< b1\nxxxxx## 20260312 100100 u\nbody\n";
    std::string c = "cr only\rxxxxx<< c1\rxxxxx## 20260312 100300 u\rlast without end";
    MergeRunResult r = run({file("infoprot.001", a), file("infoprot.002", b), file("infoprot.003", c)});
    ASSERT_TRUE(r.success);
    std::string want = mergetest::ReferenceMerge({a, b, c});
    EXPECT_EQ(site.readFile(r.viewFile), want);
    EXPECT_EQ(r.lines, mergetest::CountLines(want));
    EXPECT_FALSE(r.archived);
}

TEST_F(MergeRun, ProgressIsShownPumpedAndClosed) {
    std::string a = file("a", mergetest::SingleLineEntries("a", 100));
    std::string b = file("b", mergetest::SingleLineEntries("b", 50));
    MergeRunResult r = run({a, b});
    ASSERT_TRUE(r.success);
    EXPECT_EQ(progress.shows, 1);
    EXPECT_EQ(progress.closes, 1);
    EXPECT_GE(progress.pumps, 2 + 149) << "once per file and once per entry";
    ASSERT_FALSE(progress.steps.empty());
    std::int64_t total = static_cast<std::int64_t>(site.readFile(a).size() + site.readFile(b).size());
    EXPECT_EQ(progress.steps.back(), std::make_pair(total, total));
    for (std::size_t i = 1; i < progress.steps.size(); ++i)
        EXPECT_LE(progress.steps[i - 1].first, progress.steps[i].first);
}

TEST_F(MergeRun, TheViewFileIsReplacedNotRewritten) {
    // A view still reading the previous result must not see it change under its feet.
    std::string a = file("a", CrLf(Eintrag("first", "20260312 100000")));
    ASSERT_TRUE(run({a}).success);
    int fd = ::open((site.statemp() + "/TEMOSORT.TXT").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    site.writeFile(a, CrLf(Eintrag("second run", "20260312 100000", 40)));
    ASSERT_TRUE(run({a}).success);
    char buf[256];
    ssize_t n = ::pread(fd, buf, sizeof buf, 0);
    ::close(fd);
    EXPECT_EQ(std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0))),
              CrLf(Eintrag("first", "20260312 100000")));
}

TEST_F(MergeRun, FilterKeepsTheWindowWithBothBoundsAndEntriesWithoutStamp) {
    std::vector<std::string> lines;
    for (auto* e :
         {"20260312 095959", "20260312 100000", "20260312 110000", "20260312 120000", "20260312 120001"})
        mergetest::Append(lines, Eintrag(std::string("e") + e, e));
    mergetest::Append(lines, Eintrag("nostamp", ""));
    std::string a = file("a", CrLf(lines));
    TDateTime von = EncodeDate(2026, 3, 12) + EncodeTime(10, 0, 0, 0);
    TDateTime bis = EncodeDate(2026, 3, 12) + EncodeTime(12, 0, 0, 0);
    MergeRunResult r = run({a}, true, von, bis);
    ASSERT_TRUE(r.success);
    std::vector<std::string> want;
    for (auto* e : {"20260312 100000", "20260312 110000", "20260312 120000"})
        mergetest::Append(want, Eintrag(std::string("e") + e, e));
    mergetest::Append(want, Eintrag("nostamp", ""));
    EXPECT_EQ(site.readFile(r.viewFile), CrLf(want));
    EXPECT_EQ(r.lines, 7);
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(MergeRun, FilterDropsAndRegistersEntriesWhoseStampIsNoDateTime) {
    std::vector<std::string> lines = Eintrag("good", "20260312 100000");
    mergetest::Append(lines, Eintrag("hour24", "20260312 240000"));
    mergetest::Append(lines, Eintrag("letters", "2026031x 100000"));
    mergetest::Append(lines, Eintrag("last", "20260312 100001"));
    MergeRunResult r = run({file("a", CrLf(lines))}, true, TDateTime(), EncodeDate(2100, 1, 1));
    ASSERT_TRUE(r.success);
    EXPECT_EQ(site.readFile(r.viewFile),
              CrLf(Eintrag("good", "20260312 100000")) + CrLf(Eintrag("last", "20260312 100001")));
    EXPECT_TRUE(contexts().empty());
    EXPECT_EQ(warningContexts(),
              (std::vector<std::string>{"DateienSortieren_CheckFilter", "DateienSortieren_CheckFilter"}));

    Info().clearRegistered();
    r = run({site.logFile("a")}, false);
    EXPECT_EQ(mergetest::CountLines(site.readFile(r.viewFile)), 8) << "without the filter nothing is dropped";
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(MergeRun, FilteredRunTestsTheLastEntryToo) {
    std::string a =
        file("a", CrLf(Eintrag("in", "20260312 100000")) + CrLf(Eintrag("out", "20260313 100000")));
    MergeRunResult r = run({a}, true, TDateTime(), EncodeDate(2026, 3, 12) + EncodeTime(23, 59, 59, 99));
    EXPECT_EQ(site.readFile(r.viewFile), CrLf(Eintrag("in", "20260312 100000")));
}

TEST_F(MergeRun, MissingFileFailsTheRunAndEmptiesTheInputList) {
    std::string a = file("a", CrLf(Eintrag("a", "20260312 100000")));
    TBufferedFileStreams streams;
    MergeRunInput in;
    in.files = {a, site.logFile("vanished")};
    MergeRunResult r = DateienSortieren(in, progress, streams);
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(r.viewFile.empty());
    EXPECT_EQ(streams.Count(), 0u);
    EXPECT_EQ(contexts(), std::vector<std::string>{"DateienSortieren"});
    EXPECT_EQ(progress.closes, 1) << "the progress window closes also after a failure";
    EXPECT_TRUE(mergetest::Exists(a));

    // The next run starts from its own list alone.
    Info().clearRegistered();
    in.files = {a};
    r = DateienSortieren(in, progress, streams);
    EXPECT_TRUE(r.success);
    EXPECT_EQ(site.readFile(r.viewFile), CrLf(Eintrag("a", "20260312 100000")));
}

TEST_F(MergeRun, EmptyListAndUnwritableTempFileAreRegistered) {
    EXPECT_FALSE(run({}).success);
    EXPECT_EQ(contexts(), std::vector<std::string>{"DateienSortieren"});

    Info().clearRegistered();
    MergeRunInput in;
    in.files = {file("a", CrLf(Eintrag("a", "")))};
    in.tempPath = site.path("no/such/dir/TEMOSORT.TXT");
    MergeRunResult r = DateienSortieren(in, progress);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(contexts(), std::vector<std::string>{"DateienSortieren"});
}

TEST_F(MergeRun, BadInputIsMergedWithoutLoss) {
    std::string binary;
    for (int i = 0; i < 70000; ++i)
        binary += static_cast<char>((i * 7919) % 256);
    std::string huge(3 << 20, 'z');
    std::string normal = CrLf(Eintrag("n1", "20260312 100000", 1)) +
                         "xxxxx<< n2\r\nxxxxx## 20260312 240000\r\n" + huge + "\r\n" +
                         CrLf(Eintrag("n3", "20260312 100500"));
    std::string noEntries = "just text\nno entry at all\n";
    MergeRunResult r =
        run({file("bin", binary), file("normal", normal), file("plain", noEntries), file("empty", "")});
    ASSERT_TRUE(r.success);
    std::string want = mergetest::ReferenceMerge({binary, normal, noEntries, ""});
    EXPECT_EQ(site.readFile(r.viewFile), want);
    EXPECT_EQ(r.lines, mergetest::CountLines(want));
}

} // namespace
} // namespace infemora
