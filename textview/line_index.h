#pragma once
// Where every line of a text starts, kept compact enough for files of hundreds of megabytes:
// lines are grouped in blocks of 64 with one 64-bit base offset per block and a 32-bit delta
// per line, about 4.5 bytes a line.
//
// A character position counts every line break as one character, whatever its bytes, so the
// position of a line is its byte offset minus the CR LF breaks before it; one bit per line
// records which breaks were CR LF.
//
// An index may also hold a selection of a text's lines (the entries a filter lets through): a
// line followed by bytes that are not part of the index records the size of that gap, and
// positions leave the gaps out, as if the lines stood one after the other.
#include "textview/line_break.h"
#include "textview/line_cutter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace infemora {

struct LineSpan {
    std::uint64_t byteStart = 0;
    std::uint64_t length = 0;
};

class LineIndex {
public:
    LineIndex();
    // Deltas above widestDelta make a block keep full offsets; lowered only to test that path.
    explicit LineIndex(std::uint64_t widestDelta);
    ~LineIndex();
    LineIndex(LineIndex&&) noexcept;
    LineIndex& operator=(LineIndex&&) noexcept;

    void clear();

    // Lines are added in order. Only the last line may end without a break. A line that starts
    // behind the end of the one before (its break included) leaves a gap.
    void addLine(std::uint64_t byteStart, std::uint64_t length, LineBreak lineBreak);
    // Takes the last line out again, so that a line still being written can be indexed anew.
    void removeLast();

    std::int64_t count() const { return count_; }
    std::uint64_t byteStart(std::int64_t line) const;
    std::uint64_t length(std::int64_t line) const;
    std::uint64_t position(std::int64_t line) const;
    // Lines [first, first + count), all in the index; much cheaper than line by line.
    void spans(std::int64_t first, std::int64_t count, LineSpan* out) const;
    // The line holding a position; a position on a line break belongs to the line it ends.
    std::int64_t lineAt(std::uint64_t position) const;
    std::uint64_t textLength() const;
    std::uint64_t maxLength() const { return maxLength_; }
    // Bytes of the line break that ends a line (0 for a last line without one).
    int breakBytes(std::int64_t line) const;
    LineBreak lastBreak() const { return lastBreak_; }
    // Byte offset behind the last line and its break.
    std::uint64_t byteEnd() const { return expectedNext_; }
    std::size_t memoryBytes() const;

private:
    static constexpr int kLinesPerBlock = 64;
    static constexpr int kBlocksPerChunk = 1024;

    struct Block {
        std::uint64_t base = 0;       // byte offset of the block's first line
        std::uint64_t crlfBefore = 0; // CR LF breaks before the block's first line
        std::uint64_t crlfMask = 0;   // bit r: line r of the block ends in CR LF
        std::uint64_t gapBefore = 0;  // gap bytes before the block's first line
        std::uint64_t gapMask = 0;    // bit r: a gap follows line r of the block
        std::uint32_t wideSlot = 0;   // 1-based slot in wide_ when a delta outgrew 32 bits
        std::uint32_t delta[kLinesPerBlock] = {};
    };

    const Block& block(std::int64_t blockNo) const;
    std::uint64_t crlfBefore(std::int64_t line) const;
    std::uint64_t blockPosition(std::int64_t blockNo) const;
    std::uint64_t gapAfter(std::int64_t line) const;
    std::uint64_t gapBefore(std::int64_t line) const;

    // Chunks never move once allocated, so growing the index copies nothing.
    std::vector<std::unique_ptr<Block[]>> chunks_;
    std::vector<std::array<std::uint64_t, kLinesPerBlock>> wide_;
    std::uint64_t widestDelta_;
    std::int64_t count_ = 0;
    std::uint64_t crlfCount_ = 0;
    std::uint64_t lastEnd_ = 0; // byte offset behind the last line's text
    std::uint64_t maxLength_ = 0;
    std::uint64_t expectedNext_ = 0; // where a line following without a gap starts
    LineBreak lastBreak_ = LineBreak::None;
    std::vector<std::pair<std::int64_t, std::uint64_t>> gaps_; // line, gap bytes after it
    std::uint64_t gapTotal_ = 0;
};

// Indexes a stream of bytes, handed over in pieces of any size, as LineCutter cuts it.
class LineIndexBuilder {
public:
    explicit LineIndexBuilder(LineIndex& index) : sink_{index}, cutter_(sink_) {}
    // Goes on with bytes that start at this offset (behind the lines already indexed).
    LineIndexBuilder(LineIndex& index, std::uint64_t offset) : sink_{index}, cutter_(sink_, offset) {}
    LineIndexBuilder(const LineIndexBuilder&) = delete;
    LineIndexBuilder& operator=(const LineIndexBuilder&) = delete;
    void feed(const char* data, std::size_t size) { cutter_.feed(data, size); }
    void finish() { cutter_.finish(); }

private:
    struct ToIndex {
        LineIndex& index;
        void content(const char*, const char*, std::uint64_t) {}
        void line(std::uint64_t start, std::uint64_t length, LineBreak lineBreak) {
            index.addLine(start, length, lineBreak);
        }
    };
    ToIndex sink_;
    LineCutter<ToIndex> cutter_;
};

} // namespace infemora
