// The log view's entry features offscreen: tints, ruler, stepping through errors, going to a
// time, the text filter and appended text.
#include "textview/document_save.h"
#include "textview/error_ruler.h"
#include "textview/log_text_view.h"

#include "support/test_env.h"
#include "support/window_fixture.h"

#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace infemora;

class EntryViewTest : public QObject {
    Q_OBJECT

private slots:
    void errorEntriesAreTintedWholeAndLogStartMarked();
    void aLargeTextIsTintedBeforeItsEntriesAreRead();
    void theRulerMarksErrorsAndAClickGoesThere();
    void stepsFromErrorToErrorAmongTheShownOnes();
    void goesToTheFirstEntryAtOrAfterATime();
    void theFilterShowsWholeEntriesAndClearingKeepsTheEntry();
    void theFilterStaysForANewTextAndSavesWhatItShows();
    void appendedEntriesKeepTheEndInSightAndPassTheFilter();
};

namespace {

Lines entry(const std::string& hhmmss, const std::string& kind, const Lines& body) {
    Lines l = {"00001<<==========", "00001## 20261208 " + hhmmss + " KASSE1 PRG " + kind};
    l.insert(l.end(), body.begin(), body.end());
    return l;
}

Lines join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// 0-3 plain, 4-8 Fehler, 9-11 NONE (a log start line in it), 12-14 plain, 15-17 Fehler.
const Lines kText =
    join({entry("100000", "Info", {"  eins", "  zwei"}),
          entry("101000", "Fehler-Meldung: STANDARD.51",
                {"       -------------------------------------------", "  Satz gesperrt", "  mehr"}),
          entry("102000", "NONE-Meldung: KASSE.20", {"  >> 20261208 102000 B KASSE Protokollstart"}),
          entry("103000", "Info", {"  drei"}), entry("104000", "Fehler-Meldung: DB.17", {"  Datei kaputt"})});

std::unique_ptr<LogTextView> shownView(const Lines& lines, int height = 400) {
    auto view = std::make_unique<LogTextView>();
    view->resize(500, height);
    view->setLines(lines);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        qWarning("view not exposed");
    return view;
}

int rowHeight(const LogTextView& view) {
    return view.caretRect(view.document().lineStart(1)).top() - view.caretRect(0).top();
}

// The colour at the right end of a shown line, where no text is.
QColor rowColour(LogTextView& view, std::int64_t line) {
    const QImage image = view.viewport()->grab().toImage();
    const int y = static_cast<int>(line - view.firstVisibleLine()) * rowHeight(view) + rowHeight(view) / 2;
    return image.pixelColor(image.width() - 3, y);
}

std::int64_t caretLine(const LogTextView& view) {
    return view.document().lineColumn(view.cursorPosition()).line;
}

} // namespace

void EntryViewTest::errorEntriesAreTintedWholeAndLogStartMarked() {
    auto view = shownView(kText);
    const QColor base = view->palette().color(QPalette::Base);
    const QColor fehler = rowColour(*view, 4);
    const QColor none = rowColour(*view, 9);
    QVERIFY(fehler != base && none != base && fehler != none);
    QVERIFY2(fehler.red() > fehler.green() + 30, "red");
    QVERIFY2(none.red() > none.blue() + 30 && none.green() > fehler.green(), "amber");
    for (std::int64_t line = 4; line <= 8; ++line)
        QCOMPARE(rowColour(*view, line), fehler);
    QCOMPARE(rowColour(*view, 3), base);
    QCOMPARE(rowColour(*view, 12), base);
    // The log start line has a colour of its own and a bar at its left.
    const QColor protokoll = rowColour(*view, 11);
    QVERIFY(protokoll != none && protokoll.blue() > protokoll.red());
    const QImage image = view->viewport()->grab().toImage();
    const QColor bar = image.pixelColor(0, 11 * rowHeight(*view) + rowHeight(*view) / 2);
    QVERIFY(bar != protokoll && bar.blue() > bar.red() + 100);

    view->setHighlighting(false);
    QCOMPARE(rowColour(*view, 4), base);
    QCOMPARE(rowColour(*view, 11), base);
}

void EntryViewTest::aLargeTextIsTintedBeforeItsEntriesAreRead() {
    Lines lines;
    while (lines.size() < 120'000)
        for (const auto& l : kText)
            lines.push_back(l);
    auto view = std::make_unique<LogTextView>();
    view->resize(500, 300);
    QSignalSpy read(view.get(), &LogTextView::entriesChanged);
    view->setLines(lines);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->goToLine(4);
    if (!view->entries()) // normally still being read: the lines in sight are read on their own
        QVERIFY(rowColour(*view, 5) != view->palette().color(QPalette::Base));
    QVERIFY(read.count() > 0 || read.wait(10000));
    QVERIFY(view->entries());
    QCOMPARE(view->entries()->count(), static_cast<std::int64_t>(lines.size() / kText.size()) * 5);
    QVERIFY(rowColour(*view, 5) != view->palette().color(QPalette::Base));
}

void EntryViewTest::theRulerMarksErrorsAndAClickGoesThere() {
    Lines lines;
    for (int i = 0; i < 100; ++i)
        for (const auto& l : entry("100000",
                                   i == 20   ? "Fehler-Meldung: X"
                                   : i == 80 ? "NONE-Meldung: Y"
                                             : "Info",
                                   {"  t"}))
            lines.push_back(l);
    auto view = shownView(lines);
    ErrorRuler* ruler = view->errorRuler();
    QVERIFY(ruler->isVisible());
    QCOMPARE(ruler->height(), view->viewport()->height());
    const auto& marks = ruler->marks();
    std::vector<int> red, amber;
    for (int row = 0; row < static_cast<int>(marks.size()); ++row) {
        if (marks[static_cast<std::size_t>(row)] == 2)
            red.push_back(row);
        if (marks[static_cast<std::size_t>(row)] == 1)
            amber.push_back(row);
    }
    QCOMPARE(red.size(), std::size_t(1));
    QCOMPARE(amber.size(), std::size_t(1));
    // 300 lines over the ruler's height: entry 20 begins at line 60, entry 80 at line 240.
    QCOMPARE(red[0], static_cast<int>(60LL * ruler->height() / 300));
    QCOMPARE(amber[0], static_cast<int>(240LL * ruler->height() / 300));

    QSignalSpy shown(view.get(), &LogTextView::errorShown);
    QTest::mouseClick(ruler, Qt::LeftButton, {}, QPoint(5, amber[0] - 20));
    QCOMPARE(caretLine(*view), 240);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(shown.takeFirst(), (QList<QVariant>{1LL, 2LL}));
    QTest::mouseClick(ruler, Qt::LeftButton, {}, QPoint(5, 2));
    // the nearest error
    QCOMPARE(caretLine(*view), 60);
}

void EntryViewTest::stepsFromErrorToErrorAmongTheShownOnes() {
    auto view = shownView(kText);
    QSignalSpy shown(view.get(), &LogTextView::errorShown);
    view->goToLine(0);
    QVERIFY(view->goToError(true));
    QCOMPARE(caretLine(*view), 4);
    QVERIFY(view->goToError(true));
    QCOMPARE(caretLine(*view), 9);
    QVERIFY(view->goToError(true));
    QCOMPARE(caretLine(*view), 15);
    QVERIFY(!view->goToError(true));
    QCOMPARE(caretLine(*view), 15);
    QVERIFY(view->goToError(false));
    QCOMPARE(caretLine(*view), 9);
    QCOMPARE(shown.last(), (QList<QVariant>{1LL, 3LL}));

    // Only the errors the filter shows count.
    view->setEntryFilter({{{"kaputt", false}}});
    view->goToLine(0);
    QVERIFY(view->goToError(true));
    QVERIFY(view->goToError(true));
    QVERIFY(!view->goToError(true));
    QCOMPARE(view->line(caretLine(*view)), kText[9]);
    QCOMPARE(shown.last(), (QList<QVariant>{1LL, 2LL}));
}

void EntryViewTest::goesToTheFirstEntryAtOrAfterATime() {
    auto view = shownView(kText, 120);
    auto at = [](int h, int m) { return EncodeDate(2026, 12, 8) + EncodeTime(h, m, 0, 0); };
    QVERIFY(view->goToTime(at(10, 15)));
    QCOMPARE(caretLine(*view), 9);
    QVERIFY(view->firstVisibleLine() <= 9 && view->firstVisibleLine() + view->visibleRowCount() > 9);
    QVERIFY(view->goToTime(at(10, 10)));
    QCOMPARE(caretLine(*view), 4);
    QVERIFY(view->goToTime(at(9, 0)));
    QCOMPARE(caretLine(*view), 0);
    QVERIFY(!view->goToTime(at(10, 41)));
    QCOMPARE(caretLine(*view), 0);
    view->setEntryFilter({{{"Protokollstart", false}}});
    QVERIFY(view->goToTime(at(10, 15)));
    // the next entry shown
    QCOMPARE(view->line(caretLine(*view)), kText[12]);
}

void EntryViewTest::theFilterShowsWholeEntriesAndClearingKeepsTheEntry() {
    auto view = shownView(kText);
    QSignalSpy changed(view.get(), &LogTextView::entriesChanged);
    view->setSelection(view->document().lineStart(13) + 2, 0);
    view->setEntryFilter({{{"DREI", true}}});
    QVERIFY(view->isEntryFiltered());
    QCOMPARE(testenv::ViewLines(view.get()), Lines(kText.begin() + 12, kText.begin() + 15));
    QCOMPARE(view->fullLineOf(1), 13);
    // the caret's line is shown
    QCOMPARE(caretLine(*view), 1);
    QCOMPARE(view->shownEntryCount(), 1);
    QCOMPARE(changed.count(), 1);
    view->clearEntryFilter();
    QVERIFY(!view->isEntryFiltered());
    QCOMPARE(view->lineCount(), static_cast<std::int64_t>(kText.size()));
    QCOMPARE(caretLine(*view), 13);
    view->setEntryFilter({{{"drei", true}, {"eins", true}}});
    // every text must be in the entry
    QCOMPARE(view->lineCount(), 0);
    view->clearEntryFilter();

    // A caret in an entry that is left out goes to the next one shown.
    view->setSelection(view->document().lineStart(5), 0);
    view->setEntryFilter({{{"Fehler-Meldung", false}}});
    QCOMPARE(view->line(caretLine(*view)), kText[9]);
}

void EntryViewTest::theFilterStaysForANewTextAndSavesWhatItShows() {
    testenv::TempSite site;
    auto view = shownView(kText);
    view->setEntryFilter({{{"Meldung", true}, {"kasse.20", false}}});
    site.writeLines(site.path("neu.txt"), kText);
    view->loadFile(site.path("neu.txt"));
    QVERIFY(view->isEntryFiltered());
    const std::string saved = site.path("gespeichert.txt");
    SaveDocumentLines(view->document(), saved);
    const GefilterteKopie copy(site.path("neu.txt"), EntryLayout::Info, view->entryFilter());
    QCOMPARE(site.readFile(saved), site.readFile(copy.path()));
    std::string expected;
    for (std::size_t i : {4, 5, 6, 7, 8, 15, 16, 17})
        expected += kText[i] + "\r\n";
    QCOMPARE(site.readFile(saved), expected);
}

void EntryViewTest::appendedEntriesKeepTheEndInSightAndPassTheFilter() {
    Lines many;
    for (int i = 0; i < 20; ++i)
        for (const auto& l : kText)
            many.push_back(l);
    auto view = shownView(many, 200);
    view->moveCaretToEnd();
    QVERIFY(view->showsLastLine());
    std::string more;
    for (const auto& l : entry("110000", "Fehler-Meldung: NEU", {"  neu"}))
        more += l + "\r\n";
    view->appendText(more);
    QCOMPARE(view->line(view->lineCount() - 1), std::string("  neu"));
    QVERIFY(view->showsLastLine());
    QCOMPARE(view->cursorPosition(), view->document().textLength());
    QCOMPARE(view->shownErrors().size(), std::size_t(61));

    view->goToLine(0); // scrolled away: stays where it is
    view->appendText("00001<<\r\n00001## 20261208 110500 K P Info\r\n  halb");
    QCOMPARE(view->firstVisibleLine(), 0);
    view->appendText("e Zeile\r\n");
    QCOMPARE(view->line(view->lineCount() - 1), std::string("  halbe Zeile"));

    // With a filter, an entry is shown once it passes, also when its text comes in pieces.
    view->setEntryFilter({{{"gesucht", true}}});
    const std::int64_t before = view->lineCount();
    view->appendText("00001<<\r\n00001## 20261208 111000 K P Info\r\n  ges");
    QCOMPARE(view->lineCount(), before);
    view->appendText("ucht\r\n");
    QCOMPARE(view->lineCount(), before + 3);
    QCOMPARE(view->line(view->lineCount() - 1), std::string("  gesucht"));
    view->clearEntryFilter();
    QCOMPARE(view->lineCount(), static_cast<std::int64_t>(many.size()) + 9);
}

QTEST_MAIN(EntryViewTest)
#include "entry_view_test.moc"
