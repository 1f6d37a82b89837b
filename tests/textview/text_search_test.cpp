#include "host/codec1252.h"
#include "host/errors.h"
#include "support/test_env.h"
#include "textview/document_save.h"
#include "textview/log_document.h"
#include "textview/text_search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace infemora;

namespace {

// Documents cannot be copied; each test keeps its own.
struct Doc {
    explicit Doc(const Lines& lines) { d.setLines(lines); }
    LogDocument d;
};

} // namespace

TEST(SearchText, TrimmedAndUpperCased) {
    EXPECT_EQ(SuchtextNormalisieren("  fehler "), "FEHLER");
    EXPECT_EQ(SuchtextNormalisieren("   "), "");
    EXPECT_EQ(SuchtextNormalisieren("gr\xFC\xDF"
                                    "e"),
              "GR\xDC\xDF"
              "E");
}

TEST(SearchForward, FindsAnyCaseFromTheCaretOnAndNeverWraps) {
    Doc doc({"Ein Fehler", "kein fehler", "FEHLER!"});
    const LogDocument& d = doc.d;
    const std::string n = SuchtextNormalisieren("fehler");
    EXPECT_EQ(SucheVorwaerts(d, n, 0), 4);
    EXPECT_EQ(SucheVorwaerts(d, n, 4 + 6), 11 + 5); // behind the first hit
    EXPECT_EQ(SucheVorwaerts(d, n, 16 + 6), 23);    // third line starts at 11 + 12
    EXPECT_EQ(SucheVorwaerts(d, n, 23 + 6), -1);    // after the last hit: no restart
    EXPECT_EQ(SucheVorwaerts(d, "", 0), -1);
}

TEST(SearchForward, TextIsMatchedLiterally) {
    Doc doc({"axb", "a.b", "[x]*"});
    const LogDocument& d = doc.d;
    EXPECT_EQ(SucheVorwaerts(d, "A.B", 0), 4);
    EXPECT_EQ(SucheVorwaerts(d, "[X]*", 0), 8);
    EXPECT_EQ(SucheVorwaerts(Doc({"Gr\xFC\xDF"
                                  "e"})
                                 .d,
                             "GR\xDC\xDF"
                             "E",
                             0),
              0);
}

TEST(SearchBackward, NearestLineWithAHitOtherThanTheSelectedOne) {
    Doc doc({"x eins", "zwei x", "drei", "x vier x"});
    const LogDocument& d = doc.d;
    // line starts: 0, 7, 14, 19
    EXPECT_EQ(SucheRueckwaerts(d, "X", 19), 12); // the caret's own hit is passed over
    EXPECT_EQ(SucheRueckwaerts(d, "X", 12), 0);
    EXPECT_EQ(SucheRueckwaerts(d, "X", 0), -1);  // first line, its only hit selected: beep
    EXPECT_EQ(SucheRueckwaerts(d, "X", 21), 19); // first hit of the caret's line, before it
    EXPECT_EQ(SucheRueckwaerts(d, "X", 25), 19);
    // In the caret's own line the first hit counts even when it lies behind the caret.
    EXPECT_EQ(SucheRueckwaerts(Doc({"ab X"}).d, "X", 1), 3);
}

TEST(SearchBackward, WorksAcrossManyBlocks) {
    Lines lines(300'000, std::string(40, 'a'));
    lines[3] = "hier ist das ZIEL";
    lines[299'990] = "noch ein ziel";
    Doc doc(lines);
    const LogDocument& d = doc.d;
    std::int64_t end = d.textLength();
    EXPECT_EQ(SucheRueckwaerts(d, "ZIEL", end), d.lineStart(299'990) + 9);
    EXPECT_EQ(SucheRueckwaerts(d, "ZIEL", d.lineStart(299'990) + 9), d.lineStart(3) + 13);
    EXPECT_EQ(SucheVorwaerts(d, "ZIEL", d.lineStart(3) + 14), d.lineStart(299'990) + 9);
}

TEST(SaveDocument, TxtAddedOnlyWithoutExtension) {
    EXPECT_EQ(MitTxtEndung("/a/report"), "/a/report.txt");
    EXPECT_EQ(MitTxtEndung("/a/report.log"), "/a/report.log");
    EXPECT_EQ(MitTxtEndung("/a/name."), "/a/name.");
    EXPECT_EQ(MitTxtEndung("/a.b/report"), "/a.b/report.txt");
}

TEST(SaveDocument, LinesWithCrLfReplacingTheFile) {
    testenv::TempSite site;
    std::string src = site.path("quelle.txt");
    site.writeFile(src, "eins\nzwei\rdrei\r\nMen\xFC");
    LogDocument d;
    d.open(src);
    std::string out = site.path("ziel.txt");
    site.writeFile(out, "alter Inhalt, viel l\xE4nger als der neue");
    SaveDocumentLines(d, out);
    EXPECT_EQ(site.readFile(out), "eins\r\nzwei\r\ndrei\r\nMen\xFC\r\n");
}

TEST(SaveDocument, FailureLeavesNoFileUnderTheChosenName) {
    testenv::TempSite site;
    Doc doc({"a"});
    const LogDocument& d = doc.d;
    EXPECT_THROW(SaveDocumentLines(d, site.path("gibt/es/nicht.txt")), EFileError);
    // A name that stands for a folder or a pipe is never swapped for a file.
    EXPECT_THROW(SaveDocumentLines(d, site.logDir()), EFileError);
    std::string fifo = site.path("rohr");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(SaveDocumentLines(d, fifo), EFileError);
    EXPECT_THROW(SaveLinesReplacing(fifo, {"x"}), EFileError);
    struct stat st {};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Every byte must compare as the code page's upper-case letter does: the search folds many bytes at
// a time by arithmetic instead of looking each one up.
TEST(SearchForward, EveryByteIsComparedAsItsUpperCase) {
    for (int b = 1; b < 256; ++b) {
        if (b == '\r' || b == '\n' || b == '#')
            continue;
        const char c = static_cast<char>(b);
        // Long lines too, so that the byte is also folded among many others.
        Doc doc({std::string("#") + c + "#", std::string(40, '.') + c + "#"});
        EXPECT_EQ(SucheVorwaerts(doc.d, std::string(1, UpperChar1252(c)) + "#", 0), 1) << "byte " << b;
        EXPECT_EQ(SucheVorwaerts(doc.d, std::string(1, UpperChar1252(c)) + "#", 2), 4 + 40) << "byte " << b;
        EXPECT_EQ(SucheRueckwaerts(doc.d, std::string("#") + UpperChar1252(c), 3), 0) << "byte " << b;
    }
}
