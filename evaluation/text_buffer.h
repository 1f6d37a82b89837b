#pragma once
// A log file held whole in memory and read line by line without copying its lines, and an
// output file written piece by piece that replaces its target only once it is complete.
//
// The evaluation reads many files of up to 15 MB one after the other. A list of line strings
// would cost several times the file size; here a line is addressed by the byte offset at which
// it starts, and the buffer goes back to the system as soon as the file is done.
#include <cstddef>
#include <string>
#include <string_view>

namespace infemora {

class TextBuffer {
public:
    TextBuffer() = default;
    ~TextBuffer();
    TextBuffer(TextBuffer&& other) noexcept;
    TextBuffer& operator=(TextBuffer&& other) noexcept;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // The whole file. A byte-order mark selects UTF-8 or UTF-16, converted to Windows-1252;
    // without one the bytes are taken as Windows-1252. EFileError when it cannot be read.
    static TextBuffer Load(const std::string& path);
    // The same decoding for bytes already in memory.
    static TextBuffer FromBytes(std::string_view bytes);

    std::string_view bytes() const { return {data_, size_}; }
    std::size_t size() const { return size_; }

    // Lines end at CR LF, LF or CR; a final line end makes no empty last line. A line starts at
    // every offset below size() that follows a line end (or at 0), so "a line at pos exists"
    // reads pos < size().
    // The line that starts at `pos` (pos < size()), without its line end; `next` receives the
    // offset of the following line (size() after the last one).
    std::string_view LineAt(std::size_t pos, std::size_t& next) const;
    // Offset at which the line holding byte `pos` starts.
    std::size_t LineStartOf(std::size_t pos) const;
    // Offset of the first occurrence of `part` at or after `from`, npos when none.
    std::size_t Find(std::string_view part, std::size_t from) const;

private:
    void release();
    void adoptString(std::string text);

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0; // bytes of an anonymous mapping owned by this buffer, 0 when none
    std::string decoded_;    // the text after conversion when the file had a byte-order mark
};

// Writes a file beside the target and renames it over the target only after everything was
// written and flushed to disk; on any failure, or when Commit is never reached, the target
// stays as it was. EFileError on failure.
class ReplacingFileWriter {
public:
    explicit ReplacingFileWriter(std::string path);
    ~ReplacingFileWriter();
    ReplacingFileWriter(const ReplacingFileWriter&) = delete;
    ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

    void Write(std::string_view bytes);
    void WriteLine(std::string_view line) { // with CR LF
        Write(line);
        Write("\r\n");
    }
    void Commit();

private:
    void flushBuffer();
    void writeAll(std::string_view data);

    std::string path_;
    std::string temp_;
    int fd_ = -1;
    std::string buffer_;
};

} // namespace infemora
