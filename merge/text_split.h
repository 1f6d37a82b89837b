#pragma once
// Where a text being written divides into two files. The writer hands over every byte in order,
// also those after the split, and ends with Finish. It starts the second file at the offset the
// rule names; the rule may name it only some lines after that point (once it has seen what it
// needs), and the writer then moves the bytes past the offset over. A text is divided at most
// once.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace infemora {

class ITextSplit {
public:
    virtual ~ITextSplit() = default;
    // The next bytes of the text. Returns the offset of the second file's first byte once it is
    // known (from then on, every call returns the same); the offset never lies beyond the bytes
    // handed over so far.
    virtual std::optional<std::uint64_t> Feed(const char* data, std::size_t size) = 0;
    // The text has ended; the offset when only its end decides it, nullopt when the whole text
    // stays in the first file.
    virtual std::optional<std::uint64_t> Finish() = 0;
};

} // namespace infemora
