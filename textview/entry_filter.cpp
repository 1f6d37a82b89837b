#include "textview/entry_filter.h"

#include "host/errors.h"
#include "host/fileutil.h"
#include "textview/case_fold.h"
#include "textview/line_scanner.h"
#include "textview/log_document.h"
#include "textview/text_search.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace infemora {

namespace {

constexpr std::int64_t kProgressLines = 1 << 16;
constexpr std::int64_t kSpanBatch = 1024;

struct Needle {
    std::string upper;
    bool enthalten;
};

std::vector<Needle> needlesOf(const EintragsFilter& filter) {
    std::vector<Needle> out;
    for (const auto& b : filter.bedingungen) {
        std::string upper = SuchtextNormalisieren(b.text);
        if (!upper.empty())
            out.push_back({std::move(upper), b.enthalten});
    }
    return out;
}

void addRange(std::vector<LineRange>& ranges, LineRange r) {
    if (r.first >= r.end)
        return;
    if (!ranges.empty() && ranges.back().end == r.first)
        ranges.back().end = r.end;
    else
        ranges.push_back(r);
}

LineBreak breakOfWidth(int width) {
    return width == 2 ? LineBreak::CrLf : width == 1 ? LineBreak::Lf : LineBreak::None;
}

} // namespace

bool EintragsFilter::empty() const {
    return needlesOf(*this).empty();
}

std::vector<LineRange> FilterEntries(const LogDocument& doc, const EntryIndex& entries,
                                     const EintragsFilter& filter, std::int64_t fromEntry,
                                     IProgress* progress) {
    std::vector<LineRange> ranges;
    const LineIndex& lines = doc.fullIndex();
    fromEntry = std::max<std::int64_t>(fromEntry, 0);
    if (fromEntry >= entries.count())
        return ranges;
    const std::int64_t first = entries.firstLine(fromEntry);
    const std::int64_t end = std::min(entries.lineCount(), lines.count());
    const std::vector<Needle> needles = needlesOf(filter);
    if (needles.empty()) {
        addRange(ranges, {first, end});
        return ranges;
    }
    const bool onlyEnthalten =
        std::all_of(needles.begin(), needles.end(), [](const Needle& n) { return n.enthalten; });

    std::vector<char> found(needles.size(), 0);
    std::size_t foundCount = 0;
    bool decided = false; // nothing further in the entry can change whether it passes
    bool fails = false;
    std::int64_t entry = fromEntry;
    std::int64_t entryEnd = entries.endLine(entry);
    auto closeEntry = [&] {
        bool passes = !fails;
        for (std::size_t i = 0; passes && i < needles.size(); ++i)
            passes = !needles[i].enthalten || found[i];
        if (passes)
            addRange(ranges, {entries.firstLine(entry), std::min(entryEnd, end)});
        std::fill(found.begin(), found.end(), 0);
        foundCount = 0;
        decided = fails = false;
    };

    LineScanner scan(doc, lines, first, end);
    std::string folded;
    std::int64_t line = 0;
    std::string_view bytes;
    while (scan.next(line, bytes)) {
        while (line >= entryEnd) {
            closeEntry();
            entryEnd = entries.endLine(++entry);
        }
        if (progress && (line - first) % kProgressLines == 0) {
            progress->Step(line - first, end - first);
            progress->Pump();
        }
        if (decided)
            continue;
        // Each line is folded once, whatever the number of texts.
        folded.resize(bytes.size());
        FoldBytes1252(reinterpret_cast<const unsigned char*>(bytes.data()),
                      reinterpret_cast<unsigned char*>(folded.data()), bytes.size());
        for (std::size_t i = 0; i < needles.size(); ++i) {
            if (found[i] || folded.find(needles[i].upper) == std::string::npos)
                continue;
            found[i] = 1;
            ++foundCount;
            if (!needles[i].enthalten) {
                decided = fails = true;
                break;
            }
        }
        decided = decided || (onlyEnthalten && foundCount == needles.size());
    }
    if (entry < entries.count())
        closeEntry();
    return ranges;
}

void AppendFilteredLines(LineIndex& shown, const LineIndex& full, const std::vector<LineRange>& ranges) {
    std::vector<LineSpan> batch(kSpanBatch);
    for (const LineRange& r : ranges) {
        const std::int64_t end = std::min(r.end, full.count());
        for (std::int64_t line = r.first; line < end;) {
            const std::int64_t n = std::min(kSpanBatch, end - line);
            full.spans(line, n, batch.data());
            for (std::int64_t k = 0; k < n; ++k)
                shown.addLine(batch[static_cast<std::size_t>(k)].byteStart,
                              batch[static_cast<std::size_t>(k)].length,
                              breakOfWidth(full.breakBytes(line + k)));
            line += n;
        }
    }
}

LineIndex FilteredLineIndex(const LineIndex& full, const std::vector<LineRange>& ranges) {
    LineIndex shown;
    AppendFilteredLines(shown, full, ranges);
    return shown;
}

// ---------------------------------------------------------------------------------------------

LineSelection::LineSelection(const std::vector<LineRange>& ranges) {
    append(ranges);
}

void LineSelection::append(const std::vector<LineRange>& ranges) {
    for (const LineRange& r : ranges) {
        if (r.first >= r.end)
            continue;
        const std::int64_t before = shownCount();
        if (!ranges_.empty() && ranges_.back().end == r.first) {
            ranges_.back().end = r.end;
            shownBefore_.back() = before + (r.end - r.first);
        } else {
            ranges_.push_back(r);
            shownBefore_.push_back(before + (r.end - r.first));
        }
    }
}

void LineSelection::truncate(std::int64_t fullLine) {
    while (!ranges_.empty() && ranges_.back().first >= fullLine) {
        ranges_.pop_back();
        shownBefore_.pop_back();
    }
    if (!ranges_.empty() && ranges_.back().end > fullLine) {
        shownBefore_.back() -= ranges_.back().end - fullLine;
        ranges_.back().end = fullLine;
    }
}

std::int64_t LineSelection::shownLine(std::int64_t fullLine) const {
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), fullLine,
                               [](std::int64_t l, const LineRange& r) { return l < r.end; });
    if (it == ranges_.end())
        return shownCount();
    const auto i = static_cast<std::size_t>(it - ranges_.begin());
    const std::int64_t base = i == 0 ? 0 : shownBefore_[i - 1];
    return fullLine < it->first ? base : base + (fullLine - it->first);
}

bool LineSelection::contains(std::int64_t fullLine) const {
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), fullLine,
                               [](std::int64_t l, const LineRange& r) { return l < r.end; });
    return it != ranges_.end() && it->first <= fullLine;
}

std::int64_t LineSelection::fullLine(std::int64_t shownLine) const {
    if (ranges_.empty())
        return 0;
    auto it = std::upper_bound(shownBefore_.begin(), shownBefore_.end(), shownLine);
    if (it == shownBefore_.end())
        return ranges_.back().end;
    const auto i = static_cast<std::size_t>(it - shownBefore_.begin());
    const std::int64_t base = i == 0 ? 0 : shownBefore_[i - 1];
    return ranges_[i].first + std::max<std::int64_t>(0, shownLine - base);
}

// ---------------------------------------------------------------------------------------------

GefilterteKopie::GefilterteKopie(const LogDocument& text, EntryLayout layout, const EintragsFilter& filter) {
    write(text, layout, filter);
}

GefilterteKopie::GefilterteKopie(const std::string& file, EntryLayout layout, const EintragsFilter& filter) {
    LogDocument text;
    text.open(file);
    write(text, layout, filter);
}

void GefilterteKopie::write(const LogDocument& text, EntryLayout layout, const EintragsFilter& filter) {
    const EntryIndex entries = BuildEntryIndex(text, layout);
    const LineIndex shown = FilteredLineIndex(text.fullIndex(), FilterEntries(text, entries, filter));

    std::string name = HiddenTempTemplate(text.path());
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw EFileError("Datei " + name + " kann nicht angelegt werden: " + std::strerror(errno));
    path_ = name;
    auto fail = [this](int error) {
        ::close(fd_);
        fd_ = -1;
        ::unlink(path_.c_str());
        throw EFileError("Datei " + path_ + " kann nicht geschrieben werden: " + std::strerror(error));
    };
    std::string out;
    auto flush = [&] {
        for (std::size_t done = 0; done < out.size();) {
            const ssize_t n = ::write(fd_, out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail(n < 0 ? errno : EIO);
            done += static_cast<std::size_t>(n);
        }
        out.clear();
    };
    // Each shown line with CR LF, as a save of the filtered view writes it.
    LineScanner scan(text, shown, 0, shown.count());
    std::int64_t line = 0;
    std::string_view bytes;
    while (scan.next(line, bytes)) {
        out.append(bytes);
        out.append("\r\n");
        if (out.size() >= (std::size_t{1} << 20))
            flush();
    }
    flush();
}

GefilterteKopie::~GefilterteKopie() {
    if (fd_ >= 0)
        ::close(fd_);
    ::unlink(path_.c_str());
}

} // namespace infemora
