#include "textview/entry_index.h"

#include "host/codec1252.h"
#include "host/fileutil.h"
#include "merge/infoprot_layout.h"
#include "textview/line_scanner.h"
#include "textview/log_document.h"

#include <algorithm>
#include <memory>

namespace infemora {

namespace {

constexpr std::string_view kMeldung = "-Meldung";
// Marks are read from the start of a line; a line of megabytes is not searched to its end.
constexpr std::size_t kMarkReach = 512;

bool digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view trimmed(std::string_view text) {
    const auto b = text.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

} // namespace

EntryLayout LayoutForFile(const std::string& path) {
    const std::string name = UpperCase1252(ExtractFileName(path));
    if (name == "TRANSFER.LOG" || name.starts_with("ALT-TRAN."))
        return EntryLayout::Transfer;
    if (name == "MENU.LOG" || name.starts_with("ALT-MENU."))
        return EntryLayout::Menu;
    return EntryLayout::Info;
}

LineMark MarkOfLine(std::string_view bytes) {
    if (IstStartZeile(bytes))
        return LineMark::Start;
    bytes = bytes.substr(0, kMarkReach);
    if (bytes.find(Trennzeile) != std::string_view::npos)
        return LineMark::Separator;
    if (bytes.find(Protokollstart) != std::string_view::npos ||
        bytes.find(Protokollende) != std::string_view::npos)
        return LineMark::Protokoll;
    return LineMark::Plain;
}

namespace {

bool transferDate(std::string_view line, TDateTime& day) {
    return line.size() >= 8 && digits(line.substr(0, 8)) && TryJJJJMMTT2Date(line.substr(0, 8), day);
}

bool menuDate(std::string_view line, TDateTime& day, std::size_t& separator) {
    separator = line.find('\xF8');
    return separator != std::string_view::npos && TryStrToDate(trimmed(line.substr(0, separator)), day);
}

} // namespace

bool StartsEntry(EntryLayout layout, std::string_view line) {
    TDateTime day;
    std::size_t separator = 0;
    switch (layout) {
    case EntryLayout::Info:
        return IstStartZeile(line);
    case EntryLayout::Transfer:
        return transferDate(line, day);
    case EntryLayout::Menu:
        return menuDate(line, day, separator);
    }
    return false;
}

EntryKind KindOfStampLine(std::string_view line) {
    // One pass for both words: each "-Meldung" is checked for the word before it.
    bool fehler = false;
    for (auto at = line.find(kMeldung); at != std::string_view::npos; at = line.find(kMeldung, at + 1)) {
        const std::string_view before = line.substr(0, at + kMeldung.size());
        if (before.ends_with(NoneMeldung))
            return EntryKind::None;
        fehler = fehler || before.ends_with(FehlerMeldung);
    }
    return fehler ? EntryKind::Fehler : EntryKind::Plain;
}

// ---------------------------------------------------------------------------------------------

std::int64_t EntryIndex::entryOfLine(std::int64_t line) const {
    if (line < 0 || line >= lines_ || first_.empty())
        return -1;
    return static_cast<std::int64_t>(std::upper_bound(first_.begin(), first_.end(), line) - first_.begin()) -
           1;
}

std::int64_t EntryIndex::firstAtOrAfter(TDateTime t) const {
    return static_cast<std::int64_t>(std::lower_bound(key_.begin(), key_.end(), t.ms) - key_.begin());
}

std::size_t EntryIndex::errorAtOrAfter(std::int64_t entry) const {
    return static_cast<std::size_t>(std::lower_bound(errors_.begin(), errors_.end(), entry) -
                                    errors_.begin());
}

std::size_t EntryIndex::memoryBytes() const {
    return first_.capacity() * sizeof(first_[0]) + key_.capacity() * sizeof(key_[0]) + flags_.capacity() +
           errors_.capacity() * sizeof(errors_[0]);
}

void EntryIndex::clear() {
    *this = EntryIndex();
}

// ---------------------------------------------------------------------------------------------

EntryIndexBuilder::EntryIndexBuilder(EntryIndex& index, EntryLayout layout) : index_(index), layout_(layout) {
    if (index_.count() > 0)
        running_ = index_.key_.back();
}

std::int64_t EntryIndexBuilder::reopenLastEntry() {
    if (index_.first_.empty()) {
        index_.lines_ = 0;
        return 0;
    }
    const auto last = index_.count() - 1;
    index_.lines_ = index_.first_.back();
    index_.first_.pop_back();
    index_.key_.pop_back();
    index_.flags_.pop_back();
    if (!index_.errors_.empty() && index_.errors_.back() == last)
        index_.errors_.pop_back();
    running_ = index_.key_.empty() ? EntryIndex::kNoKey : index_.key_.back();
    stampSeen_ = false;
    return index_.lines_;
}

void EntryIndexBuilder::startEntry() {
    index_.first_.push_back(index_.lines_);
    index_.key_.push_back(running_);
    index_.flags_.push_back(0);
    stampSeen_ = false;
}

void EntryIndexBuilder::takeStamp(TDateTime stamp) {
    running_ = std::max(running_, stamp.ms);
    index_.key_.back() = running_;
    index_.flags_.back() |= EntryIndex::kStampBit;
}

void EntryIndexBuilder::setKind(EntryKind kind) {
    if (kind == EntryKind::Plain)
        return;
    index_.flags_.back() |= static_cast<std::uint8_t>(kind);
    index_.errors_.push_back(index_.count() - 1);
}

void EntryIndexBuilder::addOtherLine(std::string_view bytes) {
    const bool first = index_.lines_ == 0;
    switch (layout_) {
    case EntryLayout::Info: {
        if (first || IstStartZeile(bytes))
            startEntry();
        if (!stampSeen_ && IstZeitstempelZeile(bytes)) {
            stampSeen_ = true;
            TDateTime stamp;
            if (TryZeitstempelAusZeile(bytes, stamp, datumsCache_))
                takeStamp(stamp);
            setKind(KindOfStampLine(bytes));
        }
        break;
    }
    case EntryLayout::Transfer: {
        TDateTime day;
        const bool dated = transferDate(bytes, day);
        if (first || dated)
            startEntry();
        if (dated) {
            TDateTime time;
            const std::string_view hhmmss = bytes.substr(std::min<std::size_t>(bytes.size(), 9), 6);
            if (bytes.size() < 15 || bytes[8] != ' ' || !digits(hhmmss) ||
                !TryEncodeTime(StrToIntDef(hhmmss.substr(0, 2), 0), StrToIntDef(hhmmss.substr(2, 2), 0),
                               StrToIntDef(hhmmss.substr(4, 2), 0), 0, time))
                time = TDateTime();
            takeStamp(day + time);
            setKind(KindOfStampLine(bytes));
        }
        break;
    }
    case EntryLayout::Menu: {
        std::size_t o = 0;
        TDateTime day;
        const bool dated = menuDate(bytes, day, o);
        if (first || dated)
            startEntry();
        if (dated) {
            const std::string_view rest = bytes.substr(o + 1);
            TDateTime time;
            if (!TryStrToTime(trimmed(rest.substr(0, rest.find('\xF8'))), time))
                time = TDateTime();
            takeStamp(day + time);
            setKind(KindOfStampLine(bytes));
        }
        break;
    }
    }
    ++index_.lines_;
}

namespace {

// The lines [first, end) in order, each at most its first kLineReach bytes: what begins an entry
// and its stamp and kind stand at the start of a line. Lines are read many at a time.
template <typename Feed>
void forEachLineStart(const LogDocument& doc, const LineIndex& lines, std::int64_t first, std::int64_t end,
                      const std::atomic<bool>* stop, Feed&& feed) {
    constexpr std::int64_t kBatch = 4096;
    constexpr std::uint64_t kBlock = std::uint64_t{1} << 20;
    constexpr std::uint64_t kLineReach = 4096;
    std::vector<LineSpan> spans(kBatch);
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBlock);
    for (std::int64_t line = first; line < end; line += kBatch) {
        if (stop && stop->load(std::memory_order_relaxed))
            return;
        const std::int64_t n = std::min(kBatch, end - line);
        lines.spans(line, n, spans.data());
        for (std::int64_t k = 0; k < n;) {
            const std::uint64_t from = spans[static_cast<std::size_t>(k)].byteStart;
            std::int64_t j = k;
            std::uint64_t to = from;
            // Whole lines up to a block; a line longer than that is read only as far as it matters.
            while (j < n) {
                const LineSpan& s = spans[static_cast<std::size_t>(j)];
                const std::uint64_t end = s.byteStart + std::min(s.length, kLineReach);
                if (j > k && end - from > kBlock)
                    break;
                to = end;
                ++j;
                if (s.length > kLineReach)
                    break;
            }
            const std::size_t got = doc.readBytes(from, buffer.get(), static_cast<std::size_t>(to - from));
            for (; k < j; ++k) {
                const LineSpan& s = spans[static_cast<std::size_t>(k)];
                const std::uint64_t at = s.byteStart - from;
                const std::uint64_t length = std::min(s.length, kLineReach);
                feed(at >= got
                         ? std::string_view()
                         : std::string_view(buffer.get() + at, std::min<std::uint64_t>(length, got - at)));
            }
        }
    }
}

} // namespace

EntryIndex BuildEntryIndex(const LogDocument& doc, EntryLayout layout, const std::atomic<bool>* stop) {
    EntryIndex index;
    EntryIndexBuilder builder(index, layout);
    const LineIndex& lines = doc.fullIndex();
    forEachLineStart(doc, lines, 0, lines.count(), stop,
                     [&](std::string_view bytes) { builder.addLine(bytes); });
    return index;
}

EntryWindow EntriesAround(const LogDocument& doc, EntryLayout layout, std::int64_t first, std::int64_t end,
                          std::int64_t reach) {
    EntryWindow window;
    const LineIndex& lines = doc.fullIndex();
    first = std::clamp<std::int64_t>(first, 0, lines.count());
    end = std::clamp<std::int64_t>(end, first, lines.count());
    // Back to the line that begins the entry holding `first`.
    window.from = first;
    {
        LineScanner back(doc, lines, std::max<std::int64_t>(0, first - reach), first + 1,
                         LineScanner::Direction::Backward, 64 * 1024);
        std::int64_t line = 0;
        std::string_view bytes;
        while (back.next(line, bytes)) {
            window.from = line;
            if (StartsEntry(layout, bytes))
                break;
        }
    }
    // On a little past the end, so that the last entry in sight finds its time-stamp line.
    EntryIndexBuilder builder(window.entries, layout);
    LineScanner scan(doc, lines, window.from, std::min(lines.count(), end + 64),
                     LineScanner::Direction::Forward, 64 * 1024);
    std::int64_t line = 0;
    std::string_view bytes;
    while (scan.next(line, bytes))
        builder.addLine(bytes);
    return window;
}

std::int64_t ExtendEntryIndex(EntryIndex& index, const LogDocument& doc, EntryLayout layout) {
    EntryIndexBuilder builder(index, layout);
    const std::int64_t from = builder.reopenLastEntry();
    const LineIndex& lines = doc.fullIndex();
    forEachLineStart(doc, lines, from, lines.count(), nullptr,
                     [&](std::string_view bytes) { builder.addLine(bytes); });
    return from;
}

} // namespace infemora
