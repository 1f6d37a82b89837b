#include "textview/line_scanner.h"

#include <algorithm>

namespace infemora {

namespace {

// Line positions are fetched in batches of this many, well under one block of bytes.
constexpr std::int64_t kBatchLines = 1024;
// Bounds the positions held for a block of empty lines.
constexpr std::size_t kMaxHeldLines = std::size_t{1} << 16;

std::uint64_t endOf(const LineSpan& span) {
    return span.byteStart + span.length;
}

} // namespace

LineScanner::LineScanner(const LogDocument& doc, std::int64_t first, std::int64_t end, Direction direction,
                         std::size_t blockBytes)
    : LineScanner(doc, doc.shownIndex(), first, end, direction, blockBytes) {}

LineScanner::LineScanner(const LogDocument& doc, const LineIndex& lines, std::int64_t first, std::int64_t end,
                         Direction direction, std::size_t blockBytes)
    : doc_(doc), lines_(lines), first_(std::max<std::int64_t>(first, 0)), end_(std::min(end, lines.count())),
      direction_(direction), blockBytes_(std::max<std::size_t>(blockBytes, 1)) {}

bool LineScanner::next(std::int64_t& line, std::string_view& bytes) {
    if (first_ >= end_)
        return false;
    if (direction_ == Direction::Forward) {
        line = first_++;
        if (line < heldFirst_ || line >= heldEnd_)
            fillForward(line);
    } else {
        line = --end_;
        if (line < heldFirst_ || line >= heldEnd_)
            fillBackward(line);
    }
    bytes = view(line);
    return true;
}

std::string_view LineScanner::view(std::int64_t line) const {
    const LineSpan& span = heldSpans_[static_cast<std::size_t>(line - heldFirst_)];
    const std::uint64_t offset = span.byteStart - heldOffset_;
    if (offset >= held_)
        return {};
    const std::size_t available = held_ - static_cast<std::size_t>(offset);
    return {buffer_.get() + offset,
            static_cast<std::size_t>(std::min<std::uint64_t>(span.length, available))};
}

std::int64_t LineScanner::fetch(std::int64_t first, std::int64_t end) {
    const std::int64_t count = std::min(kBatchLines, end - first);
    batch_.resize(static_cast<std::size_t>(count));
    lines_.spans(first, count, batch_.data());
    return count;
}

// Takes as many lines from the one wanted on as fit into one block; a longer line gets a block
// of its own.
void LineScanner::fillForward(std::int64_t line) {
    heldSpans_.clear();
    std::uint64_t from = 0;
    bool full = false;
    for (std::int64_t next = line; next < end_ && !full;) {
        next += fetch(next, end_);
        if (heldSpans_.empty())
            from = batch_.front().byteStart;
        for (const LineSpan& span : batch_) {
            full = !heldSpans_.empty() &&
                   (endOf(span) - from > blockBytes_ || heldSpans_.size() >= kMaxHeldLines);
            if (full)
                break;
            heldSpans_.push_back(span);
        }
    }
    heldFirst_ = line;
    heldEnd_ = line + static_cast<std::int64_t>(heldSpans_.size());
    read(from, endOf(heldSpans_.back()));
}

void LineScanner::fillBackward(std::int64_t line) {
    heldSpans_.clear();
    std::uint64_t to = 0;
    bool full = false;
    for (std::int64_t end = line + 1; end > first_ && !full;) {
        const std::int64_t start = std::max(first_, end - kBatchLines);
        fetch(start, end);
        end = start;
        if (heldSpans_.empty())
            to = endOf(batch_.back());
        for (auto span = batch_.rbegin(); span != batch_.rend(); ++span) {
            full = !heldSpans_.empty() &&
                   (to - span->byteStart > blockBytes_ || heldSpans_.size() >= kMaxHeldLines);
            if (full)
                break;
            heldSpans_.push_back(*span);
        }
    }
    // Gathered from the last line down; held in file order.
    std::reverse(heldSpans_.begin(), heldSpans_.end());
    heldFirst_ = line + 1 - static_cast<std::int64_t>(heldSpans_.size());
    heldEnd_ = line + 1;
    read(heldSpans_.front().byteStart, to);
}

void LineScanner::read(std::uint64_t from, std::uint64_t to) {
    const auto size = static_cast<std::size_t>(to - from);
    if (size > capacity_) {
        buffer_ = std::make_unique_for_overwrite<char[]>(size);
        capacity_ = size;
    }
    heldOffset_ = from;
    held_ = doc_.readBytes(from, buffer_.get(), size);
}

} // namespace infemora
