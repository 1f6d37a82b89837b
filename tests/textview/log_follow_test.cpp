// Following logs that another process appends to.
#include "textview/log_document.h"
#include "textview/log_follow.h"

#include "appending_process.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <sys/stat.h>

namespace infemora {
namespace {

using Ergebnis = AnhangLeser::Ergebnis;
constexpr std::int64_t kNoStamp = std::numeric_limits<std::int64_t>::min();

std::int64_t at(int h, int m) {
    return (EncodeDate(2026, 12, 8) + EncodeTime(h, m, 0, 0)).ms;
}

std::string entry(const std::string& hhmmss, const std::string& text, const std::string& eol = "\r\n") {
    return "00001<<===" + eol + "00001## 20261208 " + hhmmss + " K P Info" + eol + "  " + text + eol;
}

TEST(FollowFile, ReadsWhatWasAppendedAndNoticesAnotherFile) {
    testenv::TempSite site;
    const std::string path = site.logFile("TRANSFER.LOG");
    site.writeFile(path, "alt\r\n");
    AnhangLeser reader(path, 5);
    std::string got;
    EXPECT_EQ(reader.Lesen(got), Ergebnis::Unveraendert);

    testenv::AppendingProcess writer(path, {"neu\r\n", "mehr"});
    writer.appendNext();
    EXPECT_EQ(reader.Lesen(got), Ergebnis::Gewachsen);
    EXPECT_EQ(got, "neu\r\n");
    writer.appendNext();
    EXPECT_EQ(reader.Lesen(got), Ergebnis::Gewachsen);
    EXPECT_EQ(got, "mehr");
    EXPECT_EQ(reader.Lesen(got), Ergebnis::Unveraendert);

    // Shortened to a new start: another file is read from its beginning.
    site.writeFile(site.path("neu.log"), "frisch\r\n");
    ASSERT_EQ(std::rename(site.path("neu.log").c_str(), path.c_str()), 0);
    EXPECT_EQ(reader.Lesen(got), Ergebnis::Ersetzt);
    EXPECT_EQ(got, "frisch\r\n");

    site.writeFile(path, "kurz"); // the same file cut shorter
    EXPECT_EQ(reader.Lesen(got), Ergebnis::Ersetzt);
    EXPECT_EQ(got, "kurz");

    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(reader.Lesen(got), Ergebnis::Fehlt);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(reader.Lesen(got), Ergebnis::Fehlt) << "a FIFO is never read (nor waited for)";
}

// A document fed from a growing file holds at every step what the file holds.
TEST(FollowFile, ADocumentGrowsWithTheFileLineByLineAndPiecesOfLines) {
    testenv::TempSite site;
    const std::string path = site.path("einzeln.log");
    site.writeFile(path, "erste\r\n");
    LogDocument doc;
    doc.open(path);
    AnhangLeser reader(path, doc.byteSize());
    const std::vector<std::string> pieces = {"zwei", "te\r", "\ndritte\r\n", "vier\n"};
    testenv::AppendingProcess writer(path, pieces);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        writer.appendNext();
        std::string got;
        ASSERT_EQ(reader.Lesen(got), Ergebnis::Gewachsen);
        doc.appendBytes(got);
        LogDocument whole;
        whole.setBytes(site.readFile(path));
        ASSERT_EQ(doc.lineCount(), whole.lineCount()) << "after piece " << i;
        for (std::int64_t l = 0; l < whole.lineCount(); ++l)
            EXPECT_EQ(doc.line(l), whole.line(l)) << "after piece " << i;
    }
    EXPECT_EQ(doc.line(1), "zweite");
    EXPECT_EQ(doc.lineCount(), 4);
}

TEST(FollowLogs, WholeLinesOnlyInTheMergedView) {
    testenv::TempSite site;
    const std::string path = site.logFile("infoprot.tmp");
    site.writeFile(path, entry("100000", "alt"));
    InfoFolger folger({path});
    const std::string neu = entry("101500", "neu");
    testenv::AppendingProcess writer(path, {neu.substr(0, 20), neu.substr(20, 13), neu.substr(33)});
    std::string shown;
    std::int64_t newest = at(10, 0);
    for (int piece = 0; piece < 3; ++piece) {
        writer.appendNext();
        const InfoFolger::Anhang a = folger.Lesen(newest);
        newest = a.neuester;
        EXPECT_FALSE(a.aelter);
        if (!a.bytes.empty()) {
            EXPECT_TRUE(a.bytes.ends_with("\r\n")) << "a line is shown only once it is whole";
        }
        shown += a.bytes;
        EXPECT_EQ(neu.substr(0, shown.size()), shown);
    }
    EXPECT_EQ(shown, neu);
    EXPECT_EQ(newest, at(10, 15));
}

TEST(FollowLogs, NewEntriesOfSeveralLogsInTimeOrderAndOldOnesNoted) {
    testenv::TempSite site;
    const std::string a = site.logFile("infoprot.tmp");
    const std::string b = site.logFile("INFOPROT.001");
    site.writeFile(a, entry("100000", "a0"));
    site.writeFile(b, entry("100000", "b0"));
    InfoFolger folger({a, b});
    // b continues its entry before new ones begin; a writes with LF only.
    testenv::AppendingProcess wa(a, {entry("103000", "a1", "\n") + entry("104500", "a2", "\n")});
    testenv::AppendingProcess wb(b, {"  b0 weiter\r\n" + entry("101500", "b1")});
    wa.appendNext();
    wb.appendNext();
    const InfoFolger::Anhang got = folger.Lesen(at(10, 20));
    EXPECT_EQ(got.bytes,
              "  b0 weiter\r\n" + entry("101500", "b1") + entry("103000", "a1") + entry("104500", "a2"));
    EXPECT_TRUE(got.aelter) << "10:15 is older than 10:20 shown before";
    EXPECT_EQ(got.neuester, at(10, 45));
    EXPECT_FALSE(folger.Lesen(got.neuester).aelter);
}

TEST(FollowLogs, TheDateFilterHoldsForAppendedEntries) {
    testenv::TempSite site;
    const std::string a = site.logFile("infoprot.tmp");
    site.writeFile(a, "");
    InfoFolger folger({a});
    folger.SetDatumsFilter(true, TDateTime(at(10, 0)), TDateTime(at(11, 0)));
    testenv::AppendingProcess w(a,
                                {entry("093000", "vorher") + entry("103000", "drin") + "  drin weiter\r\n" +
                                 entry("113000", "danach") + "00001<<\r\n  ohne Stempel\r\n"});
    w.appendNext();
    EXPECT_EQ(folger.Lesen(kNoStamp).bytes,
              entry("103000", "drin") + "  drin weiter\r\n" + "00001<<\r\n  ohne Stempel\r\n");
}

TEST(FollowLogs, AReplacedLogIsReadFromItsStart) {
    testenv::TempSite site;
    const std::string a = site.logFile("infoprot.tmp");
    site.writeFile(a, entry("100000", "a0") + entry("100100", "a1"));
    InfoFolger folger({a});
    site.writeFile(site.path("neu"), entry("110000", "neu"));
    ASSERT_EQ(std::rename(site.path("neu").c_str(), a.c_str()), 0);
    const InfoFolger::Anhang got = folger.Lesen(at(10, 1));
    EXPECT_TRUE(got.ersetzt);
    EXPECT_EQ(got.bytes, entry("110000", "neu"));
}

} // namespace
} // namespace infemora
