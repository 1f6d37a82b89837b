#include "textview/log_text_view.h"

#include "host/errors.h"
#include "support/test_env.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <memory>

using infemora::Lines;
using infemora::LogTextView;

class LogTextViewTest : public QObject {
    Q_OBJECT

private slots:
    void selectionStartIsTheSmallerEnd();
    void setSelectionClampsAndSignalsChanges();
    void arrowKeysKeepTheColumnAcrossShortLines();
    void homeEndAndDocumentKeys();
    void pageKeysMoveByAScreen();
    void shiftKeysExtendTheSelection();
    void selectAllAndCopyGiveDecodedText();
    void caretToEndShowsTheLastLine();
    void caretToEndBeforeTheViewIsShown();
    void mouseClickDragAndDoubleClick();
    void draggingBelowTheViewKeepsScrolling();
    void longLineScrollsSidewaysToTheCaret();
    void contextMenuOffersCopyAndSelectAll();
    void fileReplacedOrCutAfterLoading();
    void failedLoadLeavesTheViewEmpty();
    void selectionIsPainted();
};

namespace {

std::unique_ptr<LogTextView> shownView(const Lines& lines) {
    auto view = std::make_unique<LogTextView>();
    view->resize(420, 300);
    view->setLines(lines);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        qWarning("view not exposed");
    return view;
}

Lines numberedLines(int count) {
    Lines lines;
    for (int i = 0; i < count; ++i)
        lines.push_back("Zeile " + std::to_string(i));
    return lines;
}

} // namespace

void LogTextViewTest::selectionStartIsTheSmallerEnd() {
    auto view = shownView({"abcdef", "ghijkl"});
    view->setSelection(5, 3); // "f", break, "g"
    QCOMPARE(view->selectionStart(), 5);
    QCOMPARE(view->selectionLength(), 3);
    QCOMPARE(view->selectedText(), std::string("f\r\ng"));

    // Shrinking and then reversing with Shift+Left: the start is now left of the anchor.
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(view.get(), Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(view->selectionStart(), 3);
    QCOMPARE(view->selectionLength(), 2);
    QCOMPARE(view->selectedText(), std::string("de"));

    // Without Shift the selection collapses to its start.
    QTest::keyClick(view.get(), Qt::Key_Left);
    QCOMPARE(view->selectionStart(), 3);
    QCOMPARE(view->selectionLength(), 0);
}

void LogTextViewTest::setSelectionClampsAndSignalsChanges() {
    auto view = shownView({"abc", "de"});
    QSignalSpy changed(view.get(), &LogTextView::selectionChanged);
    view->setSelection(4, 100);
    QCOMPARE(view->selectionStart(), 4);
    QCOMPARE(view->selectionLength(), 2);
    QCOMPARE(changed.count(), 1);
    view->setSelection(4, 2);
    QCOMPARE(changed.count(), 1);
    view->setSelection(-7, -2);
    QCOMPARE(view->selectionStart(), 0);
    QCOMPARE(view->selectionLength(), 0);
    QCOMPARE(changed.count(), 2);
    view->setLines({"neu"});
    QCOMPARE(changed.count(), 3);
}

void LogTextViewTest::arrowKeysKeepTheColumnAcrossShortLines() {
    auto view = shownView({"abcdef", "gh", "ijklmn"});
    view->setSelection(5, 0); // column 5
    QTest::keyClick(view.get(), Qt::Key_Down);
    QCOMPARE(view->selectionStart(), 7 + 2); // end of "gh"
    QTest::keyClick(view.get(), Qt::Key_Down);
    QCOMPARE(view->selectionStart(), 10 + 5); // column 5 again
    QTest::keyClick(view.get(), Qt::Key_Up);
    QTest::keyClick(view.get(), Qt::Key_Up);
    QCOMPARE(view->selectionStart(), 5);
    QTest::keyClick(view.get(), Qt::Key_Up); // first line: stays
    QCOMPARE(view->selectionStart(), 5);

    // Right at a line's end goes to the start of the next line, Left back over the break.
    view->setSelection(6, 0);
    QTest::keyClick(view.get(), Qt::Key_Right);
    QCOMPARE(view->selectionStart(), 7);
    QTest::keyClick(view.get(), Qt::Key_Left);
    QCOMPARE(view->selectionStart(), 6);
}

void LogTextViewTest::homeEndAndDocumentKeys() {
    auto view = shownView({"abc", "defgh", "ij"});
    view->setSelection(6, 0);
    QTest::keyClick(view.get(), Qt::Key_End);
    QCOMPARE(view->selectionStart(), 9);
    QTest::keyClick(view.get(), Qt::Key_Home);
    QCOMPARE(view->selectionStart(), 4);
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view->selectionStart(), 12);
    QTest::keyClick(view.get(), Qt::Key_Right); // nothing behind the end
    QCOMPARE(view->selectionStart(), 12);
    QTest::keyClick(view.get(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(view->selectionStart(), 0);
    QCOMPARE(view->selectionLength(), 0);
}

void LogTextViewTest::pageKeysMoveByAScreen() {
    auto view = shownView(numberedLines(1000));
    const int rows = view->visibleRowCount();
    QVERIFY(rows > 3);
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    QCOMPARE(view->document().lineColumn(view->selectionStart()).line, rows);
    QCOMPARE(view->firstVisibleLine(), rows);
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    QCOMPARE(view->document().lineColumn(view->selectionStart()).line, rows);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    QCOMPARE(view->selectionStart(), 0);
    QCOMPARE(view->firstVisibleLine(), 0);
}

void LogTextViewTest::shiftKeysExtendTheSelection() {
    auto view = shownView({"abc", "defgh", "ij"});
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view->selectedText(), std::string("abc\r\n"));
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view->selectedText(), std::string("abc\r\ndefgh"));
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(view->selectionLength(), view->document().textLength());

    // From the end back to the middle: the caret is the start, the smaller end.
    view->moveCaretToEnd();
    QTest::keyClick(view.get(), Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(view->selectionStart(), 4 + 2);
    QCOMPARE(view->selectedText(), std::string("fgh\r\nij"));
}

void LogTextViewTest::selectAllAndCopyGiveDecodedText() {
    auto view = shownView({"gr\xFC\xDF"
                           "e",
                           "K\xF8"
                           "benhavn \x80"});
    QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view->selectionStart(), 0);
    QCOMPARE(view->selectionLength(), view->document().textLength());
    QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString::fromUtf8("grüße\nKøbenhavn €"));

    // Nothing selected: the clipboard keeps what it had.
    view->moveCaretToStart();
    view->copy();
    QCOMPARE(QApplication::clipboard()->text(), QString::fromUtf8("grüße\nKøbenhavn €"));
}

void LogTextViewTest::caretToEndShowsTheLastLine() {
    auto view = shownView(numberedLines(10000));
    view->moveCaretToEnd();
    QCOMPARE(view->selectionStart(), view->document().textLength());
    QCOMPARE(view->selectionLength(), 0);
    QCOMPARE(view->firstVisibleLine(), 10000 - view->visibleRowCount());
    QVERIFY(view->viewport()->rect().contains(view->caretRect(view->selectionStart())));

    view->moveCaretToStart();
    QCOMPARE(view->firstVisibleLine(), 0);
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view->firstVisibleLine(), 10000 - view->visibleRowCount());
}

void LogTextViewTest::caretToEndBeforeTheViewIsShown() {
    LogTextView view;
    view.setLines(numberedLines(500));
    view.moveCaretToEnd();
    view.resize(420, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.firstVisibleLine(), 500 - view.visibleRowCount());
}

void LogTextViewTest::mouseClickDragAndDoubleClick() {
    auto view = shownView({"Fehler beim Lesen", "zweite Zeile", "dritte"});
    QWidget* area = view->viewport();
    const std::int64_t second = view->document().lineStart(1);

    QTest::mouseClick(area, Qt::LeftButton, {}, view->caretRect(second + 3).center());
    QCOMPARE(view->selectionStart(), second + 3);
    QCOMPARE(view->selectionLength(), 0);

    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, view->caretRect(7).center());
    QCOMPARE(view->selectionStart(), 7);
    QCOMPARE(view->selectedText(), std::string("beim Lesen\r\nzwe"));

    QTest::mousePress(area, Qt::LeftButton, {}, view->caretRect(1).center());
    QTest::mouseMove(area, view->caretRect(second + 6).center());
    QTest::mouseRelease(area, Qt::LeftButton, {}, view->caretRect(second + 6).center());
    QCOMPARE(view->selectedText(), std::string("ehler beim Lesen\r\nzweite"));

    QTest::mouseDClick(area, Qt::LeftButton, {}, view->caretRect(9).center());
    QCOMPARE(view->selectedText(), std::string("beim"));

    // Below the last line a click lands at the end of the text.
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(5, area->height() - 2));
    QCOMPARE(view->selectionStart(), view->document().textLength());
}

void LogTextViewTest::draggingBelowTheViewKeepsScrolling() {
    auto view = shownView(numberedLines(1000));
    QWidget* area = view->viewport();
    QTest::mousePress(area, Qt::LeftButton, {}, view->caretRect(0).center());
    QTest::mouseMove(area, QPoint(10, area->height() + 20));
    const std::int64_t firstSelected = view->selectionLength();
    QTRY_VERIFY(view->firstVisibleLine() > 3);
    QVERIFY(view->selectionLength() > firstSelected);
    QCOMPARE(view->selectionStart(), 0);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(10, area->height() + 20));
    const std::int64_t top = view->firstVisibleLine();
    QTest::qWait(200);
    QCOMPARE(view->firstVisibleLine(), top); // stops with the button
}

void LogTextViewTest::longLineScrollsSidewaysToTheCaret() {
    auto view = shownView({"kurz", std::string(5000, 'x') + "ENDE", "kurz"});
    QScrollBar* horizontal = view->horizontalScrollBar();
    QCOMPARE(horizontal->maximum(), 5004 + 1 - view->visibleColumnCount());
    QTest::keyClick(view.get(), Qt::Key_Down);
    QTest::keyClick(view.get(), Qt::Key_End);
    QVERIFY(horizontal->value() > 4000);
    QVERIFY(view->viewport()->rect().contains(view->caretRect(view->selectionStart())));
    QTest::keyClick(view.get(), Qt::Key_Home);
    QCOMPARE(horizontal->value(), 0);
}

void LogTextViewTest::contextMenuOffersCopyAndSelectAll() {
    auto view = shownView({"eins", "zwei"});
    std::unique_ptr<QMenu> menu(view->createContextMenu());
    const auto actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->text(), QStringLiteral("Kopieren"));
    QCOMPARE(actions[1]->text(), QStringLiteral("Alles markieren"));
    QVERIFY(!actions[0]->isEnabled()); // nothing selected yet
    actions[1]->trigger();
    QCOMPARE(view->selectionLength(), 9);

    std::unique_ptr<QMenu> again(view->createContextMenu());
    QVERIFY(again->actions()[0]->isEnabled());
    again->actions()[0]->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("eins\nzwei"));
}

void LogTextViewTest::fileReplacedOrCutAfterLoading() {
    infemora::testenv::TempSite site;
    const std::string path = site.path("MENU.LOG");
    const Lines lines = numberedLines(2000);
    site.writeLines(path, lines);
    LogTextView view;
    view.resize(420, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.loadFile(path);
    QCOMPARE(view.lineCount(), 2000);
    view.moveCaretToEnd();

    const std::string other = site.path("neu.log");
    site.writeLines(other, {"anders"});
    QCOMPARE(std::rename(other.c_str(), path.c_str()), 0);
    QCOMPARE(view.line(1999), lines[1999]);

    std::filesystem::resize_file(path, 0); // the new file, not the one shown
    QCOMPARE(view.line(1999), lines[1999]);

    // Cutting the shown file itself: what is gone reads as empty, painting still works.
    view.loadFile(path);
    site.writeLines(path, lines);
    view.loadFile(path);
    view.moveCaretToEnd();
    std::filesystem::resize_file(path, 100);
    QVERIFY(!view.grab().isNull());
    QCOMPARE(view.line(1999), std::string());
    view.selectAll();
    const std::string all = view.selectedText();
    QCOMPARE(all.substr(0, 9), std::string("Zeile 0\r\n"));
    QVERIFY(all.size() < 100 + 2 * 2000);
}

void LogTextViewTest::failedLoadLeavesTheViewEmpty() {
    infemora::testenv::TempSite site;
    auto view = shownView({"alt", "alt"});
    view->setSelection(2, 3);
    QVERIFY_THROWS_EXCEPTION(infemora::EFileError, view->loadFile(site.path("gibt-es-nicht.log")));
    QCOMPARE(view->lineCount(), 0);
    QCOMPARE(view->selectionStart(), 0);
    QCOMPARE(view->selectionLength(), 0);
    QVERIFY(!view->grab().isNull());
}

void LogTextViewTest::selectionIsPainted() {
    auto view = shownView({"markiert", "auch"});
    const QColor highlight = view->palette().color(QPalette::Highlight);
    auto highlighted = [&] {
        const QImage image = view->viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == highlight;
        return count;
    };
    QCOMPARE(highlighted(), 0);
    view->selectAll();
    QVERIFY(highlighted() > 0);
}

QTEST_MAIN(LogTextViewTest)
#include "log_text_view_test.moc"
