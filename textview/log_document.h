#pragma once
// The text behind a log view: a line index over a file that stays on disk, or over a small
// buffer in memory. Bytes are Windows-1252 as the file holds them.
//
// Character positions count each line break as one character, whatever its bytes; the text
// of the document is its lines joined by line breaks, and a final line break in the file
// starts no further line.
//
// A file-backed document keeps its own descriptor and reads lines on demand, so a file that is
// renamed over afterwards still shows what was opened. A file cut short afterwards yields
// shorter or empty lines, never bytes from outside what could be read.
#include "host/textfile.h"
#include "textview/line_index.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace infemora {

struct LineColumn {
    std::int64_t line = 0;
    std::int64_t column = 0;
    bool operator==(const LineColumn&) const = default;
};

class LogDocument {
public:
    LogDocument() = default;
    ~LogDocument();
    LogDocument(const LogDocument&) = delete;
    LogDocument& operator=(const LogDocument&) = delete;

    // EFileError when the file cannot be opened or read, or is no plain file; the document is
    // empty then. The bytes are taken as they are: what is read from a log is written back
    // byte for byte, so nothing here guesses an encoding.
    void open(const std::string& path);
    // The file open under fd (the document keeps a duplicate); path is only its name.
    void openDescriptor(int fd, const std::string& path);
    // A copy of the file as it is now, in a private temp file: the document then holds nothing
    // open under the file's name, so a log shown in a view never keeps merge and shorten from
    // replacing it. With decodeByteOrderMark, a file that starts with a UTF-8 or UTF-16
    // byte-order mark is shown decoded (such files come from editors, not from the logging
    // programs); isDecoded() then says that its lines are not the file's bytes.
    void openCopy(const std::string& path, bool decodeByteOrderMark = false);
    bool isDecoded() const { return decoded_; }
    // The file's bytes behind a decoded document; empty otherwise.
    const std::string& originalBytes() const { return original_; }
    // One item a line, as a list of strings is shown.
    void setLines(const Lines& lines);
    // Bytes cut into lines like a file's.
    void setBytes(std::string bytes);
    void clear();

    const std::string& path() const { return path_; }
    bool isFileBacked() const { return fd_ >= 0; }

    std::int64_t lineCount() const { return index_.count(); }
    // Out-of-range lines are empty.
    std::int64_t lineLength(std::int64_t line) const;
    std::int64_t maxLineLength() const { return static_cast<std::int64_t>(index_.maxLength()); }
    std::string line(std::int64_t line) const;
    // At most maxChars characters of a line from column on; lets a view of a line of megabytes
    // read only what it shows.
    std::string lineSlice(std::int64_t line, std::int64_t column, std::int64_t maxChars) const;

    std::int64_t textLength() const { return static_cast<std::int64_t>(index_.textLength()); }
    std::int64_t lineStart(std::int64_t line) const;
    // Positions and columns outside the text are clamped into it.
    std::int64_t position(std::int64_t line, std::int64_t column) const;
    LineColumn lineColumn(std::int64_t position) const;
    // Characters [position, position + length) with "\r\n" for each line break.
    std::string text(std::int64_t position, std::int64_t length) const;

    // For sequential readers: where a line's bytes lie, and reading them.
    std::uint64_t lineByteStart(std::int64_t line) const;
    // Lines [first, first + count), which must all exist.
    void lineSpans(std::int64_t first, std::int64_t count, LineSpan* out) const {
        index_.spans(first, count, out);
    }
    // Copies up to size bytes at offset and returns how many there were.
    std::size_t readBytes(std::uint64_t offset, char* dest, std::size_t size) const;

    std::size_t indexMemoryBytes() const {
        return index_.memoryBytes() + bytes_.capacity() + tail_.capacity() + hiddenFull_.memoryBytes();
    }

    // Bytes that continue the text (a log that grows while it is shown). They are kept in memory;
    // a last line that had no line break yet is indexed anew together with what follows it.
    void appendBytes(std::string_view bytes);
    // Bytes of the whole text, appended bytes included.
    std::uint64_t byteSize() const { return fileSize_ + tail_.size(); }

    // Shows only the lines of `shown`, an index over a selection of this document's lines (see
    // LineIndex), until clearLineFilter. Appended bytes extend the full index only; the filter
    // adds what it lets through to filterIndex().
    void setLineFilter(LineIndex shown);
    void clearLineFilter();
    bool isFiltered() const { return filtered_; }
    const LineIndex& fullIndex() const { return filtered_ ? hiddenFull_ : index_; }
    const LineIndex& shownIndex() const { return index_; }
    LineIndex* filterIndex() { return filtered_ ? &index_ : nullptr; }

private:
    void indexDescriptor(int fd, std::uint64_t size, const std::string& path);

    std::string tail_;     // bytes appended behind the file part of a file-backed document
    LineIndex hiddenFull_; // the index of every line while a filter is shown
    bool filtered_ = false;

    LineIndex index_;
    int fd_ = -1;
    std::uint64_t fileSize_ = 0; // bytes indexed
    std::string bytes_;          // the text of a document held in memory
    std::string path_;
    bool decoded_ = false;
    std::string original_;
};

} // namespace infemora
