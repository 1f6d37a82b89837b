#include "textview/log_text_view.h"

#include "host/codec1252.h"
#include "textview/error_ruler.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace infemora {

namespace {

constexpr int kMargin = 3; // pixels left of the first column

// Entry tints and marks: light enough to read black text on.
const QColor kFehlerTint(255, 212, 212);
const QColor kNoneTint(255, 234, 190);
const QColor kProtokollTint(214, 232, 255);
const QColor kProtokollBar(40, 110, 220);
const QColor kDimmedText(150, 150, 150);

struct CharTables {
    std::array<QChar, 256> text;    // what a byte stands for
    std::array<QChar, 256> display; // what is painted: control bytes as blanks
};

const CharTables& charTables() {
    static const CharTables tables = [] {
        CharTables t;
        for (int b = 0; b < 256; ++b) {
            t.text[b] = QChar(static_cast<char16_t>(Win1252ToUnicode(static_cast<unsigned char>(b))));
            t.display[b] = (b < 0x20 || b == 0x7F) ? QChar(u' ') : t.text[b];
        }
        return t;
    }();
    return tables;
}

QString toQString(std::string_view bytes, const std::array<QChar, 256>& table) {
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* dest = out.data();
    for (unsigned char b : bytes)
        *dest++ = table[b];
    return out;
}

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

} // namespace

LogTextView::LogTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    ruler_ = new ErrorRuler(this);
    setViewportMargins(0, 0, ErrorRuler::kWidth, 0);
    updateMetrics();
}

LogTextView::~LogTextView() {
    stopEntries();
}

QString LogTextView::decode(std::string_view bytes) {
    return toQString(bytes, charTables().text);
}

template <class Open> void LogTextView::replaceDocument(Open&& open) {
    // The entries of the old text are no longer read; the view forgets its old positions
    // whether the new text could be opened or not.
    stopEntries();
    try {
        open();
    } catch (...) {
        documentReplaced();
        throw;
    }
    documentReplaced();
}

void LogTextView::loadFile(const std::string& path) {
    replaceDocument([&] { document_.open(path); });
}

void LogTextView::loadDescriptor(int fd, const std::string& path) {
    replaceDocument([&] { document_.openDescriptor(fd, path); });
}

void LogTextView::loadCopy(const std::string& path, bool decodeByteOrderMark) {
    replaceDocument([&] { document_.openCopy(path, decodeByteOrderMark); });
}

void LogTextView::setLines(const Lines& lines) {
    stopEntries();
    document_.setLines(lines);
    documentReplaced();
}

void LogTextView::clear() {
    stopEntries();
    document_.clear();
    documentReplaced();
}

void LogTextView::documentReplaced() {
    goalColumn_ = -1;
    dragging_ = false;
    autoScroll_.stop();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    anchor_ = cursor_ = -1; // so that the signal is sent even when the caret stays at 0
    select(0, 0);
    entries_.reset();
    selection_ = LineSelection();
    startEntries();
    // A text filter stays in force for the new text.
    if (!filter_.empty())
        applyFilter(nullptr);
    viewport()->update();
    emit textReplaced();
}

std::string LogTextView::selectedText() const {
    return document_.text(selectionStart(), selectionLength());
}

void LogTextView::setSelection(std::int64_t start, std::int64_t length) {
    const std::int64_t total = document_.textLength();
    start = std::clamp<std::int64_t>(start, 0, total);
    length = std::clamp<std::int64_t>(length, 0, total - start);
    goalColumn_ = -1;
    select(start, start + length);
    ensureCaretVisible();
}

void LogTextView::moveCaretToStart() {
    setSelection(0, 0);
}

void LogTextView::moveCaretToEnd() {
    setSelection(document_.textLength(), 0);
}

void LogTextView::selectAll() {
    goalColumn_ = -1;
    select(0, document_.textLength());
}

void LogTextView::copy() const {
    if (selectionLength() == 0)
        return;
    // The clipboard takes line feeds; the platform turns them into its own line ends.
    QString text = decode(selectedText());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QApplication::clipboard()->setText(text);
}

void LogTextView::select(std::int64_t anchor, std::int64_t cursor) {
    if (anchor == anchor_ && cursor == cursor_)
        return;
    anchor_ = anchor;
    cursor_ = cursor;
    viewport()->update();
    emit selectionChanged();
}

void LogTextView::moveCursor(std::int64_t position, bool keepAnchor) {
    position = std::clamp<std::int64_t>(position, 0, document_.textLength());
    select(keepAnchor ? anchor_ : position, position);
    ensureCaretVisible();
}

void LogTextView::ensureCaretVisible() {
    const LineColumn at = document_.lineColumn(cursor_);
    const int rows = visibleRowCount();
    QScrollBar* vertical = verticalScrollBar();
    if (at.line < vertical->value())
        vertical->setValue(clampToInt(at.line));
    else if (at.line >= vertical->value() + rows)
        vertical->setValue(clampToInt(at.line - rows + 1));
    const int columns = visibleColumnCount();
    QScrollBar* horizontal = horizontalScrollBar();
    if (at.column < horizontal->value())
        horizontal->setValue(clampToInt(at.column));
    else if (at.column >= horizontal->value() + columns)
        horizontal->setValue(clampToInt(at.column - columns + 1));
}

std::int64_t LogTextView::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

int LogTextView::visibleRowCount() const {
    return std::max(1, viewport()->height() / rowHeight_);
}

int LogTextView::visibleColumnCount() const {
    return std::max(1, static_cast<int>((viewport()->width() - kMargin) / charWidth_));
}

void LogTextView::updateMetrics() {
    const QFontMetricsF metrics(font());
    charWidth_ = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
    rowHeight_ = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    ascent_ = static_cast<int>(std::ceil(metrics.ascent()));
}

void LogTextView::updateScrollBars() {
    const int rows = visibleRowCount();
    rowsInView_ = rows;
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, clampToInt(document_.lineCount() - rows));
    vertical->setPageStep(rows);
    // One column more than the longest line, for the caret behind its end.
    const int columns = visibleColumnCount();
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, clampToInt(document_.maxLineLength() + 1 - columns));
    horizontal->setPageStep(columns);
}

void LogTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // A caret in sight stays in sight: the caret put at the end before the view got its final
    // size must still show the last line afterwards.
    const std::int64_t caretLine = document_.lineColumn(cursor_).line;
    const std::int64_t top = firstVisibleLine();
    const bool caretWasVisible = caretLine >= top && caretLine < top + rowsInView_;
    updateScrollBars();
    if (caretWasVisible)
        ensureCaretVisible();
    placeRuler();
}

void LogTextView::placeRuler() {
    const QRect area = viewport()->geometry();
    ruler_->setGeometry(area.right() + 1, area.top(), ErrorRuler::kWidth, area.height());
    if (header_) {
        const int height = header_->sizeHint().height();
        header_->setGeometry(area.left(), area.top() - height, area.width() + ErrorRuler::kWidth, height);
    }
}

void LogTextView::setHeaderWidget(QWidget* header) {
    header_ = header;
    header_->setParent(this);
    setViewportMargins(0, header_->sizeHint().height(), ErrorRuler::kWidth, 0);
    header_->show();
    placeRuler();
}

void LogTextView::scrollContentsBy(int, int) {
    viewport()->update();
}

void LogTextView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        updateScrollBars();
        viewport()->update();
    }
}

void LogTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LogTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

qreal LogTextView::columnX(std::int64_t column) const {
    return kMargin + static_cast<qreal>(column - horizontalScrollBar()->value()) * charWidth_;
}

QRect LogTextView::caretRect(std::int64_t position) const {
    const LineColumn at = document_.lineColumn(position);
    // Far outside the viewport the rectangle only has to stay outside, not be exact.
    const qreal limit = 1e9;
    const qreal x = std::clamp(columnX(at.column), -limit, limit);
    const qreal y = std::clamp(static_cast<qreal>(at.line - firstVisibleLine()) * rowHeight_, -limit, limit);
    return QRectF(x, y, 1, rowHeight_).toAlignedRect();
}

std::int64_t LogTextView::positionAt(QPoint point) const {
    if (document_.lineCount() == 0)
        return 0;
    const int y = point.y();
    const int row = y >= 0 ? y / rowHeight_ : -1 - (-y - 1) / rowHeight_;
    const std::int64_t line = firstVisibleLine() + row;
    if (line < 0)
        return 0;
    if (line >= document_.lineCount())
        return document_.textLength();
    // Left of the text this gives the column before the first one shown, so that dragging
    // there scrolls the view to the left.
    const qreal cells = (point.x() - kMargin) / charWidth_;
    const auto column = static_cast<std::int64_t>(std::floor(std::max<qreal>(cells, -1) + 0.5));
    return document_.position(line, horizontalScrollBar()->value() + column);
}

std::vector<LogTextView::Shade> LogTextView::shades(std::int64_t top, int rows) const {
    std::vector<Shade> out(static_cast<std::size_t>(std::max(0, rows)));
    if (!highlighting_ || out.empty())
        return out;
    if (layout_ == EntryLayout::Info)
        for (std::size_t r = 0; r < out.size(); ++r)
            out[r].mark = MarkOfLine(document_.lineSlice(top + static_cast<std::int64_t>(r), 0, 512));
    auto fill = [&](const EntryIndex& entries, std::int64_t offset) {
        for (std::size_t r = 0; r < out.size(); ++r) {
            const std::int64_t e =
                entries.entryOfLine(fullLineOf(top + static_cast<std::int64_t>(r)) - offset);
            if (e >= 0)
                out[r].kind = entries.kind(e);
        }
    };
    if (entries_) {
        fill(*entries_, 0);
    } else if (!document_.isFiltered()) {
        // Until the entries of the whole text are read, those in sight are read on their own.
        const EntryWindow around = EntriesAround(document_, layout_, top, top + rows);
        fill(around.entries, around.from);
    }
    return out;
}

void LogTextView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    painter.setFont(font());
    const std::int64_t top = firstVisibleLine();
    const int height = viewport()->height();
    const int rows = static_cast<int>(
        std::clamp<std::int64_t>(document_.lineCount() - top, 0, (height + rowHeight_ - 1) / rowHeight_));
    const std::vector<Shade> shade = shades(top, rows);
    for (int row = 0; row < rows; ++row)
        paintLine(painter, top + row, row * rowHeight_, shade[static_cast<std::size_t>(row)]);
}

void LogTextView::paintLine(QPainter& painter, std::int64_t line, int y, const Shade& shade) const {
    if (shade.mark == LineMark::Protokoll) {
        painter.fillRect(QRect(0, y, viewport()->width(), rowHeight_), kProtokollTint);
        painter.fillRect(QRect(0, y, 2, rowHeight_), kProtokollBar);
    } else if (shade.kind != EntryKind::Plain) {
        painter.fillRect(QRect(0, y, viewport()->width(), rowHeight_),
                         shade.kind == EntryKind::Fehler ? kFehlerTint : kNoneTint);
    }
    const bool dimmed = shade.mark == LineMark::Start || shade.mark == LineMark::Separator;
    const std::int64_t left = horizontalScrollBar()->value();
    const std::int64_t length = document_.lineLength(line);
    const std::int64_t start = document_.lineStart(line);
    const QString text =
        toQString(document_.lineSlice(line, left, visibleColumnCount() + 1), charTables().display);

    // Selected columns of this line; the column behind the end stands for the line break.
    const std::int64_t from = std::clamp<std::int64_t>(selectionStart() - start, left, length + 1);
    const std::int64_t to =
        std::clamp<std::int64_t>(selectionStart() + selectionLength() - start, left, length + 1);
    const qreal baseline = y + ascent_;
    auto piece = [&](std::int64_t a, std::int64_t b) {
        return text.mid(static_cast<qsizetype>(a - left), static_cast<qsizetype>(b - a));
    };
    const std::int64_t shownEnd = left + text.size();
    if (from < to) {
        painter.fillRect(QRectF(columnX(from), y, (to - from) * charWidth_, rowHeight_),
                         palette().highlight());
        painter.setPen(palette().color(QPalette::HighlightedText));
        painter.drawText(QPointF(columnX(from), baseline), piece(from, std::min(to, shownEnd)));
    }
    painter.setPen(dimmed ? kDimmedText : palette().color(QPalette::Text));
    const std::int64_t before = std::min(from < to ? from : shownEnd, shownEnd);
    painter.drawText(QPointF(columnX(left), baseline), piece(left, before));
    if (from < to && to < shownEnd)
        painter.drawText(QPointF(columnX(to), baseline), piece(to, shownEnd));

    if (hasFocus() && cursor_ >= start && cursor_ <= start + length) {
        const qreal x = columnX(cursor_ - start);
        painter.fillRect(QRectF(x, y, 1, rowHeight_), palette().text());
    }
}

} // namespace infemora
