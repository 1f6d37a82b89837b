#pragma once
// A log file read line by line through a window that holds only the part still needed, and an
// output file written piece by piece that replaces its target only once it is complete.
//
// The evaluation reads many files of up to 15 MB one after the other. Holding a whole file, or
// a list of its lines, would cost more memory than the collected errors themselves; here a line
// is addressed by the byte offset at which it starts in the file, and the window keeps the bytes
// from the oldest offset the reader may still ask for. Files with a byte-order mark (UTF-8 or
// UTF-16) are rare and are converted whole to Windows-1252 when opened.
#include "host/replacing_file.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

class TextBuffer {
public:
    TextBuffer() = default;
    ~TextBuffer();
    TextBuffer(TextBuffer&& other) noexcept;
    TextBuffer& operator=(TextBuffer&& other) noexcept;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // EFileError when the file cannot be opened or read (also later, while reading on).
    static TextBuffer Open(const std::string& path);
    // Bytes in memory, decoded as a file's bytes would be.
    static TextBuffer FromBytes(std::string_view bytes);

    // Lines end at CR LF, LF or CR; a final line end makes no empty last line. Lines start at
    // offset 0 and after every line end, so a line starts at `pos` exactly when pos is such an
    // offset and HasLine(pos) is true (pos lies before the end of the text).
    bool HasLine(std::size_t pos);
    // The line that starts at `pos`, without its line end; `next` receives the offset of the
    // following line. The view stays valid until the next call that reads on.
    std::string_view LineAt(std::size_t pos, std::size_t& next);
    // Offset of the first occurrence of `part` at or after `from`, npos when none. Reading on,
    // it gives up everything before the line that holds the occurrence.
    std::size_t Find(std::string_view part, std::size_t from);
    // Whether the bytes right before `pos` are `part`, within the line of `pos`.
    bool PrecededBy(std::size_t pos, std::string_view part) const;
    // Offset at which the line holding `pos` starts; `pos` must have been read.
    std::size_t LineStartOf(std::size_t pos) const;
    // Bytes already read and still kept.
    std::string_view Bytes(std::size_t pos, std::size_t len) const;
    // Nothing before `pos` (a line start) will be asked for again.
    void Release(std::size_t pos);

    // Bytes held at the moment (for tests of the window).
    std::size_t Held() const { return buf_.size(); }

private:
    bool readMore();
    void close();

    int fd_ = -1;
    std::string path_;
    bool eof_ = true;
    std::vector<char> buf_;
    std::size_t base_ = 0; // file offset of buf_[0]
    std::size_t len_ = 0;  // valid bytes in buf_
    std::size_t keep_ = 0; // file offset before which nothing is needed
};

} // namespace infemora
