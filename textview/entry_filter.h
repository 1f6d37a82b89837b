#pragma once
// The entry filter by text: only the entries that contain a text, or only those that do not,
// always whole entries. Texts are compared line by line without regard to case, as the search
// compares them, so a text broken across two lines is not found. The window shows the result
// as a selection of the view's lines; the command line writes the same lines.
#include "host/progress.h"
#include "textview/entry_index.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

class LogDocument;

struct EintragsBedingung {
    std::string text;      // Windows-1252, as typed
    bool enthalten = true; // false: only entries without the text
    bool operator==(const EintragsBedingung&) const = default;
};

// Every condition must hold. Texts of blanks only make no condition.
struct EintragsFilter {
    std::vector<EintragsBedingung> bedingungen;
    bool empty() const;
    bool operator==(const EintragsFilter&) const = default;
};

// The entries from fromEntry on that pass, as ranges of the document's lines (all of them, also
// while a filter shows a selection); neighbouring entries make one range. Progress counts lines.
std::vector<LineRange> FilterEntries(const LogDocument& doc, const EntryIndex& entries,
                                     const EintragsFilter& filter, std::int64_t fromEntry = 0,
                                     IProgress* progress = nullptr);

// An index of the lines of ranges (in order) out of full, for LogDocument::setLineFilter.
LineIndex FilteredLineIndex(const LineIndex& full, const std::vector<LineRange>& ranges);
// Adds the lines of ranges, which lie behind those already shown, to shown.
void AppendFilteredLines(LineIndex& shown, const LineIndex& full, const std::vector<LineRange>& ranges);

// Line numbers between the whole text and a selection of its lines.
class LineSelection {
public:
    LineSelection() = default;
    explicit LineSelection(const std::vector<LineRange>& ranges);
    void append(const std::vector<LineRange>& ranges); // behind those held
    // Drops the selected lines at or behind the line of the whole text.
    void truncate(std::int64_t fullLine);

    const std::vector<LineRange>& ranges() const { return ranges_; }
    std::int64_t shownCount() const { return shownBefore_.empty() ? 0 : shownBefore_.back(); }
    // The shown line of a line of the whole text; a line left out gives the next shown one
    // (shownCount() when none follows).
    std::int64_t shownLine(std::int64_t fullLine) const;
    std::int64_t fullLine(std::int64_t shownLine) const;
    bool contains(std::int64_t fullLine) const;

private:
    std::vector<LineRange> ranges_;
    std::vector<std::int64_t> shownBefore_; // shown lines before range i + 1
};

// A copy of a log text with only the entries that pass, line by line with CR LF as the filtered
// view saves it, in a private file beside the text (the document's path); the file goes with the
// object. EFileError.
class GefilterteKopie {
public:
    GefilterteKopie(const LogDocument& text, EntryLayout layout, const EintragsFilter& filter);
    // The same for the text of a file.
    GefilterteKopie(const std::string& file, EntryLayout layout, const EintragsFilter& filter);
    ~GefilterteKopie();
    GefilterteKopie(const GefilterteKopie&) = delete;
    GefilterteKopie& operator=(const GefilterteKopie&) = delete;
    const std::string& path() const { return path_; }
    // The copy, open for reading from its start at any offset (pread, sendfile with an offset).
    int fd() const { return fd_; }

private:
    void write(const LogDocument& text, EntryLayout layout, const EintragsFilter& filter);
    std::string path_;
    int fd_ = -1;
};

} // namespace infemora
