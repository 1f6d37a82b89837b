#pragma once
// Text files as the program family writes them: one line per item, CR LF after every line,
// Windows-1252, no byte-order mark. Input lines end at CR LF, LF or CR.
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

using Lines = std::vector<std::string>;

// Splits bytes into lines at CR LF, LF or CR; a final line end makes no empty last line.
Lines SplitLines(std::string_view bytes);

// Whole file as bytes; EFileError when it cannot be read or is no regular file (a FIFO, a device,
// a folder: refused without waiting).
std::string ReadFileBytes(const std::string& path);

// Loads a text file whole. A byte-order mark selects UTF-8 or UTF-16 (converted to
// Windows-1252); without one the bytes are Windows-1252. EFileError when unreadable.
Lines LoadTextFile(const std::string& path);
Lines DecodeTextBytes(std::string_view bytes);

// Writes the lines so that the target never holds a half-written file: a temp file beside it
// is written, flushed to disk and then renamed over the target. EFileError on any failure,
// the target then unchanged.
void SaveLinesReplacing(const std::string& path, const Lines& lines);
// Appends the lines and flushes them to disk; EFileError on failure.
void AppendLines(const std::string& path, const Lines& lines);

// Joins lines with CR LF after every line.
std::string JoinLinesCrLf(const Lines& lines);

} // namespace infemora
