// Consolidation: batch and part boundaries, archive numbers, INFEMORA.000, and the guards that
// keep a failed step from losing entries.
#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/merge_run.h"
#include "merge_fixture.h"
#include "merge_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace infemora {
namespace {

using mergetest::CountLines;
using mergetest::Exists;
using mergetest::RecordingProgress;
using mergetest::SingleLineEntries;
using testenv::TempSite;

class Consolidation : public ::testing::Test {
protected:
    MergeRunResult run(const std::vector<std::string>& files, bool filter = false) {
        MergeRunInput in;
        in.files = files;
        in.AFilter = filter;
        in.FSelBis = EncodeDate(2100, 1, 1);
        in.spillBytes = spillBytes;
        return DateienSortieren(in, progress, streams);
    }
    std::string file(const std::string& name, const std::string& bytes) {
        std::string path = site.logFile(name);
        site.writeFile(path, bytes);
        return path;
    }
    std::string part(int n) const {
        char buf[32];
        std::snprintf(buf, sizeof buf, "ALT-INFO.%.5d", n);
        return site.logFile(buf);
    }
    std::string infemora() const { return site.logFile("INFEMORA.000"); }
    std::string temp() const { return site.statemp() + "/TEMOSORT.TXT"; }

    TempSite site;
    RecordingProgress progress;
    TBufferedFileStreams streams;
    std::size_t spillBytes = 8u << 20;
};

// Entries of n lines each: a start line and n - 1 body lines.
std::string entriesOfLines(int entries, int linesEach) {
    std::string out;
    for (int e = 1; e <= entries; ++e) {
        out += "xxxxx<< entry " + std::to_string(e) + "\r\n";
        for (int l = 1; l < linesEach; ++l)
            out += "body " + std::to_string(e) + "." + std::to_string(l) + "\r\n";
    }
    return out;
}

struct Boundary {
    const char* name;
    int linesPerEntry;
    int entries;
    std::int64_t partLines; // 0: no part
};

class PartBoundary : public Consolidation, public ::testing::WithParamInterface<Boundary> {};

TEST_P(PartBoundary, PartIsCutBeforeTheTwelfthWrite) {
    const Boundary& b = GetParam();
    std::string bytes = entriesOfLines(b.entries, b.linesPerEntry);
    std::string src = file("infoprot.001", bytes);
    MergeRunResult r = run({src});
    ASSERT_TRUE(r.success);
    const std::int64_t total = static_cast<std::int64_t>(b.entries) * b.linesPerEntry;
    if (b.partLines == 0) {
        EXPECT_FALSE(r.archived);
        EXPECT_EQ(r.viewFile, temp());
        EXPECT_EQ(r.lines, total);
        EXPECT_TRUE(Exists(src));
        EXPECT_FALSE(Exists(part(1)));
        return;
    }
    ASSERT_TRUE(r.archived);
    EXPECT_EQ(r.archiveParts, std::vector<std::string>{part(1)});
    std::string partText = site.readFile(part(1));
    EXPECT_EQ(CountLines(partText), b.partLines);
    EXPECT_EQ(partText, bytes.substr(0, partText.size())) << "the part holds the first lines";
    EXPECT_EQ(r.viewFile, infemora());
    EXPECT_EQ(site.readFile(infemora()), bytes.substr(partText.size()));
    EXPECT_EQ(r.lines, total - b.partLines);
    EXPECT_FALSE(Exists(src));
    EXPECT_EQ(r.deleted, std::vector<std::string>{src});
    EXPECT_FALSE(Exists(part(2))) << "the tail went on to INFEMORA.000";
}

INSTANTIATE_TEST_SUITE_P(
    Batches, PartBoundary,
    ::testing::Values(
        // The last entry counts towards no batch: 18,012 counted lines need 18,013 entries.
        Boundary{"singleLine18012", 1, 18012, 0}, Boundary{"singleLine18013", 1, 18013, 16511},
        // A batch is written once more than 1500 lines wait: two-line entries make 1502.
        Boundary{"twoLines9012", 2, 9012, 0}, Boundary{"twoLines9013", 2, 9013, 11 * 1502},
        Boundary{"threeLines6013", 3, 6013, 11 * 1503}, Boundary{"smallOutput", 1, 1500, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Consolidation, EveryPartHoldsElevenWrites) {
    std::string bytes = SingleLineEntries("e", 34524);
    MergeRunResult r = run({file("infoprot.001", bytes)});
    ASSERT_TRUE(r.success);
    ASSERT_EQ(r.archiveParts, (std::vector<std::string>{part(1), part(2)}));
    std::string p1 = site.readFile(part(1)), p2 = site.readFile(part(2)), tail = site.readFile(infemora());
    EXPECT_EQ(CountLines(p1), 16511);
    EXPECT_EQ(CountLines(p2), 16511);
    EXPECT_EQ(CountLines(tail), 1502);
    EXPECT_EQ(p1 + p2 + tail, bytes);
}

TEST_F(Consolidation, ArchiveNumbersContinueAfterTheHighestFound) {
    for (auto* name : {"ALT-INFO.007", "ALT-INFO.00012", "ALT-INFO.x12", "ALT-INFO", "alt-info.00003"})
        file(name, "old\r\n");
    std::filesystem::create_directory(site.logFile("ALT-INFO.00050")); // a folder is no archive
    EXPECT_EQ(HoechsteArchivNummer(site.logDir()), 12);

    std::string bytes = SingleLineEntries("e", 18013);
    MergeRunResult r = run({file("infoprot.001", bytes)});
    ASSERT_TRUE(r.success);
    EXPECT_EQ(r.archiveParts, std::vector<std::string>{part(13)});
    EXPECT_EQ(site.readFile(part(13)) + site.readFile(infemora()), bytes);
    EXPECT_FALSE(Exists(part(14)));
    EXPECT_EQ(site.readFile(site.logFile("ALT-INFO.007")), "old\r\n");
}

TEST_F(Consolidation, PartsGoBesideTheFirstListedFileEvenWhenTheTmpFileMovesAhead) {
    std::filesystem::create_directories(site.path("Erste Ablage"));
    std::string a = site.path("Erste Ablage/infoprot.a");
    site.writeFile(a, SingleLineEntries("a", 10000));
    std::string t = file("INFOPROT.TMP", SingleLineEntries("t", 5000));
    std::string b = file("infoprot.b", SingleLineEntries("b", 3000));
    std::string x = file("X.TMP", SingleLineEntries("x", 2000));
    MergeRunResult r = run({a, t, b, x});
    ASSERT_TRUE(r.success);
    EXPECT_EQ(r.files, (std::vector<std::string>{t, a, b, x}));
    EXPECT_EQ(r.archiveParts, std::vector<std::string>{site.path("Erste Ablage/ALT-INFO.00001")});
    EXPECT_EQ(r.viewFile, site.path("Erste Ablage/INFEMORA.000"));
    std::string all = site.readFile(r.archiveParts[0]) + site.readFile(r.viewFile);
    EXPECT_EQ(all, SingleLineEntries("t", 5000) + SingleLineEntries("a", 10000) +
                       SingleLineEntries("b", 3000) + SingleLineEntries("x", 2000));
    EXPECT_EQ(r.deleted.size(), 4u);
}

TEST_F(Consolidation, SecondConsolidationKeepsTheNewInfemora) {
    std::string first = SingleLineEntries("first", 18013);
    ASSERT_TRUE(run({file("infoprot.001", first)}).archived);
    std::string tail1 = site.readFile(infemora());

    std::string second = SingleLineEntries("second", 18013);
    std::string tmp = file("infoprot.tmp", second);
    MergeRunResult r = run({infemora(), tmp});
    ASSERT_TRUE(r.success);
    ASSERT_TRUE(r.archived);
    ASSERT_TRUE(Exists(infemora())) << "the INFEMORA.000 just made is not deleted as a source";
    EXPECT_EQ(r.viewFile, infemora());
    EXPECT_FALSE(Exists(tmp));
    std::string everything = site.readFile(part(1));
    for (const auto& p : r.archiveParts)
        everything += site.readFile(p);
    everything += site.readFile(infemora());
    // The second run read infoprot.tmp first, then the former INFEMORA.000.
    EXPECT_EQ(everything, first.substr(0, first.size() - tail1.size()) + second + tail1);
}

TEST_F(Consolidation, PartsMoveIntoTheLogFolderFromAnotherFileSystem) {
    struct stat shm {
    }, logs{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(site.logDir().c_str(), &logs) != 0 ||
        shm.st_dev == logs.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    std::string tmpl = "/dev/shm/infemora-merge-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    std::string bytes = SingleLineEntries("e", 36000);
    std::string a = file("infoprot.001", bytes);
    MergeRunInput in;
    in.files = {a};
    in.tempPath = tmpl + "/TEMOSORT.TXT";
    MergeRunResult r = DateienSortieren(in, progress);
    std::vector<std::string> leftInTemp = mergetest::FilesIn(tmpl);
    std::filesystem::remove_all(tmpl);
    ASSERT_TRUE(r.success);
    ASSERT_EQ(r.archiveParts.size(), 2u);
    EXPECT_EQ(site.readFile(part(1)) + site.readFile(part(2)) + site.readFile(infemora()), bytes);
    EXPECT_FALSE(Exists(a));
    EXPECT_EQ(leftInTemp, std::vector<std::string>{"TEMOSORT.TXT"}) << "no temp file of the run is left";
}

TEST_F(Consolidation, NothingIsCutOrDeletedWhileAnotherProcessHoldsAFile) {
    std::string bytes = SingleLineEntries("e", 40000);
    std::string a = file("infoprot.001", bytes);
    std::string b = file("infoprot.tmp", SingleLineEntries("t", 10));
    mergetest::FileHolder holder(b);
    MergeRunResult r = run({a, b});
    ASSERT_TRUE(r.success);
    EXPECT_FALSE(r.archived);
    EXPECT_TRUE(Exists(a));
    EXPECT_TRUE(Exists(b));
    EXPECT_EQ(r.viewFile, temp());
    EXPECT_EQ(r.lines, 40010);
    EXPECT_EQ(mergetest::FilesIn(site.logDir()), (std::vector<std::string>{"infoprot.001", "infoprot.tmp"}));
}

TEST_F(Consolidation, FilteredRunNeverConsolidates) {
    std::string a = file("infoprot.001", SingleLineEntries("e", 40000));
    MergeRunResult r = run({a}, true);
    ASSERT_TRUE(r.success);
    EXPECT_FALSE(r.archived);
    EXPECT_TRUE(Exists(a));
    EXPECT_EQ(r.lines, 40000);
    EXPECT_EQ(mergetest::FilesIn(site.logDir()), std::vector<std::string>{"infoprot.001"});
}

TEST_F(Consolidation, CommandLineMergeWithoutConsolidationTouchesNothing) {
    std::string a = file("infoprot.001", SingleLineEntries("e", 40000));
    MergeRunInput in;
    in.files = {a};
    in.allowConsolidation = false;
    MergeRunResult r = DateienSortieren(in, progress);
    EXPECT_FALSE(r.archived);
    EXPECT_EQ(mergetest::FilesIn(site.logDir()), std::vector<std::string>{"infoprot.001"});
}

TEST_F(Consolidation, AnInfemoraThatWasNotMergedKeepsTheRunFromConsolidating) {
    std::string foreign = "xxxxx<< not part of this merge\r\n";
    file("INFEMORA.000", foreign);
    std::string bytes = SingleLineEntries("e", 18013);
    std::string a = file("infoprot.001", bytes);
    MergeRunResult r = run({a});
    ASSERT_TRUE(r.success);
    EXPECT_FALSE(r.archived);
    EXPECT_NE(r.notConsolidated.find("INFEMORA.000"), std::string::npos) << r.notConsolidated;
    EXPECT_EQ(site.readFile(infemora()), foreign);
    EXPECT_TRUE(Exists(a));
    EXPECT_FALSE(Exists(part(1))) << "no part repeats what stays in the sources";
    EXPECT_EQ(site.readFile(temp()), bytes);
}

TEST_F(Consolidation, FailedPartRenameDeletesNothingAndLosesNothing) {
    std::string bytes = SingleLineEntries("e", 40000);
    std::string a = file("infoprot.001", bytes);
    // The name of the second part gets taken while the merge runs.
    progress.onPump = [&](int) {
        if (Exists(part(1)) && !Exists(part(2)))
            site.writeFile(part(2), "taken\r\n");
    };
    MergeRunResult r = run({a});
    ASSERT_TRUE(r.success);
    EXPECT_TRUE(Exists(a));
    EXPECT_TRUE(r.deleted.empty());
    // The part made before is taken back: it would repeat what stays in the source.
    EXPECT_TRUE(r.archiveParts.empty());
    EXPECT_FALSE(Exists(part(1)));
    EXPECT_EQ(site.readFile(part(2)), "taken\r\n");
    EXPECT_FALSE(Exists(infemora()));
    EXPECT_FALSE(r.notConsolidated.empty());
    EXPECT_EQ(r.viewFile, temp());
    EXPECT_EQ(site.readFile(temp()), bytes);
    EXPECT_EQ(r.lines, 40000);
}

TEST_F(Consolidation, FailedTailRenameDeletesNothing) {
    std::string bytes = SingleLineEntries("e", 18013);
    std::string a = file("infoprot.001", bytes);
    std::string b = file("infoprot.002", SingleLineEntries("b", 5));
    progress.onPump = [&](int) {
        if (Exists(part(1)) && !Exists(part(2)))
            site.writeFile(part(2), "taken\r\n");
    };
    MergeRunResult r = run({a, b});
    ASSERT_TRUE(r.success);
    EXPECT_TRUE(Exists(a));
    EXPECT_TRUE(Exists(b));
    EXPECT_FALSE(Exists(infemora()));
    EXPECT_FALSE(Exists(part(1)));
    EXPECT_EQ(r.viewFile, temp());
    EXPECT_EQ(site.readFile(temp()), bytes + SingleLineEntries("b", 5));
}

TEST_F(Consolidation, TargetFolderGoneDeletesNothingElsewhere) {
    std::filesystem::create_directories(site.path("first"));
    std::string first = site.path("first/infoprot.a");
    site.writeFile(first, SingleLineEntries("a", 20000));
    std::string b = file("infoprot.b", SingleLineEntries("b", 100));
    // The folder of the first file turns into a plain file while the merge runs: no part can
    // go there, whoever runs the test.
    progress.onPump = [&](int pump) {
        if (pump == 50) {
            std::filesystem::rename(site.path("first"), site.path("moved"));
            site.writeFile(site.path("first"), "");
        }
    };
    MergeRunResult r = run({first, b});
    ASSERT_TRUE(r.success);
    EXPECT_TRUE(r.archiveParts.empty());
    EXPECT_TRUE(Exists(b)) << "a source in a writable folder stays when the parts cannot be made";
    EXPECT_TRUE(Exists(site.path("moved/infoprot.a")));
    EXPECT_EQ(r.viewFile, temp());
    EXPECT_EQ(site.readFile(temp()), SingleLineEntries("a", 20000) + SingleLineEntries("b", 100));
}

TEST_F(Consolidation, ASourceThatGrewDuringTheRunCancelsTheConsolidation) {
    std::string a = file("infoprot.001", SingleLineEntries("a", 18013));
    std::string b = file("infoprot.002", SingleLineEntries("b", 20));
    // Entries without stamps keep file order: once b is being read, a is read to its end.
    progress.onPump = [&](int pump) {
        if (pump == 18013 + 5) {
            std::ofstream out(a, std::ios::app | std::ios::binary);
            out << "xxxxx<< written meanwhile\r\n";
        }
    };
    MergeRunResult r = run({a, b});
    ASSERT_TRUE(r.success);
    // Deleting b alone would leave a's merged entries both in a part and in a.
    EXPECT_FALSE(r.archived);
    EXPECT_TRUE(Exists(a));
    EXPECT_TRUE(Exists(b));
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_FALSE(Exists(part(1)));
    EXPECT_NE(r.notConsolidated.find(a), std::string::npos) << r.notConsolidated;
    EXPECT_NE(site.readFile(a).find("written meanwhile"), std::string::npos);
    EXPECT_EQ(site.readFile(temp()), SingleLineEntries("a", 18013) + SingleLineEntries("b", 20));
}

TEST_F(Consolidation, LargeBatchMovesToASpillFileAndLandsInTheRightPart) {
    spillBytes = 4096; // every batch is larger
    std::string bytes = SingleLineEntries("e", 36000);
    MergeRunResult r = run({file("infoprot.001", bytes)});
    ASSERT_TRUE(r.success);
    ASSERT_EQ(r.archiveParts.size(), 2u);
    EXPECT_EQ(CountLines(site.readFile(part(1))), 16511);
    EXPECT_EQ(CountLines(site.readFile(part(2))), 16511);
    EXPECT_EQ(site.readFile(part(1)) + site.readFile(part(2)) + site.readFile(infemora()), bytes);
    EXPECT_EQ(mergetest::FilesIn(site.statemp()), std::vector<std::string>{"TEMOSORT.TXT"})
        << "no spill file is left";
    EXPECT_EQ(site.readFile(temp()), site.readFile(infemora()));
}

TEST_F(Consolidation, SpilledBatchStaysInOrderWhenThePartCannotBeMade) {
    spillBytes = 4096;
    std::filesystem::create_directories(site.path("first"));
    std::string a = site.path("first/infoprot.a");
    std::string bytes = SingleLineEntries("e", 20000);
    site.writeFile(a, bytes);
    progress.onPump = [&](int pump) {
        if (pump == 50) {
            std::filesystem::rename(site.path("first"), site.path("moved"));
            site.writeFile(site.path("first"), "");
        }
    };
    MergeRunResult r = run({a});
    ASSERT_TRUE(r.success);
    EXPECT_TRUE(r.archiveParts.empty());
    EXPECT_EQ(site.readFile(temp()), bytes);
    EXPECT_EQ(mergetest::FilesIn(site.statemp()), std::vector<std::string>{"TEMOSORT.TXT"});
}

} // namespace
} // namespace infemora
