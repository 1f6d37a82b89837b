#pragma once
// Read-only plain-text view for logs of any size. It paints only the lines in sight, read from
// the document on demand, so opening a file of hundreds of megabytes costs one pass to index
// it and memory for the index alone.
//
// Positions are characters of the text with each line break counted as one. The selection
// runs from the anchor to the cursor, the end that moves with the keys and the mouse; its
// start, the smaller of the two, is what the program calls the caret.
//
// The view knows the entries of its text (see EntryIndex): it tints error entries, marks the
// lines that report a log's start or end and dims separator lines, shows where the error
// entries lie on a ruler beside the scroll bar, and can show only the entries that pass a text
// filter, as a selection of its lines without reading the text again.
#include "textview/entry_filter.h"
#include "textview/log_document.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QRect>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

class QMenu;

namespace infemora {

class ErrorRuler;

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

    // How the text is cut into entries; set before loading (a change reads the entries again).
    void setEntryLayout(EntryLayout layout);
    EntryLayout entryLayout() const { return layout_; }
    // Error entries tinted, log start and end marked, separators dimmed.
    void setHighlighting(bool on);
    bool highlighting() const { return highlighting_; }

    // The entries of the whole text. A large text has them read in the background after it was
    // loaded: null until then (entriesChanged says when they are there).
    const EntryIndex* entries() const { return entries_.get(); }
    // The entries, waiting for the background reading if need be.
    const EntryIndex& waitForEntries();
    // The error entries among the lines shown, in text order.
    const std::vector<std::int64_t>& shownErrors() const { return shownErrors_; }

    // Shows only the entries that pass the filter (an empty filter shows all); the caret keeps its
    // entry when that is shown, else goes to the next shown one.
    void setEntryFilter(const EintragsFilter& filter, IProgress* progress = nullptr);
    void clearEntryFilter() { setEntryFilter({}); }
    const EintragsFilter& entryFilter() const { return filter_; }
    bool isEntryFiltered() const { return document_.isFiltered(); }
    // Line numbers between what is shown and the whole text (see LineSelection).
    std::int64_t fullLineOf(std::int64_t shownLine) const;
    std::int64_t shownLineOf(std::int64_t fullLine) const;
    // Entries shown (all of them without a filter).
    std::int64_t shownEntryCount() const;

    // Bytes that continue the text (a log that grows). The entries and the filter take them in;
    // a view that showed its last line goes on showing it.
    void appendText(std::string_view bytes);
    // The last line is in sight.
    bool showsLastLine() const;

    // Caret to the start of the shown line, with a few lines above it in sight.
    void goToLine(std::int64_t shownLine);
    // To the next (or previous) shown error entry from the caret's entry; false when there is
    // none that way. errorShown tells which it was.
    bool goToError(bool forward);
    // To the shown error entry nearest to the shown line; false when none is shown.
    bool goToErrorNear(std::int64_t shownLine);
    // To the first shown entry at or after the time; false when there is none.
    bool goToTime(TDateTime time);

    ErrorRuler* errorRuler() const { return ruler_; }
    // A strip above the text (the timeline of the merged view), as high as it asks to be; the
    // view takes it over.
    void setHeaderWidget(QWidget* header);

signals:
    void selectionChanged();
    // A new text was loaded or the view emptied.
    void textReplaced();
    // The entries were read, grew with appended text, or the filter changed what is shown.
    void entriesChanged();
    // An error entry was gone to: its place among the shown ones (0-based) and their number.
    void errorShown(std::int64_t index, std::int64_t count);

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
    template <class Open> void replaceDocument(Open&& open);
    void updateMetrics();
    void updateScrollBars();
    void select(std::int64_t anchor, std::int64_t cursor);
    void moveCursor(std::int64_t position, bool keepAnchor);
    bool moveByKey(QKeyEvent* event);
    std::int64_t positionAt(QPoint point) const;
    qreal columnX(std::int64_t column) const;
    struct Shade {
        EntryKind kind = EntryKind::Plain;
        LineMark mark = LineMark::Plain;
    };
    void paintLine(class QPainter& painter, std::int64_t line, int y, const Shade& shade) const;
    std::vector<Shade> shades(std::int64_t top, int rows) const;
    void startEntries();
    void stopEntries();
    void takeEntries(std::uint64_t generation);
    void applyFilter(IProgress* progress);
    void showError(std::size_t index);
    void updateShownErrors();
    void placeRuler();
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

    EntryLayout layout_ = EntryLayout::Info;
    bool highlighting_ = true;
    std::unique_ptr<EntryIndex> entries_;
    // The background reading of the entries of a large text, and what it fills.
    std::thread reader_;
    std::atomic<bool> stopReading_{false};
    std::unique_ptr<EntryIndex> reading_;
    std::uint64_t generation_ = 0; // of the text, so that a late result of an older one is dropped
    EintragsFilter filter_;
    LineSelection selection_; // the lines shown while filtered
    std::vector<std::int64_t> shownErrors_;
    ErrorRuler* ruler_ = nullptr;
    QWidget* header_ = nullptr;
};

} // namespace infemora
