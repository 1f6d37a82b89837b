#include "textview/document_save.h"
#include "textview/log_document.h"

#include "host/errors.h"
#include "support/test_env.h"
#include "text_oracle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace infemora {
namespace {

std::string withCrLf(const std::string& chars) {
    std::string out;
    for (char c : chars)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

TEST(LogDocumentText, RangesMatchTheTextWithCrLfBreaks) {
    std::mt19937 rng(3);
    const std::string bytes = textoracle::randomText(rng, 3000);
    const std::string chars = textoracle::characters(textoracle::splitLines(bytes));
    LogDocument doc;
    doc.setBytes(bytes);
    const auto total = static_cast<std::int64_t>(chars.size());
    std::uniform_int_distribution<std::int64_t> anyPos(0, total);
    std::uniform_int_distribution<std::int64_t> anyLength(0, 80);
    for (int i = 0; i < 2000; ++i) {
        const std::int64_t pos = anyPos(rng);
        const std::int64_t length = anyLength(rng);
        ASSERT_EQ(doc.text(pos, length), withCrLf(chars.substr(pos, length))) << pos << "+" << length;
    }
    EXPECT_EQ(doc.text(0, total), withCrLf(chars));
}

TEST(LogDocumentText, RangesOutsideTheTextAreCut) {
    LogDocument doc;
    doc.setLines({"ab", "cd"});
    EXPECT_EQ(doc.text(-3, 4), "ab\r\nc");
    EXPECT_EQ(doc.text(3, 1000), "cd");
    EXPECT_EQ(doc.text(1, INT64_MAX), "b\r\ncd");
    EXPECT_EQ(doc.text(2, -1), "");
    EXPECT_EQ(doc.text(2, 1), "\r\n"); // the break alone
    EXPECT_EQ(doc.text(5, 3), "");
}

TEST(LogDocumentLines, ListOfLinesKeepsEmptyOnes) {
    LogDocument doc;
    doc.setLines({"", "mitte", ""});
    EXPECT_EQ(doc.lineCount(), 3);
    EXPECT_EQ(doc.line(1), "mitte");
    EXPECT_EQ(doc.textLength(), 7);

    doc.setLines({""});
    EXPECT_EQ(doc.lineCount(), 1);
    doc.setLines({});
    EXPECT_EQ(doc.lineCount(), 0);
    EXPECT_EQ(doc.textLength(), 0);
}

TEST(LogDocumentLines, LineOfSeveralMegabytes) {
    testenv::TempSite site;
    std::string huge(5'000'000, 'x');
    for (std::size_t i = 0; i < huge.size(); i += 1000)
        huge[i] = static_cast<char>('0' + (i / 1000) % 10);
    const std::string path = site.path("lang.log");
    site.writeFile(path, "kurz\r\n" + huge + "\r\nende\r\n");
    LogDocument doc;
    doc.open(path);
    ASSERT_EQ(doc.lineCount(), 3);
    EXPECT_EQ(doc.line(1), huge);
    EXPECT_EQ(doc.maxLineLength(), 5'000'000);
    EXPECT_EQ(doc.lineSlice(1, 4'000'000, 3), huge.substr(4'000'000, 3));
    EXPECT_EQ(doc.lineSlice(1, 4'999'999, 50), "x");
    EXPECT_EQ(doc.lineSlice(1, 5'000'000, 50), "");
    EXPECT_EQ(doc.line(2), "ende");
}

TEST(LogDocumentLines, IndexStaysSmallForManyLines) {
    LogDocument doc;
    std::string bytes;
    for (int i = 0; i < 200'000; ++i)
        bytes += "0123456789012345678901234567890123456789\r\n";
    doc.setBytes(bytes);
    ASSERT_EQ(doc.lineCount(), 200'000);
    // Besides the text held in memory here, the index needs a few bytes a line, not a copy.
    EXPECT_LT(doc.indexMemoryBytes() - bytes.size(), 200'000u * 6 + 300'000);
}

class LogDocumentFile : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = site_.path("transfer.log");
        for (int i = 0; i < 100; ++i)
            lines_.push_back("Zeile " + std::to_string(i) + " \xFC\xF8");
        site_.writeLines(path_, lines_);
        doc_.open(path_);
    }

    testenv::TempSite site_;
    std::string path_;
    Lines lines_;
    LogDocument doc_;
};

TEST_F(LogDocumentFile, ShowsTheOpenedFileAfterItWasReplaced) {
    const std::string other = site_.path("neu.log");
    site_.writeLines(other, {"ganz", "anders"});
    ASSERT_EQ(std::rename(other.c_str(), path_.c_str()), 0);
    EXPECT_EQ(doc_.lineCount(), 100);
    EXPECT_EQ(doc_.line(99), lines_[99]);
    std::filesystem::remove(path_);
    EXPECT_EQ(doc_.line(42), lines_[42]);
}

TEST_F(LogDocumentFile, FileCutShortGivesShorterLinesNotGarbage) {
    const std::uint64_t cut = doc_.lineByteStart(50) + 3;
    std::filesystem::resize_file(path_, cut);
    EXPECT_EQ(doc_.line(49), lines_[49]);
    EXPECT_EQ(doc_.line(50), lines_[50].substr(0, 3));
    EXPECT_EQ(doc_.line(51), "");
    EXPECT_EQ(doc_.lineSlice(50, 1, 10), lines_[50].substr(1, 2));
    const std::string all = doc_.text(0, doc_.textLength());
    EXPECT_EQ(all.substr(0, 15), lines_[0] + "\r\nZei");
    // The lines behind the cut still count, empty.
    EXPECT_EQ(all.substr(all.size() - 4), "\r\n\r\n");

    std::filesystem::resize_file(path_, 0);
    EXPECT_EQ(doc_.line(0), "");
    EXPECT_EQ(doc_.lineCount(), 100);
}

TEST_F(LogDocumentFile, FailedOpenLeavesTheDocumentEmpty) {
    EXPECT_THROW(doc_.open(site_.path("fehlt.log")), EFileError);
    EXPECT_EQ(doc_.lineCount(), 0);
    EXPECT_FALSE(doc_.isFileBacked());
    EXPECT_THROW(doc_.open(site_.root()), EFileError);
    EXPECT_EQ(doc_.lineCount(), 0);
}

// Whether this process has the file open.
bool heldHere(const std::string& path) {
    struct stat want {};
    if (::stat(path.c_str(), &want) != 0)
        return false;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        struct stat st {};
        if (::stat(e.path().c_str(), &st) == 0 && st.st_dev == want.st_dev && st.st_ino == want.st_ino)
            return true;
    }
    return false;
}

TEST(LogDocumentEncoding, AByteOrderMarkIsDecodedOnlyForDisplayAndSavedAsItWasRead) {
    testenv::TempSite site;
    const std::string path = site.path("utf8.txt");
    const std::string bytes = "\xEF\xBB\xBFgr\xC3\xBC\xC3\x9F\r\nK\xC3\xB8ge\r\n";
    site.writeFile(path, bytes);
    LogDocument doc;
    // A log is read as the bytes it holds, whatever its first bytes look like.
    doc.open(path);
    ASSERT_EQ(doc.lineCount(), 2);
    EXPECT_EQ(doc.line(0), "\xEF\xBB\xBFgr\xC3\xBC\xC3\x9F");
    EXPECT_FALSE(doc.isDecoded());
    // The single-file view shows it decoded, and a save writes what was read.
    doc.openCopy(path, true);
    ASSERT_EQ(doc.lineCount(), 2);
    EXPECT_EQ(doc.line(0), "gr\xFC\xDF");
    EXPECT_EQ(doc.line(1), "K\xF8ge");
    EXPECT_EQ(doc.path(), path);
    EXPECT_TRUE(doc.isDecoded());
    SaveDocumentLines(doc, site.path("kopie.txt"));
    EXPECT_EQ(site.readFile(site.path("kopie.txt")), bytes);
    // A copy without decoding is the file's bytes, and the file itself is no longer held.
    doc.openCopy(path, false);
    EXPECT_EQ(doc.line(1), "K\xC3\xB8ge");
    EXPECT_TRUE(doc.isFileBacked());
    EXPECT_FALSE(heldHere(path));
    doc.open(path);
    EXPECT_TRUE(heldHere(path));
}

TEST(LogDocumentEncoding, BytesWithoutMarkAreKeptAsTheyAre) {
    testenv::TempSite site;
    const std::string path = site.path("ansi.txt");
    site.writeFile(path, "gr\xC3\xBC\r\n\x80\x81\r\n");
    LogDocument doc;
    doc.open(path);
    ASSERT_EQ(doc.lineCount(), 2);
    EXPECT_EQ(doc.line(0), "gr\xC3\xBC");
    EXPECT_EQ(doc.line(1), "\x80\x81");
}

} // namespace
} // namespace infemora
