// The entries of the log view: reading them, the text filter, appended text, going to lines,
// errors and times.
#include "textview/error_ruler.h"
#include "textview/log_text_view.h"

#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace infemora {

namespace {

// Texts of up to this many lines have their entries read at once; larger ones in the
// background, so that their last page is painted as soon as the lines are indexed.
constexpr std::int64_t kReadAtOnceLines = 100'000;
// Lines above a line gone to, left in sight.
constexpr std::int64_t kContextRows = 3;

int clampRow(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

} // namespace

void LogTextView::setEntryLayout(EntryLayout layout) {
    if (layout == layout_)
        return;
    layout_ = layout;
    if (document_.lineCount() == 0)
        return;
    stopEntries();
    entries_.reset();
    startEntries();
    if (!filter_.empty())
        applyFilter(nullptr);
}

void LogTextView::setHighlighting(bool on) {
    highlighting_ = on;
    viewport()->update();
}

void LogTextView::startEntries() {
    ++generation_;
    if (document_.fullIndex().count() <= kReadAtOnceLines) {
        entries_ = std::make_unique<EntryIndex>(BuildEntryIndex(document_, layout_));
        updateShownErrors();
        emit entriesChanged();
        return;
    }
    stopReading_ = false;
    reading_ = std::make_unique<EntryIndex>();
    // The reading only reads the document; everything that changes it waits for the reading
    // to end first (stopEntries, waitForEntries).
    reader_ = std::thread([this, target = reading_.get(), layout = layout_, generation = generation_] {
        *target = BuildEntryIndex(document_, layout, &stopReading_);
        QMetaObject::invokeMethod(
            this, [this, generation] { takeEntries(generation); }, Qt::QueuedConnection);
    });
}

void LogTextView::stopEntries() {
    if (!reader_.joinable())
        return;
    stopReading_ = true;
    reader_.join();
    reading_.reset();
}

void LogTextView::takeEntries(std::uint64_t generation) {
    if (generation != generation_ || !reader_.joinable())
        return;
    reader_.join();
    entries_ = std::move(reading_);
    updateShownErrors();
    viewport()->update();
    emit entriesChanged();
}

const EntryIndex& LogTextView::waitForEntries() {
    if (!entries_) {
        if (reader_.joinable())
            takeEntries(generation_);
        else
            startEntries();
    }
    if (!entries_) // only when a reading was stopped without a text
        entries_ = std::make_unique<EntryIndex>();
    return *entries_;
}

void LogTextView::updateShownErrors() {
    shownErrors_.clear();
    if (!entries_)
        return;
    if (!document_.isFiltered()) {
        shownErrors_ = entries_->errors();
    } else {
        for (std::int64_t e : entries_->errors())
            if (selection_.contains(entries_->firstLine(e)))
                shownErrors_.push_back(e);
    }
    if (ruler_)
        ruler_->refresh();
}

std::int64_t LogTextView::fullLineOf(std::int64_t shownLine) const {
    return document_.isFiltered() ? selection_.fullLine(shownLine) : shownLine;
}

std::int64_t LogTextView::shownLineOf(std::int64_t fullLine) const {
    return document_.isFiltered() ? selection_.shownLine(fullLine) : fullLine;
}

std::int64_t LogTextView::shownEntryCount() const {
    if (!entries_)
        return 0;
    if (!document_.isFiltered())
        return entries_->count();
    // Whole entries are shown, so each run of lines holds the entries from its first to its last.
    std::int64_t n = 0;
    for (const LineRange& r : selection_.ranges())
        n += entries_->entryOfLine(r.end - 1) - entries_->entryOfLine(r.first) + 1;
    return n;
}

void LogTextView::setEntryFilter(const EintragsFilter& filter, IProgress* progress) {
    const std::int64_t caretLine = fullLineOf(document_.lineColumn(cursor_).line);
    filter_ = filter;
    applyFilter(progress);
    // The caret keeps its line when it is shown, else goes to the next line shown.
    goToLine(std::min(shownLineOf(caretLine), std::max<std::int64_t>(0, document_.lineCount() - 1)));
}

void LogTextView::applyFilter(IProgress* progress) {
    const EntryIndex& entries = waitForEntries();
    if (filter_.empty()) {
        document_.clearLineFilter();
        selection_ = LineSelection();
    } else {
        const std::vector<LineRange> ranges = FilterEntries(document_, entries, filter_, 0, progress);
        document_.setLineFilter(FilteredLineIndex(document_.fullIndex(), ranges));
        selection_ = LineSelection(ranges);
    }
    updateScrollBars();
    updateShownErrors();
    viewport()->update();
    emit entriesChanged();
}

bool LogTextView::showsLastLine() const {
    return firstVisibleLine() + visibleRowCount() >= document_.lineCount();
}

void LogTextView::appendText(std::string_view bytes) {
    if (bytes.empty())
        return;
    const bool atEnd = showsLastLine();
    const bool caretAtEnd = selectionLength() == 0 && cursor_ == document_.textLength();
    EntryIndex& entries = const_cast<EntryIndex&>(waitForEntries());
    document_.appendBytes(bytes);
    const std::int64_t from = ExtendEntryIndex(entries, document_, layout_);
    if (LineIndex* shown = document_.filterIndex()) {
        // The last entry was read again: its shown lines go, and it is filtered anew.
        const std::int64_t keep = selection_.shownLine(from);
        while (shown->count() > keep)
            shown->removeLast();
        selection_.truncate(from);
        const std::int64_t fromEntry = std::max<std::int64_t>(0, entries.entryOfLine(from));
        const std::vector<LineRange> ranges = FilterEntries(document_, entries, filter_, fromEntry);
        AppendFilteredLines(*shown, document_.fullIndex(), ranges);
        selection_.append(ranges);
    }
    updateScrollBars();
    if (caretAtEnd)
        select(document_.textLength(), document_.textLength());
    if (atEnd)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    updateShownErrors();
    viewport()->update();
    emit entriesChanged();
}

void LogTextView::goToLine(std::int64_t shownLine) {
    if (document_.lineCount() == 0)
        return;
    shownLine = std::clamp<std::int64_t>(shownLine, 0, document_.lineCount() - 1);
    const std::int64_t pos = document_.lineStart(shownLine);
    goalColumn_ = -1;
    select(pos, pos);
    verticalScrollBar()->setValue(clampRow(shownLine - kContextRows));
    horizontalScrollBar()->setValue(0);
}

void LogTextView::showError(std::size_t index) {
    goToLine(shownLineOf(entries_->firstLine(shownErrors_[index])));
    emit errorShown(static_cast<std::int64_t>(index), static_cast<std::int64_t>(shownErrors_.size()));
}

bool LogTextView::goToError(bool forward) {
    const EntryIndex& entries = waitForEntries();
    if (shownErrors_.empty())
        return false;
    const std::int64_t here = entries.entryOfLine(fullLineOf(document_.lineColumn(cursor_).line));
    // The first shown error entry behind the caret's entry, or the last before it.
    const auto after = std::upper_bound(shownErrors_.begin(), shownErrors_.end(), here);
    if (forward) {
        if (after == shownErrors_.end())
            return false;
        showError(static_cast<std::size_t>(after - shownErrors_.begin()));
        return true;
    }
    auto before = std::lower_bound(shownErrors_.begin(), shownErrors_.end(), here);
    if (before == shownErrors_.begin())
        return false;
    showError(static_cast<std::size_t>(before - shownErrors_.begin()) - 1);
    return true;
}

bool LogTextView::goToErrorNear(std::int64_t shownLine) {
    const EntryIndex& entries = waitForEntries();
    if (shownErrors_.empty())
        return false;
    const std::int64_t fullLine = fullLineOf(shownLine);
    auto it =
        std::lower_bound(shownErrors_.begin(), shownErrors_.end(), fullLine,
                         [&](std::int64_t e, std::int64_t line) { return entries.firstLine(e) < line; });
    std::size_t index = static_cast<std::size_t>(it - shownErrors_.begin());
    if (it == shownErrors_.end() || (it != shownErrors_.begin() && fullLine - entries.firstLine(*(it - 1)) <
                                                                       entries.firstLine(*it) - fullLine))
        --index;
    showError(index);
    return true;
}

bool LogTextView::goToTime(TDateTime time) {
    const EntryIndex& entries = waitForEntries();
    const std::int64_t entry = entries.firstAtOrAfter(time);
    if (entry >= entries.count())
        return false;
    // A filter may hide that entry: then the next one shown.
    const std::int64_t shown = shownLineOf(entries.firstLine(entry));
    if (shown >= document_.lineCount())
        return false;
    goToLine(shown);
    return true;
}

} // namespace infemora
