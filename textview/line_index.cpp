#include "textview/line_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace infemora {

LineIndex::LineIndex() : LineIndex(std::numeric_limits<std::uint32_t>::max()) {}
LineIndex::LineIndex(std::uint64_t widestDelta)
    : widestDelta_(std::min<std::uint64_t>(widestDelta, std::numeric_limits<std::uint32_t>::max())) {}
LineIndex::~LineIndex() = default;
LineIndex::LineIndex(LineIndex&&) noexcept = default;
LineIndex& LineIndex::operator=(LineIndex&&) noexcept = default;

void LineIndex::clear() {
    chunks_.clear();
    wide_.clear();
    count_ = 0;
    crlfCount_ = 0;
    lastEnd_ = 0;
    maxLength_ = 0;
}

void LineIndex::addLine(std::uint64_t byteStart, std::uint64_t length, LineBreak lineBreak) {
    const std::int64_t blockNo = count_ / kLinesPerBlock;
    const int row = static_cast<int>(count_ % kLinesPerBlock);
    if (row == 0) {
        if (blockNo % kBlocksPerChunk == 0)
            chunks_.push_back(std::make_unique<Block[]>(kBlocksPerChunk));
        Block& fresh = chunks_.back()[blockNo % kBlocksPerChunk];
        fresh.base = byteStart;
        fresh.crlfBefore = crlfCount_;
    }
    Block& b = chunks_.back()[blockNo % kBlocksPerChunk];
    const std::uint64_t delta = byteStart - b.base;
    if (b.wideSlot != 0) {
        wide_[b.wideSlot - 1][row] = byteStart;
    } else if (delta > widestDelta_) {
        // Only a block holding lines of gigabytes gets here; it keeps full offsets instead.
        auto& starts = wide_.emplace_back();
        for (int r = 0; r < row; ++r)
            starts[r] = b.base + b.delta[r];
        starts[row] = byteStart;
        b.wideSlot = static_cast<std::uint32_t>(wide_.size());
    } else {
        b.delta[row] = static_cast<std::uint32_t>(delta);
    }
    if (lineBreak == LineBreak::CrLf) {
        b.crlfMask |= std::uint64_t{1} << row;
        ++crlfCount_;
    }
    lastEnd_ = byteStart + length;
    maxLength_ = std::max(maxLength_, length);
    ++count_;
}

const LineIndex::Block& LineIndex::block(std::int64_t blockNo) const {
    return chunks_[blockNo / kBlocksPerChunk][blockNo % kBlocksPerChunk];
}

std::uint64_t LineIndex::byteStart(std::int64_t line) const {
    const Block& b = block(line / kLinesPerBlock);
    const int row = static_cast<int>(line % kLinesPerBlock);
    if (b.wideSlot != 0)
        return wide_[b.wideSlot - 1][row];
    return b.base + b.delta[row];
}

std::uint64_t LineIndex::length(std::int64_t line) const {
    if (line + 1 >= count_)
        return lastEnd_ - byteStart(line);
    const Block& b = block(line / kLinesPerBlock);
    const int row = static_cast<int>(line % kLinesPerBlock);
    const std::uint64_t breakBytes = ((b.crlfMask >> row) & 1) ? 2 : 1;
    return byteStart(line + 1) - byteStart(line) - breakBytes;
}

void LineIndex::spans(std::int64_t first, std::int64_t count, LineSpan* out) const {
    // First the starts, with the break width parked in length, then the lengths from the
    // start of the following line.
    for (std::int64_t i = 0; i < count;) {
        const std::int64_t line = first + i;
        const Block& b = block(line / kLinesPerBlock);
        const int row = static_cast<int>(line % kLinesPerBlock);
        const int rows = static_cast<int>(std::min<std::int64_t>(kLinesPerBlock - row, count - i));
        for (int r = row; r < row + rows; ++r, ++i) {
            out[i].byteStart = b.wideSlot != 0 ? wide_[b.wideSlot - 1][r] : b.base + b.delta[r];
            out[i].length = ((b.crlfMask >> r) & 1) ? 2 : 1;
        }
    }
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t line = first + i;
        if (line + 1 >= count_)
            out[i].length = lastEnd_ - out[i].byteStart;
        else
            out[i].length = (i + 1 < count ? out[i + 1].byteStart : byteStart(line + 1)) - out[i].byteStart -
                            out[i].length;
    }
}

std::uint64_t LineIndex::crlfBefore(std::int64_t line) const {
    const Block& b = block(line / kLinesPerBlock);
    const int row = static_cast<int>(line % kLinesPerBlock);
    const std::uint64_t below = (std::uint64_t{1} << row) - 1;
    return b.crlfBefore + static_cast<std::uint64_t>(std::popcount(b.crlfMask & below));
}

std::uint64_t LineIndex::position(std::int64_t line) const {
    return byteStart(line) - crlfBefore(line);
}

std::uint64_t LineIndex::blockPosition(std::int64_t blockNo) const {
    const Block& b = block(blockNo);
    return b.base - b.crlfBefore;
}

std::int64_t LineIndex::lineAt(std::uint64_t pos) const {
    if (count_ == 0)
        return 0;
    // Positions grow strictly from line to line (every line but the last owns its break), so
    // the last block, and then the last line, starting at or before pos holds it.
    std::int64_t lo = 0;
    std::int64_t hi = (count_ - 1) / kLinesPerBlock;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo + 1) / 2;
        if (blockPosition(mid) <= pos)
            lo = mid;
        else
            hi = mid - 1;
    }
    std::int64_t first = lo * kLinesPerBlock;
    std::int64_t last = std::min(count_ - 1, first + kLinesPerBlock - 1);
    while (first < last) {
        const std::int64_t mid = first + (last - first + 1) / 2;
        if (position(mid) <= pos)
            first = mid;
        else
            last = mid - 1;
    }
    return first;
}

std::uint64_t LineIndex::textLength() const {
    if (count_ == 0)
        return 0;
    return position(count_ - 1) + length(count_ - 1);
}

std::size_t LineIndex::memoryBytes() const {
    return chunks_.capacity() * sizeof(chunks_[0]) + chunks_.size() * kBlocksPerChunk * sizeof(Block) +
           wide_.capacity() * sizeof(wide_[0]);
}

void LineIndexBuilder::feed(const char* data, std::size_t size) {
    if (size == 0)
        return;
    const std::uint64_t base = offset_;
    offset_ += size;
    const char* p = data;
    const char* const end = data + size;
    if (pendingCr_) {
        pendingCr_ = false;
        const std::uint64_t crAt = base - 1;
        if (*p == '\n') {
            index_.addLine(lineStart_, crAt - lineStart_, LineBreak::CrLf);
            lineStart_ = base + 1;
            ++p;
        } else {
            index_.addLine(lineStart_, crAt - lineStart_, LineBreak::Cr);
            lineStart_ = base;
        }
    }
    // Each kind of break is looked for with memchr; a cursor is searched again only once the
    // scan has passed it, so a file without CR costs one failed memchr per piece.
    auto find = [end](const char* from, char c) {
        const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
        return hit ? static_cast<const char*>(hit) : end;
    };
    const char* nextLf = find(p, '\n');
    const char* nextCr = find(p, '\r');
    for (;;) {
        const char* q = std::min(nextLf, nextCr);
        if (q == end)
            break;
        const std::uint64_t at = base + static_cast<std::uint64_t>(q - data);
        if (*q == '\n') {
            index_.addLine(lineStart_, at - lineStart_, LineBreak::Lf);
            lineStart_ = at + 1;
            p = q + 1;
        } else if (q + 1 == end) {
            pendingCr_ = true; // the next piece tells whether an LF follows
            break;
        } else if (q[1] == '\n') {
            index_.addLine(lineStart_, at - lineStart_, LineBreak::CrLf);
            lineStart_ = at + 2;
            p = q + 2;
        } else {
            index_.addLine(lineStart_, at - lineStart_, LineBreak::Cr);
            lineStart_ = at + 1;
            p = q + 1;
        }
        if (nextLf < p)
            nextLf = find(p, '\n');
        if (nextCr < p)
            nextCr = find(p, '\r');
    }
}

void LineIndexBuilder::finish() {
    if (pendingCr_) {
        pendingCr_ = false;
        index_.addLine(lineStart_, offset_ - 1 - lineStart_, LineBreak::Cr);
        lineStart_ = offset_;
    }
    if (lineStart_ < offset_) {
        index_.addLine(lineStart_, offset_ - lineStart_, LineBreak::None);
        lineStart_ = offset_;
    }
}

} // namespace infemora
