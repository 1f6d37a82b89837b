#pragma once
// Reads a run of consecutive lines of a document in large blocks, for passes over the whole
// text (search, save, copy) that would be slow one read per line.
#include "textview/log_document.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace infemora {

class LineScanner {
public:
    enum class Direction { Forward, Backward };
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

    // Lines [first, end) of the document: from first upwards, or from end - 1 downwards.
    LineScanner(const LogDocument& doc, std::int64_t first, std::int64_t end,
                Direction direction = Direction::Forward, std::size_t blockBytes = kBlockBytes);
    // The same over another index of the document's bytes (all its lines while a filter shows
    // a selection).
    LineScanner(const LogDocument& doc, const LineIndex& lines, std::int64_t first, std::int64_t end,
                Direction direction = Direction::Forward, std::size_t blockBytes = kBlockBytes);

    // The next line and its bytes; the bytes stay valid until the following call. A line
    // the file no longer fully holds comes back shorter.
    bool next(std::int64_t& line, std::string_view& bytes);

private:
    void fillForward(std::int64_t line);
    void fillBackward(std::int64_t line);
    void read(std::uint64_t from, std::uint64_t to);
    std::string_view view(std::int64_t line) const;
    std::int64_t fetch(std::int64_t first, std::int64_t end);

    const LogDocument& doc_;
    const LineIndex& lines_;
    std::int64_t first_;
    std::int64_t end_;
    Direction direction_;
    std::size_t blockBytes_;

    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t held_ = 0;         // bytes actually read into buffer_
    std::uint64_t heldOffset_ = 0; // file offset of buffer_[0]
    std::int64_t heldFirst_ = 0;   // lines whose bytes were read: [heldFirst_, heldEnd_)
    std::int64_t heldEnd_ = 0;
    std::vector<LineSpan> heldSpans_; // where the held lines lie
    std::vector<LineSpan> batch_;
};

} // namespace infemora
