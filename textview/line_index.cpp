#include "textview/line_index.h"

#include <algorithm>
#include <bit>
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
    expectedNext_ = 0;
    lastBreak_ = LineBreak::None;
    gaps_.clear();
    gapTotal_ = 0;
}

namespace {

int widthOf(LineBreak lineBreak) {
    switch (lineBreak) {
    case LineBreak::None:
        return 0;
    case LineBreak::CrLf:
        return 2;
    default:
        return 1;
    }
}

} // namespace

void LineIndex::addLine(std::uint64_t byteStart, std::uint64_t length, LineBreak lineBreak) {
    if (count_ == 0) {
        gapTotal_ = byteStart; // bytes before the first line are left out of positions too
    } else if (byteStart > expectedNext_) {
        const std::int64_t previous = count_ - 1;
        const std::uint64_t gap = byteStart - expectedNext_;
        chunks_[previous / kLinesPerBlock / kBlocksPerChunk][previous / kLinesPerBlock % kBlocksPerChunk]
            .gapMask |= std::uint64_t{1} << (previous % kLinesPerBlock);
        gaps_.emplace_back(previous, gap);
        gapTotal_ += gap;
    }
    const std::int64_t blockNo = count_ / kLinesPerBlock;
    const int row = static_cast<int>(count_ % kLinesPerBlock);
    if (row == 0) {
        // A block taken out again by removeLast is used once more.
        if (static_cast<std::size_t>(blockNo / kBlocksPerChunk) >= chunks_.size())
            chunks_.push_back(std::make_unique<Block[]>(kBlocksPerChunk));
        Block& fresh = chunks_[blockNo / kBlocksPerChunk][blockNo % kBlocksPerChunk];
        fresh.base = byteStart;
        fresh.crlfBefore = crlfCount_;
        fresh.crlfMask = 0;
        fresh.gapBefore = gapTotal_;
        fresh.gapMask = 0;
    }
    Block& b = chunks_[blockNo / kBlocksPerChunk][blockNo % kBlocksPerChunk];
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
    expectedNext_ = lastEnd_ + static_cast<std::uint64_t>(widthOf(lineBreak));
    lastBreak_ = lineBreak;
    maxLength_ = std::max(maxLength_, length);
    ++count_;
}

void LineIndex::removeLast() {
    if (count_ <= 1) {
        clear();
        return;
    }
    const std::int64_t last = count_ - 1;
    const std::int64_t previous = last - 1;
    const std::uint64_t previousStart = byteStart(previous);
    const std::uint64_t previousLength = length(previous);
    Block& b = chunks_[last / kLinesPerBlock / kBlocksPerChunk][last / kLinesPerBlock % kBlocksPerChunk];
    const std::uint64_t bit = std::uint64_t{1} << (last % kLinesPerBlock);
    if (b.crlfMask & bit) {
        b.crlfMask &= ~bit;
        --crlfCount_;
    }
    Block& p =
        chunks_[previous / kLinesPerBlock / kBlocksPerChunk][previous / kLinesPerBlock % kBlocksPerChunk];
    const std::uint64_t previousBit = std::uint64_t{1} << (previous % kLinesPerBlock);
    if (p.gapMask & previousBit) {
        p.gapMask &= ~previousBit;
        gapTotal_ -= gaps_.back().second;
        gaps_.pop_back();
    }
    // Every line but the last has a break: CR LF, or one byte (LF or CR).
    lastBreak_ = (p.crlfMask & previousBit) ? LineBreak::CrLf : LineBreak::Lf;
    lastEnd_ = previousStart + previousLength;
    expectedNext_ = lastEnd_ + static_cast<std::uint64_t>(widthOf(lastBreak_));
    --count_;
}

int LineIndex::breakBytes(std::int64_t line) const {
    if (line + 1 >= count_)
        return widthOf(lastBreak_);
    const Block& b = block(line / kLinesPerBlock);
    return ((b.crlfMask >> (line % kLinesPerBlock)) & 1) ? 2 : 1;
}

std::uint64_t LineIndex::gapAfter(std::int64_t line) const {
    auto it = std::lower_bound(
        gaps_.begin(), gaps_.end(), line,
        [](const std::pair<std::int64_t, std::uint64_t>& g, std::int64_t l) { return g.first < l; });
    return it != gaps_.end() && it->first == line ? it->second : 0;
}

std::uint64_t LineIndex::gapBefore(std::int64_t line) const {
    const Block& b = block(line / kLinesPerBlock);
    const int row = static_cast<int>(line % kLinesPerBlock);
    std::uint64_t sum = b.gapBefore;
    // Gaps inside a block are rare: only a filtered index has them.
    for (std::uint64_t rows = b.gapMask & ((std::uint64_t{1} << row) - 1); rows != 0; rows &= rows - 1)
        sum += gapAfter(line - row + std::countr_zero(rows));
    return sum;
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
    const std::uint64_t gap = ((b.gapMask >> row) & 1) ? gapAfter(line) : 0;
    return byteStart(line + 1) - byteStart(line) - breakBytes - gap;
}

void LineIndex::spans(std::int64_t first, std::int64_t count, LineSpan* out) const {
    // First the starts, with the break width (and a gap behind) parked in length, then the
    // lengths from the start of the following line.
    for (std::int64_t i = 0; i < count;) {
        const std::int64_t line = first + i;
        const Block& b = block(line / kLinesPerBlock);
        const int row = static_cast<int>(line % kLinesPerBlock);
        const int rows = static_cast<int>(std::min<std::int64_t>(kLinesPerBlock - row, count - i));
        for (int r = row; r < row + rows; ++r, ++i) {
            out[i].byteStart = b.wideSlot != 0 ? wide_[b.wideSlot - 1][r] : b.base + b.delta[r];
            out[i].length = ((b.crlfMask >> r) & 1) ? 2 : 1;
            if ((b.gapMask >> r) & 1)
                out[i].length += gapAfter(line - row + r);
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
    return byteStart(line) - crlfBefore(line) - gapBefore(line);
}

std::uint64_t LineIndex::blockPosition(std::int64_t blockNo) const {
    const Block& b = block(blockNo);
    return b.base - b.crlfBefore - b.gapBefore;
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
           wide_.capacity() * sizeof(wide_[0]) + gaps_.capacity() * sizeof(gaps_[0]);
}

} // namespace infemora
