#pragma once
// The readers behind the merge. TBufferedFileStreams holds the open info logs and reads each
// forward in large blocks with plain reads (no mapping: the programs that write the logs grow
// and rewrite them). TInfoProtReader finds the entries of one log, TParallelReader hands out the
// entries of all logs one at a time in time-stamp order.
//
// An entry is normally scanned in place in its file's buffer and copied out in one piece. An
// entry larger than the buffer (a binary file, a line of many megabytes) is scanned by a second
// pass over the file and then streamed through the buffer, so memory stays bounded whatever
// the input looks like.
#include "host/datetime.h"
#include "host/textfile.h"
#include "merge/infoprot_layout.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace infemora {

// Receives the merged text.
class IEntrySink {
public:
    virtual ~IEntrySink() = default;
    virtual void Append(const char* data, std::size_t size) = 0;
};

// Copies text piece by piece with every line end (CR LF, LF or CR) made CR LF, and counts the
// lines. Runs of CR LF lines pass in one piece.
class CrLfCopier {
public:
    explicit CrLfCopier(IEntrySink& sink) : sink_(sink) {}
    void Feed(const char* data, std::size_t size);
    // Ends a last line that had no line end.
    void Finish();
    std::int64_t lines() const { return lines_; }

private:
    IEntrySink& sink_;
    bool pendingCr_ = false; // the last piece ended in CR; an LF right after belongs to it
    bool midLine_ = false;   // bytes of an unfinished line were passed on
    std::int64_t lines_ = 0;
};

class TBufferedFileStreams;

// One info log being read. Its descriptor may be closed between reads when more files are
// merged than the process may hold open; it is then opened again and checked to be the very
// file that was opened first.
class InfoStream {
public:
    // Opens the file under its real name; EFileError when it cannot be read or is no plain file
    // (a pipe or a device would never end).
    InfoStream(std::string path, std::int64_t* totalRead, TBufferedFileStreams* owner = nullptr);
    ~InfoStream();
    InfoStream(const InfoStream&) = delete;
    InfoStream& operator=(const InfoStream&) = delete;

    const std::string& path() const { return path_; }
    std::int64_t sizeAtOpen() const { return sizeAtOpen_; }
    std::int64_t bytesRead() const { return bytesRead_; }
    bool atEnd() const { return eof_ && beg_ == end_; }
    std::uint64_t device() const { return device_; }
    std::uint64_t inode() const { return inode_; }
    // File offset up to which every entry was used, once the last one was; -1 before.
    std::int64_t ConsumedTo() const { return consumedTo_; }

private:
    friend class TInfoProtReader;
    friend class TBufferedFileStreams;
    enum class Fill { Got, Eof, Full };

    void allocate(std::size_t capacity);
    // Makes room behind the unread bytes and reads more. Full: the unread bytes fill the buffer.
    Fill fill();
    std::int64_t offsetOfBeg() const { return bufOffset_ + static_cast<std::int64_t>(beg_); }
    // Reads at a file offset without moving the stream; 0 at the end of the file.
    std::size_t readAt(std::int64_t offset, char* dst, std::size_t size);
    // Drops unread bytes up to the file offset.
    void skipTo(std::int64_t offset);
    int descriptor();
    int openMakingRoom(struct stat& st);
    void closeDescriptor();

    std::string path_;
    int fd_ = -1;
    TBufferedFileStreams* owner_ = nullptr;
    std::int64_t readPos_ = 0; // file offset of the next read into the buffer
    std::int64_t sizeAtOpen_ = 0;
    std::uint64_t device_ = 0, inode_ = 0;
    std::unique_ptr<char[]> buf_;
    std::size_t cap_ = 0, beg_ = 0, end_ = 0;
    std::int64_t bufOffset_ = 0; // file offset of buf_[0]
    bool eof_ = false;           // stays set: a log that grows meanwhile is read as it was
    std::int64_t bytesRead_ = 0;
    std::int64_t consumedTo_ = -1;
    std::int64_t* totalRead_;
};

// The ordered list of open input files.
class TBufferedFileStreams {
public:
    // bufferBytes: read buffer per file; 0 chooses by the number of files (64 KiB to 1 MiB).
    explicit TBufferedFileStreams(std::size_t bufferBytes = 0) : bufferBytes_(bufferBytes) {}
    // The streams count their reads into this object.
    TBufferedFileStreams(const TBufferedFileStreams&) = delete;
    TBufferedFileStreams& operator=(const TBufferedFileStreams&) = delete;

    // Opens one more input file at the end of the list; EFileError when it cannot be read.
    void Add(const std::string& path);
    // Closes and removes all input files.
    void Clear();

    std::size_t Count() const { return streams_.size(); }
    InfoStream& operator[](std::size_t i) { return *streams_[i]; }
    const InfoStream& operator[](std::size_t i) const { return *streams_[i]; }
    // Sum of the file sizes when they were opened, and of the bytes read since.
    std::int64_t TotalBytes() const;
    std::int64_t BytesRead() const { return totalRead_; }

    void SetBufferBytes(std::size_t bytes) { bufferBytes_ = bytes; }
    // Gives every stream its read buffer; called once the list is complete.
    void AllocateBuffers();
    // How many files are open at most at once; 0: what the process limit leaves.
    void SetMaxOpenForTesting(std::size_t max) { maxOpenForTesting_ = max; }
    std::size_t OpenCount() const { return open_.size(); }

private:
    friend class InfoStream;
    // A stream opened its file: another one may have to close its own first.
    void opened(InfoStream* stream);
    // Closes one open file to make room; false when none is open.
    bool evictOne();
    std::size_t maxOpen() const;

    std::vector<std::unique_ptr<InfoStream>> streams_;
    std::vector<InfoStream*> open_; // streams holding a descriptor, closed in turn when needed
    std::size_t hand_ = 0;
    std::size_t maxOpenForTesting_ = 0;
    std::size_t bufferBytes_;
    std::int64_t totalRead_ = 0;
};

// What the first time-stamp line of an entry gave.
enum class StempelArt { Keiner, Gueltig, Ungueltig };

// The entries of one input file, one at a time. The current entry stays in the file until it is
// copied out or skipped.
class TInfoProtReader {
public:
    explicit TInfoProtReader(InfoStream& stream) : s_(&stream) {}

    // Positions on the next entry of the file; false when the file has none left.
    bool NextEntry();
    bool HasEntry() const { return has_; }

    // Order key: the entry's time stamp, or the key of the entry before it in the same file when
    // it has no valid stamp (the smallest key before the first valid stamp).
    std::int64_t Key() const { return key_; }
    StempelArt Art() const { return art_; }
    TDateTime Zeitstempel() const { return stamp_; }
    // The leading characters of the entry's first "##" line (enough to build its stamp).
    std::optional<std::string_view> ZeitstempelZeile() const;
    // True when no entry of this file follows the current one.
    bool IsLast() const { return last_; }

    // The lines of the current entry as copies; the entry stays current.
    std::vector<std::string> Lines() const;
    // Copies the current entry, line ends made CR LF, and returns its line count. The entry is
    // used up.
    std::int64_t CopyTo(IEntrySink& sink);
    // Passes over the current entry.
    void Skip();

private:
    bool scanInBuffer();       // false: the entry does not fit into the buffer
    void scanByReadingAhead(); // for entries larger than the buffer
    void assignKey(bool stampFound);
    void finishFile();

    InfoStream* s_;
    bool has_ = false;
    bool huge_ = false;
    bool last_ = false;
    std::size_t size_ = 0;       // bytes of the entry in the buffer (not huge)
    std::int64_t lines_ = 0;     // its lines (not huge)
    bool crlf_ = false;          // every line of it ends in CR LF (not huge)
    std::int64_t start_ = 0;     // file offset of the entry
    std::int64_t endOffset_ = 0; // file offset behind it
    char stampLine_[ZeitstempelLaenge] = {};
    std::size_t stampLen_ = 0;
    StempelArt art_ = StempelArt::Keiner;
    TDateTime stamp_;
    std::int64_t key_ = 0;
    std::int64_t prevKey_ = INT64_MIN;
    DatumsCache datumsCache_;
};

// Delivers the entries of all input files, each exactly once, ordered by key; equal keys go to
// the file listed first, and every file keeps its own order.
class TParallelReader {
public:
    explicit TParallelReader(TBufferedFileStreams& streams) : streams_(streams) {}

    // Positions every file on its first entry and makes the earliest entry current.
    void Start();
    bool HasEntry() const { return current_ >= 0; }
    // Makes the next entry in merge order current; the current one is used up.
    void Advance();
    // Called when no entry is current: takes up files that were not positioned yet.
    void Recover();
    // True once the current entry is the last one of all files (or there is none).
    bool GetEos() const;

    TInfoProtReader& Current() { return readers_[static_cast<std::size_t>(current_)]; }
    std::size_t CurrentFile() const { return static_cast<std::size_t>(current_); }

private:
    bool before(std::size_t a, std::size_t b) const; // a comes before b
    void pushHead(std::size_t i);
    void popEarliest();
    void prime(std::size_t i);

    TBufferedFileStreams& streams_;
    std::vector<TInfoProtReader> readers_;
    std::vector<bool> primed_;
    std::vector<std::size_t> heap_; // files with an entry waiting, earliest on top
    std::ptrdiff_t current_ = -1;
};

} // namespace infemora
