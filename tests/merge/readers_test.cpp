// The readers: line ends, entry boundaries, merge order and the delivery protocol, for every
// buffer size from tiny (every entry larger than the buffer) to the default.
#include "host/textfile.h"
#include "merge/infoprot_readers.h"
#include "merge_fixture.h"

#include <gtest/gtest.h>

#include <random>

namespace infemora {
namespace {

using mergetest::CrLf;
using mergetest::Eintrag;
using testenv::TempSite;

struct StringSink : IEntrySink {
    std::string text;
    void Append(const char* data, std::size_t size) override { text.append(data, size); }
};

TEST(CrLfCopier, AnySplitIntoPiecesGivesTheSameLines) {
    const std::vector<std::string> samples = {"a\r\nb\r\n",
                                              "a\nb",
                                              "a\rb\r",
                                              "\r\n\r\n",
                                              "\n\n\r\r",
                                              "x\r",
                                              "x\r\n",
                                              "ab\r\rcd\n\re",
                                              "",
                                              "\r",
                                              "\n",
                                              "no end",
                                              std::string("nul\0byte\r\n", 10)};
    for (const auto& text : samples) {
        const std::string want = JoinLinesCrLf(SplitLines(text));
        const auto wantLines = static_cast<std::int64_t>(SplitLines(text).size());
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            StringSink sink;
            CrLfCopier copier(sink);
            copier.Feed(text.data(), cut);
            copier.Feed(text.data() + cut, text.size() - cut);
            copier.Finish();
            EXPECT_EQ(sink.text, want) << "text " << ::testing::PrintToString(text) << " cut at " << cut;
            EXPECT_EQ(copier.lines(), wantLines);
        }
        StringSink sink;
        CrLfCopier copier(sink);
        for (char c : text)
            copier.Feed(&c, 1);
        copier.Finish();
        EXPECT_EQ(sink.text, want) << "byte by byte: " << ::testing::PrintToString(text);
    }
}

// Runs the delivery protocol as the merge does and records what it got.
struct Delivery {
    std::string text;
    int inLoop = 0;
    int afterLoop = 0;
};

Delivery mergeFiles(const std::vector<std::string>& paths, std::size_t buffer) {
    TBufferedFileStreams streams(buffer);
    for (const auto& p : paths)
        streams.Add(p);
    TParallelReader reader(streams);
    reader.Start();
    StringSink sink;
    Delivery d;
    while (!reader.GetEos()) {
        if (reader.HasEntry()) {
            reader.Current().CopyTo(sink);
            ++d.inLoop;
        }
        if (!reader.HasEntry())
            reader.Recover();
        reader.Advance();
    }
    if (reader.HasEntry()) {
        reader.Current().CopyTo(sink);
        ++d.afterLoop;
    }
    d.text = sink.text;
    return d;
}

class MergeOrder : public ::testing::Test {
protected:
    std::vector<std::string> write(const std::vector<std::vector<std::string>>& files) {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < files.size(); ++i) {
            paths.push_back(site.logFile("INFOPROT.00" + std::to_string(i)));
            site.writeLines(paths.back(), files[i]);
        }
        return paths;
    }
    // The tags of the start lines, in output order.
    static std::string tags(const std::string& text) {
        std::string out;
        for (const auto& line : SplitLines(text))
            if (line.rfind("xxxxx<< ", 0) == 0)
                out += (out.empty() ? "" : " ") + line.substr(8);
        return out;
    }
    TempSite site;
};

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> entries) {
    std::vector<std::string> all;
    for (const auto& e : entries)
        mergetest::Append(all, e);
    return all;
}

TEST_F(MergeOrder, AlternatingEntriesInterleaveWithTheirLinesTogether) {
    auto paths = write({join({Eintrag("a1", "20260312 100000", 2), Eintrag("a2", "20260312 100200", 1),
                              Eintrag("a3", "20260312 100400", 3)}),
                        join({Eintrag("b1", "20260312 100100", 1), Eintrag("b2", "20260312 100300", 2)})});
    Delivery d = mergeFiles(paths, 0);
    EXPECT_EQ(d.text, CrLf(join({Eintrag("a1", "20260312 100000", 2), Eintrag("b1", "20260312 100100", 1),
                                 Eintrag("a2", "20260312 100200", 1), Eintrag("b2", "20260312 100300", 2),
                                 Eintrag("a3", "20260312 100400", 3)})));
    EXPECT_EQ(d.inLoop, 4);
    EXPECT_EQ(d.afterLoop, 1);
}

TEST_F(MergeOrder, EqualStampsGoToTheFileListedFirst) {
    auto paths = write({join({Eintrag("b1", "20260312 100000")}),
                        join({Eintrag("a1", "20260312 100000"), Eintrag("a2", "20260312 100000")}),
                        join({Eintrag("c1", "20260312 095959"), Eintrag("c2", "20260312 100000")})});
    EXPECT_EQ(tags(mergeFiles(paths, 0).text), "c1 b1 a1 a2 c2");
}

TEST_F(MergeOrder, EntryWithoutStampFollowsTheEntryBeforeIt) {
    auto paths =
        write({join({Eintrag("a1", "20260312 100000"), Eintrag("a2", ""), Eintrag("a3", "20260312 100500")}),
               join({Eintrag("b1", "20260312 100100")})});
    EXPECT_EQ(tags(mergeFiles(paths, 0).text), "a1 a2 b1 a3");
}

TEST_F(MergeOrder, StampThatIsNoDateTimeCountsAsMissing) {
    auto paths = write({join({Eintrag("a1", "20260312 100000"), Eintrag("a2", "20260312 240000"),
                              Eintrag("a3", "2026x312 100700"), Eintrag("a4", "20260312 101000")}),
                        join({Eintrag("b1", "20260312 100500")})});
    EXPECT_EQ(tags(mergeFiles(paths, 0).text), "a1 a2 a3 b1 a4");
}

TEST_F(MergeOrder, EntriesBeforeAnyValidStampComeFirst) {
    auto paths = write(
        {join({Eintrag("b1", "20260312 090000")}),
         join({Eintrag("a1", ""), Eintrag("a2", "20260312 250000"), Eintrag("a3", "20260312 080000")})});
    EXPECT_EQ(tags(mergeFiles(paths, 0).text), "a1 a2 a3 b1");
}

TEST_F(MergeOrder, LinesBeforeTheFirstStartLineFormAnEntryOfTheirOwn) {
    std::vector<std::string> a = {"preamble 1", "preamble 2"};
    mergetest::Append(a, Eintrag("a1", "20260312 100500"));
    auto paths = write({join({Eintrag("b0", ""), Eintrag("b1", "20260312 100000")}), a});
    Delivery d = mergeFiles(paths, 0);
    // Both the preamble and b0 take the smallest key; b0's file is listed first.
    EXPECT_EQ(d.text, CrLf(join({Eintrag("b0", ""),
                                 {"preamble 1", "preamble 2"},
                                 Eintrag("b1", "20260312 100000"),
                                 Eintrag("a1", "20260312 100500")})));
}

TEST_F(MergeOrder, AnUnsortedFileKeepsItsOwnOrder) {
    auto paths = write({join({Eintrag("a1", "20260312 120000"), Eintrag("a2", "20260312 090000"),
                              Eintrag("a3", "20260312 130000")}),
                        join({Eintrag("b1", "20260312 100000"), Eintrag("b2", "20260312 123000")})});
    EXPECT_EQ(tags(mergeFiles(paths, 0).text), "b1 a1 a2 b2 a3");
}

TEST_F(MergeOrder, FirstStampLineOfAnEntryDecides) {
    // A second "##" line further down is body text.
    std::vector<std::string> a = Eintrag("a1", "20260312 110000");
    a.push_back(mergetest::StempelZeile("20260312 080000"));
    auto paths = write({a, join({Eintrag("b1", "20260312 100000")})});
    EXPECT_EQ(tags(mergeFiles(paths, 0).text), "b1 a1");
}

TEST_F(MergeOrder, EmptyFilesAndFilesWithoutEntriesDeliverNothing) {
    std::string empty = site.logFile("INFOPROT.E");
    site.writeFile(empty, "");
    Delivery none = mergeFiles({empty, empty}, 0);
    EXPECT_EQ(none.inLoop + none.afterLoop, 0);
    EXPECT_EQ(none.text, "");

    auto paths = write({Eintrag("only", "20260312 100000", 1)});
    Delivery one = mergeFiles({empty, paths[0], empty}, 0);
    EXPECT_EQ(one.inLoop, 0) << "the only entry is the last one";
    EXPECT_EQ(one.afterLoop, 1);
}

TEST_F(MergeOrder, LinesAreACopyAndLeaveTheEntryCurrent) {
    auto paths = write({join({Eintrag("a1", "20260312 100000", 3), Eintrag("a2", "20260312 100100")})});
    for (std::size_t buffer : {std::size_t(46), std::size_t(0)}) {
        TBufferedFileStreams streams(buffer);
        streams.Add(paths[0]);
        TParallelReader reader(streams);
        reader.Start();
        ASSERT_TRUE(reader.HasEntry());
        auto lines = reader.Current().Lines();
        EXPECT_EQ(lines, Eintrag("a1", "20260312 100000", 3)) << "buffer " << buffer;
        EXPECT_EQ(reader.Current().ZeitstempelZeile().value(), "xxxxx## 20260312 100000");
        StringSink sink;
        EXPECT_EQ(reader.Current().CopyTo(sink), 5);
        EXPECT_EQ(sink.text, CrLf(lines));
        EXPECT_FALSE(reader.GetEos());
        reader.Advance();
        EXPECT_TRUE(reader.GetEos());
        EXPECT_EQ(reader.Current().Lines(), Eintrag("a2", "20260312 100100"));
    }
}

// Random logs with every kind of damage: mixed and missing line ends, binary bytes, long
// lines, stamps missing, invalid or out of order, text before the first entry.
std::string randomLog(std::mt19937& rng, int entries) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto lineEnd = [&]() -> std::string {
        switch (pick(10)) {
        case 0:
            return "\n";
        case 1:
            return "\r";
        default:
            return "\r\n";
        }
    };
    auto text = [&](int len) {
        std::string s;
        for (int i = 0; i < len; ++i) {
            int k = pick(40);
            s += k == 0 ? static_cast<char>(rng()) : static_cast<char>('a' + pick(26));
        }
        return s;
    };
    std::string out;
    if (pick(3) == 0)
        out += "header " + text(pick(30)) + lineEnd();
    int minute = 0;
    for (int e = 0; e < entries; ++e) {
        out += "xxxxx<< entry " + std::to_string(e) + lineEnd();
        int kind = pick(10);
        if (kind < 7) {
            minute = std::max(0, minute + pick(7) - 2);
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "202603%02d %02d%02d%02d", 10 + minute / 1440,
                          minute / 60 % 24, minute % 60, pick(60));
            out += "xxxxx## " + std::string(stamp) + " user" + lineEnd();
        } else if (kind == 7) {
            out += "xxxxx## 20260312 2" + std::to_string(4 + pick(5)) + "0000" + lineEnd();
        }
        int body = pick(6);
        for (int b = 0; b < body; ++b) {
            int len = pick(50) == 0 ? 3000 + pick(5000) : pick(120);
            out += text(len) + lineEnd();
        }
    }
    if (pick(2) == 0)
        out += "tail without line end " + text(pick(20));
    return out;
}

TEST(ReaderRobustness, EveryBufferSizeGivesTheReferenceMerge) {
    std::mt19937 rng(20260312);
    for (int round = 0; round < 6; ++round) {
        TempSite site;
        std::vector<std::string> bytes, paths;
        int files = 1 + round % 4;
        for (int f = 0; f < files; ++f) {
            bytes.push_back(randomLog(rng, 30 + 20 * f));
            paths.push_back(site.logFile("infoprot." + std::to_string(f)));
            site.writeFile(paths.back(), bytes.back());
        }
        const std::string want = mergetest::ReferenceMerge(bytes);
        for (std::size_t buffer : {46, 47, 64, 100, 257, 4096, 65536, 0}) {
            Delivery d = mergeFiles(paths, buffer);
            ASSERT_EQ(d.text, want) << "round " << round << ", buffer " << buffer;
        }
    }
}

TEST(ReaderRobustness, BinaryFileIsOneRunOfLinesWithNothingLost) {
    TempSite site;
    std::mt19937 rng(7);
    std::string binary(300000, '\0');
    for (auto& c : binary)
        c = static_cast<char>(rng());
    std::string normal = CrLf(join({Eintrag("n1", "20260312 100000", 2), Eintrag("n2", "20260312 100100")}));
    site.writeFile(site.logFile("infoprot.bin"), binary);
    site.writeFile(site.logFile("infoprot.txt"), normal);
    for (std::size_t buffer : {std::size_t(4096), std::size_t(0)}) {
        Delivery d = mergeFiles({site.logFile("infoprot.txt"), site.logFile("infoprot.bin")}, buffer);
        EXPECT_EQ(d.text, mergetest::ReferenceMerge({normal, binary})) << buffer;
    }
}

TEST(ReaderRobustness, LineOfSeveralMegabytesPassesWhole) {
    TempSite site;
    std::string big(5 << 20, 'x');
    std::string a = CrLf(join({Eintrag("a1", "20260312 100000"), {big}, Eintrag("a2", "20260312 100200")}));
    std::string b = CrLf(Eintrag("b1", "20260312 100100"));
    site.writeFile(site.logFile("a"), a);
    site.writeFile(site.logFile("b"), b);
    Delivery d = mergeFiles({site.logFile("a"), site.logFile("b")}, 0);
    EXPECT_EQ(d.text, CrLf(join({Eintrag("a1", "20260312 100000"),
                                 {big},
                                 Eintrag("b1", "20260312 100100"),
                                 Eintrag("a2", "20260312 100200")})));
}

TEST(ReaderRobustness, LongEntryBeforeItsStampLineIsOrderedByThatStamp) {
    TempSite site;
    // The stamp line comes only after a megabyte of text: the read-ahead must find it.
    std::vector<std::string> a = {mergetest::StartZeile("a1"), std::string(1 << 20, 'y'),
                                  mergetest::StempelZeile("20260312 110000")};
    mergetest::Append(a, Eintrag("a2", "20260312 120000"));
    site.writeLines(site.logFile("a"), a);
    site.writeLines(site.logFile("b"), Eintrag("b1", "20260312 100000"));
    Delivery d = mergeFiles({site.logFile("a"), site.logFile("b")}, 65536);
    auto lines = SplitLines(d.text);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "xxxxx<< b1");
    EXPECT_EQ(lines[2], "xxxxx<< a1");
    EXPECT_EQ(lines[5], "xxxxx<< a2");
}

TEST(ReaderFiles, MissingFileCannotBeAdded) {
    TempSite site;
    TBufferedFileStreams streams;
    EXPECT_THROW(streams.Add(site.logFile("gone")), std::exception);
    EXPECT_THROW(streams.Add(site.logDir()), std::exception) << "a folder is no log";
    EXPECT_EQ(streams.Count(), 0u);
}

TEST(ReaderFiles, FilesAreOpenedUnderTheirRealName) {
    TempSite site;
    site.writeLines(site.logFile("infoprot.tmp"), Eintrag("t", "20260312 100000"));
    TBufferedFileStreams streams;
    EXPECT_THROW(streams.Add(site.logFile("INFOPROT.TMP")), std::exception);
    streams.Add(site.logFile("infoprot.tmp"));
    EXPECT_EQ(streams.Count(), 1u);
    streams.Clear();
    EXPECT_EQ(streams.Count(), 0u);
}

} // namespace
} // namespace infemora
