#include "host/errors.h"
#include "host/textfile.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace infemora;

TEST(TextFile, LinesEndAtCrLfLfOrCr) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(SplitLines("\n\r"), (Lines{"", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(TextFile, ByteOrderMarksSelectTheEncoding) {
    EXPECT_EQ(DecodeTextBytes("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                              "e\r\nx"),
              (Lines{"Gr\xFC\xDF"
                     "e",
                     "x"}));
    std::string le("\xFF\xFE", 2);
    for (char16_t c : std::u16string(u"Ä\nb")) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(DecodeTextBytes(le), (Lines{"\xC4", "b"}));
    std::string be("\xFE\xFF", 2);
    for (char16_t c : std::u16string(u"ø")) {
        be += static_cast<char>(c >> 8);
        be += static_cast<char>(c & 0xFF);
    }
    EXPECT_EQ(DecodeTextBytes(be), (Lines{"\xF8"}));
    EXPECT_EQ(DecodeTextBytes("\xE4\xF6"), (Lines{"\xE4\xF6"})); // no mark: bytes as they are
}

TEST(TextFile, SavedFileHasCrLfAfterEveryLineAndNoMark) {
    testenv::TempSite site;
    std::string f = site.path("out.txt");
    SaveLinesReplacing(f, Lines{"Men\xFC", "", "z"});
    EXPECT_EQ(site.readFile(f), "Men\xFC\r\n\r\nz\r\n");
    AppendLines(f, Lines{"w"});
    EXPECT_EQ(site.readFile(f), "Men\xFC\r\n\r\nz\r\nw\r\n");
    EXPECT_EQ(LoadTextFile(f), (Lines{"Men\xFC", "", "z", "w"}));
}

TEST(TextFile, FailedSaveLeavesTheOldFileAndNoTempBehind) {
    testenv::TempSite site;
    std::string dir = site.path("ro");
    mkdir(dir.c_str(), 0700);
    std::string f = dir + "/out.txt";
    site.writeFile(f, "alt\r\n");
    chmod(dir.c_str(), 0500);
    if (geteuid() == 0) {
        chmod(dir.c_str(), 0700);
        GTEST_SKIP() << "root writes into read-only folders";
    }
    EXPECT_THROW(SaveLinesReplacing(f, Lines{"neu"}), EFileError);
    chmod(dir.c_str(), 0700);
    EXPECT_EQ(site.readFile(f), "alt\r\n");
}

TEST(TextFile, FullDiskLeavesTheOldFile) {
    // /dev/full accepts no byte; a save into it must fail rather than report success.
    testenv::TempSite site;
    EXPECT_THROW(AppendLines("/dev/full", Lines{"x"}), EFileError);
    EXPECT_THROW(LoadTextFile(site.path("fehlt")), EFileError);
    EXPECT_THROW(LoadTextFile(site.root()), EFileError);
}
