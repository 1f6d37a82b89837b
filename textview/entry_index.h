#pragma once
// Where the entries of a log text begin, with each entry's time stamp and kind, one compact
// record per entry built in one pass over the lines. Going to a time is a binary search over
// the stamps, the error entries are a list of their own for the overview ruler and for stepping
// from error to error, and the timeline counts the entries per hour from it.
//
// How a text is cut into entries depends on the log:
// - an info log: an entry begins at the first line and at every line with "<<" at positions 6
//   and 7; its stamp is that of its first "##" line, and that line says whether it is an error
//   entry ("NONE-Meldung" before "Fehler-Meldung", as the evaluation reads them);
// - the transfer log: an entry begins at every line whose first eight characters are a date
//   (JJJJMMTT), followed by a blank and HHMMSS for the time when they are there;
// - the menu log: an entry begins at every line whose text before the first "ø" is a date in
//   the short date format; the text between the first and the second "ø" is its time.
// Other lines belong to the entry before them.
#include "host/datetime.h"
#include "merge/infoprot_layout.h"
#include "textview/line_index.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

class LogDocument;

enum class EntryLayout { Info, Transfer, Menu };
enum class EntryKind : std::uint8_t { Plain = 0, None = 1, Fehler = 2 };

// The layout of a file by its name: the transfer and menu logs and their archives, else info.
EntryLayout LayoutForFile(const std::string& path);

// What a line is, for painting it.
enum class LineMark { Plain, Start, Separator, Protokoll };
// The mark of an info-log line from its first bytes (at most a few hundred are looked at).
LineMark MarkOfLine(std::string_view bytes);

// Whether the line begins an entry of the layout (the first line of a text always does).
bool StartsEntry(EntryLayout layout, std::string_view line);

// The kind an info-log stamp line gives its entry.
EntryKind KindOfStampLine(std::string_view line);

// Lines [first, end) of a text.
struct LineRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
    bool operator==(const LineRange&) const = default;
};

class EntryIndex {
public:
    static constexpr std::int64_t kNoKey = std::numeric_limits<std::int64_t>::min();

    std::int64_t count() const { return static_cast<std::int64_t>(first_.size()); }
    // Lines the entries cover: [0, lineCount()).
    std::int64_t lineCount() const { return lines_; }
    std::int64_t firstLine(std::int64_t entry) const { return first_[static_cast<std::size_t>(entry)]; }
    std::int64_t endLine(std::int64_t entry) const {
        return entry + 1 < count() ? first_[static_cast<std::size_t>(entry + 1)] : lines_;
    }
    // The latest stamp up to and including this entry (milliseconds of TDateTime), so that keys
    // never fall and entries without a stamp of their own stand at the time of those before
    // them; kNoKey before the first stamp.
    std::int64_t key(std::int64_t entry) const { return key_[static_cast<std::size_t>(entry)]; }
    EntryKind kind(std::int64_t entry) const {
        return static_cast<EntryKind>(flags_[static_cast<std::size_t>(entry)] & kKindBits);
    }
    // The entry has a valid time stamp of its own.
    bool hasStamp(std::int64_t entry) const {
        return (flags_[static_cast<std::size_t>(entry)] & kStampBit) != 0;
    }

    // The entry that holds the line; -1 for none.
    std::int64_t entryOfLine(std::int64_t line) const;
    // The first entry whose key is at or after t; count() when there is none.
    std::int64_t firstAtOrAfter(TDateTime t) const;

    // The error entries (kind None or Fehler) in text order.
    const std::vector<std::int64_t>& errors() const { return errors_; }
    // Place in errors() of the first error entry at or after the entry; errors().size() if none.
    std::size_t errorAtOrAfter(std::int64_t entry) const;

    std::size_t memoryBytes() const;
    void clear();

private:
    friend class EntryIndexBuilder;
    static constexpr std::uint8_t kKindBits = 3;
    static constexpr std::uint8_t kStampBit = 4;

    std::vector<std::int64_t> first_;
    std::vector<std::int64_t> key_;
    std::vector<std::uint8_t> flags_;
    std::vector<std::int64_t> errors_;
    std::int64_t lines_ = 0;
};

// Feeds lines in order into an index.
class EntryIndexBuilder {
public:
    EntryIndexBuilder(EntryIndex& index, EntryLayout layout);
    // Takes out the last entry, so that its lines and those behind it can be fed again (a log
    // that grows: its last entry may get more lines). Returns the line to feed from.
    std::int64_t reopenLastEntry();
    void addLine(std::string_view bytes) {
        // Most lines of an info log neither begin an entry nor carry its stamp.
        if (layout_ == EntryLayout::Info && index_.lines_ > 0 && !IstStartZeile(bytes) &&
            (stampSeen_ || !IstZeitstempelZeile(bytes))) {
            ++index_.lines_;
            return;
        }
        addOtherLine(bytes);
    }
    std::int64_t nextLine() const { return index_.lines_; }

private:
    void addOtherLine(std::string_view bytes);
    void startEntry();
    void takeStamp(TDateTime stamp);
    void setKind(EntryKind kind);

    EntryIndex& index_;
    EntryLayout layout_;
    bool stampSeen_ = false; // the current entry's stamp line was found
    std::int64_t running_ = EntryIndex::kNoKey;
    // Neighbouring entries mostly share their day: its digits are converted once.
    DatumsCache datumsCache_;
};

// The entries around lines [first, end) of the whole text, for painting them before the index
// of the whole text is there: from the nearest line at most `reach` lines before first that
// begins an entry, to a little behind end. Line numbers of `entries` count from `from`.
struct EntryWindow {
    std::int64_t from = 0;
    EntryIndex entries;
};
EntryWindow EntriesAround(const LogDocument& doc, EntryLayout layout, std::int64_t first, std::int64_t end,
                          std::int64_t reach = 2000);

// One pass over every line of the document (all lines, also while a filter shows a selection).
// With stop set meanwhile the pass ends early and the index is incomplete.
EntryIndex BuildEntryIndex(const LogDocument& doc, EntryLayout layout,
                           const std::atomic<bool>* stop = nullptr);
// Brings the index up to the lines the document has now: its last entry and what follows are
// read again. Returns the first line that was read again.
std::int64_t ExtendEntryIndex(EntryIndex& index, const LogDocument& doc, EntryLayout layout);

} // namespace infemora
