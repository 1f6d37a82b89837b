#pragma once
// Pieces of the info logs as the point-of-sale programs write them. Every line of an entry is
// indented or prefixed so that only start lines have "<<" and only time-stamp lines "##" at
// positions 6 and 7; the text is Windows-1252 and every line ends with CR LF.
#include "host/datetime.h"

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace infemora::gensite {

// A file written through a large buffer; the generators append to buffer() and call commit().
class OutFile {
public:
    explicit OutFile(const std::string& path, std::size_t bufferBytes = std::size_t(4) << 20);
    ~OutFile();
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    std::string& buffer() { return buf_; }
    void commit() {
        if (buf_.size() >= cap_)
            flush();
    }
    void flush();
    void close(); // EFileError when anything could not be written
    std::int64_t size() const { return written_ + static_cast<std::int64_t>(buf_.size()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::FILE* f_ = nullptr;
    std::string buf_;
    std::size_t cap_;
    std::int64_t written_ = 0;
    bool failed_ = false;
};

// One moment of the log: a day and the second of that day.
struct Stamp {
    TDateTime day;
    int second = 0;
};

// Who writes an entry: the five-character prefix of the writing process, user and program.
struct Actor {
    std::string tag;
    std::string user;
    std::string program;
};

// Error entries and what the evaluation makes of them.
enum class ErrorKind {
    Fehler,     // an ordinary "Fehler-Meldung"
    None,       // a "NONE-Meldung"
    Buchung993, // booking abort, STANDARD.993
    Menue30,    // STANDARD.30 and a following entry with the answer unknown
    Reset,      // an error that the following entry reports as reset
    Beendet,    // the program was ended because of the error
    Doppelt,    // the same header line twice
};

class EntryWriter {
public:
    explicit EntryWriter(std::mt19937& rng);

    // Free text lines are padded to a length in this range (bytes, CR LF not counted).
    int minText = 60;
    int maxText = 120;
    bool padText = true; // false: free text lines as the templates give them

    void startLine(std::string& out, const Actor& a);
    void stampLine(std::string& out, const Actor& a, const Stamp& s, std::string_view rest,
                   std::string_view userSuffix = {});
    void textLine(std::string& out);

    // A plain entry: start line, time-stamp line and `bodyLines` free text lines.
    void infoEntry(std::string& out, const Actor& a, const Stamp& s, int bodyLines);
    // The entry that reports a program's log start or end, in the line layout the start/end
    // count reads: date at 11 to 18, user from 27, program and keyword.
    void protokollEntry(std::string& out, const Actor& a, const Stamp& s, bool start);
    // An error entry of the given kind; kinds that need a following entry or a repeated header
    // write it too, at the same second.
    void errorEntry(std::string& out, const Actor& a, const Stamp& s, ErrorKind kind);

    // Mostly ordinary errors, now and then every special case.
    ErrorKind randomErrorKind();

    const std::string& date8(TDateTime day);
    static std::string tagFor(int processId); // five digits
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    double percent() { return std::uniform_real_distribution<double>(0.0, 100.0)(rng_); }

private:
    void padded(std::string& out, std::string_view text);
    void appendTemplate(std::string& out, std::string_view tmpl);
    void separator(std::string& out);
    void errorBody(std::string& out, std::size_t type, bool beendet);

    std::mt19937& rng_;
    TDateTime cachedDay_{-1};
    std::string cachedDigits_;
};

// Windows-1252 bytes of a UTF-8 literal, converted once per call site.
std::string W(std::string_view utf8);

// Appends the six digits HHMMSS of a second of the day.
void AppendHhmmss(std::string& out, int second);
void AppendCrLf(std::string& out);

} // namespace infemora::gensite
