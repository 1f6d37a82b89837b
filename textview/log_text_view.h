#pragma once
// Read-only plain-text view for logs of any size. It paints only the lines in sight, read from
// the document on demand, so opening a file of hundreds of megabytes costs one pass to index
// it and memory for the index alone.
//
// Positions are characters of the text with each line break counted as one. The selection
// runs from the anchor to the cursor, the end that moves with the keys and the mouse; its
// start, the smaller of the two, is what the program calls the caret.
#include "textview/log_document.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

class QMenu;

namespace infemora {

class LogTextView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit LogTextView(QWidget* parent = nullptr);
    ~LogTextView() override;

    // EFileError when the file cannot be read; the view is empty then.
    void loadFile(const std::string& path);
    // The file open under fd (the merge's own result), shown under path.
    void loadDescriptor(int fd, const std::string& path);
    // A private copy of the file as it is now (see LogDocument::openCopy).
    void loadCopy(const std::string& path, bool decodeByteOrderMark = false);
    void setLines(const Lines& lines);
    void clear();
    std::int64_t lineCount() const { return document_.lineCount(); }
    std::string line(std::int64_t index) const { return document_.line(index); }
    const LogDocument& document() const { return document_; }

    std::int64_t selectionStart() const { return std::min(anchor_, cursor_); }
    std::int64_t selectionLength() const { return anchor_ > cursor_ ? anchor_ - cursor_ : cursor_ - anchor_; }
    // Clamped into the text; the selection is scrolled into view.
    void setSelection(std::int64_t start, std::int64_t length);
    // Bytes as the text holds them, "\r\n" for each line break.
    std::string selectedText() const;
    void moveCaretToStart();
    void moveCaretToEnd();
    void ensureCaretVisible();
    void selectAll();
    // The selection, decoded, to the clipboard.
    void copy() const;

    std::int64_t cursorPosition() const { return cursor_; }
    std::int64_t firstVisibleLine() const;
    // Rows that fit wholly into the viewport, at least one.
    int visibleRowCount() const;
    int visibleColumnCount() const;
    // Where the caret stands when at this position, in viewport coordinates.
    QRect caretRect(std::int64_t position) const;

    // A new menu with "Kopieren" and "Alles markieren"; the caller owns it.
    QMenu* createContextMenu();

    // Windows-1252 bytes as text, line breaks as given.
    static QString decode(std::string_view bytes);

signals:
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void documentReplaced();
    template <class Open>
    void replaceDocument(Open&& open);
    void updateMetrics();
    void updateScrollBars();
    void select(std::int64_t anchor, std::int64_t cursor);
    void moveCursor(std::int64_t position, bool keepAnchor);
    bool moveByKey(QKeyEvent* event);
    std::int64_t positionAt(QPoint point) const;
    qreal columnX(std::int64_t column) const;
    void paintLine(class QPainter& painter, std::int64_t line, int y) const;
    // Bounds of the word around a position, or the single character there.
    std::pair<std::int64_t, std::int64_t> wordAround(std::int64_t position) const;
    std::int64_t nextWordStart(std::int64_t position) const;
    std::int64_t previousWordStart(std::int64_t position) const;

    LogDocument document_;
    std::int64_t anchor_ = 0;
    std::int64_t cursor_ = 0;
    std::int64_t goalColumn_ = -1; // column kept while moving up and down
    qreal charWidth_ = 8;
    int rowHeight_ = 16;
    int ascent_ = 12;
    int rowsInView_ = 1; // as the scroll bars were last set up
    bool dragging_ = false;
    QPoint dragPoint_;
    QBasicTimer autoScroll_;
};

} // namespace infemora
