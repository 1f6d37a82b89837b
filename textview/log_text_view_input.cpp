// Keyboard, mouse and context menu of the log view.
#include "textview/log_text_view.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <memory>

namespace infemora {

namespace {

// Words are looked for within this many characters of a position, which keeps a double click
// into a line of megabytes cheap.
constexpr std::int64_t kWordReach = 1024;
constexpr int kAutoScrollMs = 50;

bool isWordByte(char byte) {
    const QString text = LogTextView::decode(std::string_view(&byte, 1));
    return text[0].isLetterOrNumber() || byte == '_';
}

} // namespace

std::pair<std::int64_t, std::int64_t> LogTextView::wordAround(std::int64_t position) const {
    const LineColumn at = document_.lineColumn(position);
    const std::int64_t length = document_.lineLength(at.line);
    if (at.column >= length)
        return {position, std::min(position + 1, document_.textLength())};
    const std::int64_t from = std::max<std::int64_t>(0, at.column - kWordReach);
    const std::string bytes = document_.lineSlice(at.line, from, 2 * kWordReach);
    const auto here = static_cast<std::size_t>(at.column - from);
    if (here >= bytes.size() || !isWordByte(bytes[here]))
        return {position, position + 1};
    std::size_t begin = here;
    while (begin > 0 && isWordByte(bytes[begin - 1]))
        --begin;
    std::size_t end = here;
    while (end < bytes.size() && isWordByte(bytes[end]))
        ++end;
    const std::int64_t lineStart = document_.lineStart(at.line);
    return {lineStart + from + static_cast<std::int64_t>(begin),
            lineStart + from + static_cast<std::int64_t>(end)};
}

std::int64_t LogTextView::nextWordStart(std::int64_t position) const {
    const LineColumn at = document_.lineColumn(position);
    const std::int64_t length = document_.lineLength(at.line);
    if (at.column >= length)
        return position + 1; // on to the next line
    const std::string bytes = document_.lineSlice(at.line, at.column, kWordReach);
    std::size_t i = 0;
    while (i < bytes.size() && isWordByte(bytes[i]))
        ++i;
    while (i < bytes.size() && !isWordByte(bytes[i]))
        ++i;
    return position + static_cast<std::int64_t>(i);
}

std::int64_t LogTextView::previousWordStart(std::int64_t position) const {
    const LineColumn at = document_.lineColumn(position);
    if (at.column == 0)
        return position - 1; // back to the end of the previous line
    const std::int64_t from = std::max<std::int64_t>(0, at.column - kWordReach);
    const std::string bytes = document_.lineSlice(at.line, from, at.column - from);
    std::size_t i = bytes.size();
    while (i > 0 && !isWordByte(bytes[i - 1]))
        --i;
    while (i > 0 && isWordByte(bytes[i - 1]))
        --i;
    return document_.lineStart(at.line) + from + static_cast<std::int64_t>(i);
}

bool LogTextView::moveByKey(QKeyEvent* event) {
    struct Move {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey extend;
    };
    enum Kind {
        NextChar,
        PreviousChar,
        NextLine,
        PreviousLine,
        NextPage,
        PreviousPage,
        LineStart,
        LineEnd,
        DocumentStart,
        DocumentEnd,
        NextWord,
        PreviousWord
    };
    static const Move moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord},
    };
    int kind = -1;
    bool extend = false;
    for (int i = 0; i < static_cast<int>(std::size(moves)) && kind < 0; ++i) {
        if (event->matches(moves[i].move))
            kind = i;
        else if (event->matches(moves[i].extend))
            kind = i, extend = true;
    }
    if (kind < 0)
        return false;

    const LineColumn at = document_.lineColumn(cursor_);
    const bool vertical =
        kind == NextLine || kind == PreviousLine || kind == NextPage || kind == PreviousPage;
    if (!vertical)
        goalColumn_ = -1;
    else if (goalColumn_ < 0)
        goalColumn_ = at.column;
    const int rows = visibleRowCount();
    std::int64_t target = cursor_;
    switch (kind) {
    case NextChar:
        // Without Shift a selection collapses to the side the arrow points to.
        target = !extend && selectionLength() > 0 ? selectionStart() + selectionLength() : cursor_ + 1;
        break;
    case PreviousChar:
        target = !extend && selectionLength() > 0 ? selectionStart() : cursor_ - 1;
        break;
    case NextLine:
        target = document_.position(at.line + 1, goalColumn_);
        break;
    case PreviousLine:
        target = at.line == 0 ? cursor_ : document_.position(at.line - 1, goalColumn_);
        break;
    case NextPage:
        verticalScrollBar()->setValue(verticalScrollBar()->value() + rows);
        target = document_.position(at.line + rows, goalColumn_);
        break;
    case PreviousPage:
        verticalScrollBar()->setValue(verticalScrollBar()->value() - rows);
        target = document_.position(std::max<std::int64_t>(0, at.line - rows), goalColumn_);
        break;
    case LineStart:
        target = document_.lineStart(at.line);
        break;
    case LineEnd:
        target = document_.position(at.line, document_.lineLength(at.line));
        break;
    case DocumentStart:
        target = 0;
        break;
    case DocumentEnd:
        target = document_.textLength();
        break;
    case NextWord:
        target = nextWordStart(cursor_);
        break;
    case PreviousWord:
        target = previousWordStart(cursor_);
        break;
    }
    moveCursor(target, extend);
    return true;
}

void LogTextView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        event->accept();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        event->accept();
    } else if (moveByKey(event)) {
        event->accept();
    } else {
        // A read-only view: typing does nothing, and the window's shortcuts get what is left.
        event->ignore();
    }
}

void LogTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    goalColumn_ = -1;
    dragging_ = true;
    dragPoint_ = event->position().toPoint();
    moveCursor(positionAt(dragPoint_), event->modifiers().testFlag(Qt::ShiftModifier));
}

void LogTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    dragPoint_ = event->position().toPoint();
    // Outside the text the view keeps scrolling towards the mouse while the button is down.
    if (viewport()->rect().contains(dragPoint_))
        autoScroll_.stop();
    else if (!autoScroll_.isActive())
        autoScroll_.start(kAutoScrollMs, this);
    moveCursor(positionAt(dragPoint_), true);
}

void LogTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    autoScroll_.stop();
}

void LogTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const auto [begin, end] = wordAround(positionAt(event->position().toPoint()));
    goalColumn_ = -1;
    select(begin, end);
    ensureCaretVisible();
}

void LogTextView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != autoScroll_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    if (!dragging_) {
        autoScroll_.stop();
        return;
    }
    moveCursor(positionAt(dragPoint_), true);
}

QMenu* LogTextView::createContextMenu() {
    auto* menu = new QMenu(this);
    QAction* copyAction = menu->addAction(QStringLiteral("Kopieren"), this, &LogTextView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(selectionLength() > 0);
    QAction* selectAllAction =
        menu->addAction(QStringLiteral("Alles markieren"), this, &LogTextView::selectAll);
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(document_.textLength() > 0);
    return menu;
}

void LogTextView::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createContextMenu());
    menu->exec(event->globalPos());
}

} // namespace infemora
