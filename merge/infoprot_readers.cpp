#include "merge/infoprot_readers.h"

#include "host/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace infemora {

namespace {

std::string errnoText() {
    return std::strerror(errno);
}

// The first CR or LF at or after from; size when there is none. One pass for both characters:
// logs with CR LF line ends would otherwise be searched twice.
std::size_t findEol(const char* base, std::size_t from, std::size_t size) {
    const char* p = base + from;
    const char* const end = base + size;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (mask != 0)
            return static_cast<std::size_t>(p - base) + static_cast<std::size_t>(__builtin_ctz(mask));
        p += 16;
    }
#endif
    for (; p < end; ++p)
        if (*p == '\r' || *p == '\n')
            return static_cast<std::size_t>(p - base);
    return size;
}

constexpr std::size_t kMinBuffer = 64 * 1024;
constexpr std::size_t kMaxBuffer = 1024 * 1024;
constexpr std::size_t kBufferBudget = 16 * 1024 * 1024;

} // namespace

// ---------------------------------------------------------------------------------------------

void CrLfCopier::Feed(const char* data, std::size_t size) {
    std::size_t pos = 0;
    if (pendingCr_ && size > 0) {
        pendingCr_ = false;
        if (data[0] == '\n')
            pos = 1;
    }
    std::size_t run = pos; // start of text not yet passed on
    while (pos < size) {
        std::size_t t = findEol(data, pos, size);
        if (t == size)
            break;
        ++lines_;
        if (data[t] == '\r' && t + 1 < size && data[t + 1] == '\n') {
            pos = t + 2; // already CR LF: stays in the run
            continue;
        }
        sink_.Append(data + run, t - run);
        sink_.Append("\r\n", 2);
        if (data[t] == '\r' && t + 1 == size)
            pendingCr_ = true;
        pos = run = t + 1;
    }
    if (run < size)
        sink_.Append(data + run, size - run);
    if (size > 0)
        midLine_ = pos < size; // the piece ended inside a line
}

void CrLfCopier::Finish() {
    if (midLine_) {
        sink_.Append("\r\n", 2);
        ++lines_;
    }
    midLine_ = false;
    pendingCr_ = false;
}

// ---------------------------------------------------------------------------------------------

namespace {

int openReadOnly(const std::string& path, struct stat& st) {
    // Non-blocking, so that a pipe named like a log cannot stall the open; it is refused below.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

InfoStream::InfoStream(std::string path, std::int64_t* totalRead, TBufferedFileStreams* owner)
    : path_(std::move(path)), owner_(owner), totalRead_(totalRead) {
    struct stat st {};
    fd_ = openMakingRoom(st);
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EFileError("Datei " + path_ + " ist keine gewöhnliche Datei und wird nicht gelesen");
    }
    sizeAtOpen_ = st.st_size;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    if (owner_)
        owner_->opened(this);
}

InfoStream::~InfoStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

int InfoStream::openMakingRoom(struct stat& st) {
    int fd = openReadOnly(path_, st);
    // The process may be out of descriptors: another stream gives its own back.
    if (fd < 0 && errno == EMFILE && owner_ && owner_->evictOne())
        fd = openReadOnly(path_, st);
    if (fd < 0)
        throw EFileError("Datei " + path_ + " kann nicht geöffnet werden: " + errnoText());
    return fd;
}

int InfoStream::descriptor() {
    if (fd_ >= 0)
        return fd_;
    struct stat st {};
    fd_ = openMakingRoom(st);
    if (st.st_dev != device_ || st.st_ino != inode_) {
        ::close(fd_);
        fd_ = -1;
        throw EFileError("Datei " + path_ + " wurde während des Zusammenführens ersetzt");
    }
    if (owner_)
        owner_->opened(this);
    return fd_;
}

void InfoStream::closeDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void InfoStream::allocate(std::size_t capacity) {
    if (cap_ == capacity && buf_)
        return;
    buf_ = std::make_unique<char[]>(capacity);
    cap_ = capacity;
    beg_ = end_ = 0;
}

InfoStream::Fill InfoStream::fill() {
    if (eof_)
        return Fill::Eof;
    if (beg_ == end_) {
        bufOffset_ += static_cast<std::int64_t>(beg_);
        beg_ = end_ = 0;
    } else if (beg_ > 0 && cap_ - end_ < cap_ / 4) {
        // Keep reads large: move the unread bytes to the front first.
        std::memmove(buf_.get(), buf_.get() + beg_, end_ - beg_);
        bufOffset_ += static_cast<std::int64_t>(beg_);
        end_ -= beg_;
        beg_ = 0;
    }
    if (end_ == cap_)
        return Fill::Full;
    for (;;) {
        ssize_t r = ::pread(descriptor(), buf_.get() + end_, cap_ - end_, readPos_);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Lesen von " + path_ + " fehlgeschlagen: " + errnoText());
        }
        if (r == 0) {
            eof_ = true;
            return Fill::Eof;
        }
        end_ += static_cast<std::size_t>(r);
        readPos_ += r;
        bytesRead_ += r;
        *totalRead_ += r;
        return Fill::Got;
    }
}

std::size_t InfoStream::readAt(std::int64_t offset, char* dst, std::size_t size) {
    for (;;) {
        ssize_t r = ::pread(descriptor(), dst, size, offset);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Lesen von " + path_ + " fehlgeschlagen: " + errnoText());
        }
        return static_cast<std::size_t>(r);
    }
}

void InfoStream::skipTo(std::int64_t offset) {
    std::int64_t bufEnd = bufOffset_ + static_cast<std::int64_t>(end_);
    if (offset <= bufEnd) {
        beg_ = static_cast<std::size_t>(offset - bufOffset_);
        return;
    }
    readPos_ = offset;
    bytesRead_ += offset - bufEnd;
    *totalRead_ += offset - bufEnd;
    bufOffset_ = offset;
    beg_ = end_ = 0;
}

// ---------------------------------------------------------------------------------------------

void TBufferedFileStreams::Add(const std::string& path) {
    streams_.push_back(std::make_unique<InfoStream>(path, &totalRead_, this));
}

void TBufferedFileStreams::Clear() {
    open_.clear();
    hand_ = 0;
    streams_.clear();
    totalRead_ = 0;
}

std::size_t TBufferedFileStreams::maxOpen() const {
    if (maxOpenForTesting_ > 0)
        return maxOpenForTesting_;
    // Room is left for what else the process opens meanwhile (the output, the window, locks).
    constexpr rlim_t kReserve = 64;
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 4096;
    return static_cast<std::size_t>(
        std::max<rlim_t>(8, limit.rlim_cur > kReserve ? limit.rlim_cur - kReserve : 8));
}

void TBufferedFileStreams::opened(InfoStream* stream) {
    if (open_.size() < maxOpen()) {
        open_.push_back(stream);
        return;
    }
    // In turn, not by last use: the merge visits the files in a rhythm that a least-recently-used
    // choice would always get wrong, and turns are O(1).
    hand_ %= open_.size();
    if (open_[hand_] != stream)
        open_[hand_]->closeDescriptor();
    open_[hand_] = stream;
    hand_ = (hand_ + 1) % open_.size();
}

bool TBufferedFileStreams::evictOne() {
    if (open_.empty())
        return false;
    hand_ %= open_.size();
    open_[hand_]->closeDescriptor();
    open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(hand_));
    return true;
}

std::int64_t TBufferedFileStreams::TotalBytes() const {
    std::int64_t sum = 0;
    for (const auto& s : streams_)
        sum += s->sizeAtOpen();
    return sum;
}

void TBufferedFileStreams::AllocateBuffers() {
    std::size_t size = bufferBytes_;
    if (size == 0) {
        size = streams_.empty() ? kMaxBuffer : kBufferBudget / streams_.size();
        size = std::clamp(size, kMinBuffer, kMaxBuffer);
    }
    // A line start must fit to be recognised.
    size = std::max<std::size_t>(size, 2 * ZeitstempelLaenge);
    for (auto& s : streams_)
        s->allocate(size);
}

// ---------------------------------------------------------------------------------------------

bool TInfoProtReader::NextEntry() {
    has_ = huge_ = last_ = false;
    size_ = 0;
    stampLen_ = 0;
    InfoStream& s = *s_;
    if (s.beg_ == s.end_ && s.fill() != InfoStream::Fill::Got) {
        if (s.consumedTo_ < 0)
            s.consumedTo_ = s.offsetOfBeg();
        return false;
    }
    start_ = s.offsetOfBeg();
    if (!scanInBuffer())
        scanByReadingAhead();
    has_ = true;
    return true;
}

bool TInfoProtReader::scanInBuffer() {
    InfoStream& s = *s_;
    std::size_t rel = 0; // start of the current line, counted from the entry start
    bool first = true;
    bool stampFound = false;
    lines_ = 0;
    crlf_ = true;
    for (;;) {
        const char* base = s.buf_.get() + s.beg_;
        const std::size_t avail = s.end_ - s.beg_;
        auto more = [&]() -> bool { return s.fill() != InfoStream::Fill::Full; };
        if (rel == avail) {
            if (!s.eof_) {
                if (!more())
                    return false;
                continue;
            }
            last_ = true;
            break;
        }
        std::size_t t = findEol(base, rel, avail);
        std::size_t next;
        if (t == avail) {
            if (!s.eof_) {
                if (!more())
                    return false;
                continue;
            }
            next = avail; // last line without a line end
        } else if (base[t] == '\r') {
            if (t + 1 == avail && !s.eof_) {
                if (!more())
                    return false;
                continue;
            }
            next = t + 1 < avail && base[t + 1] == '\n' ? t + 2 : t + 1;
        } else {
            next = t + 1;
        }
        std::string_view line(base + rel, t - rel);
        if (!first && IstStartZeile(line))
            break;
        if (!stampFound && IstZeitstempelZeile(line)) {
            stampFound = true;
            stampLen_ = std::min(line.size(), ZeitstempelLaenge);
            std::memcpy(stampLine_, line.data(), stampLen_);
        }
        first = false;
        crlf_ = crlf_ && next == t + 2;
        ++lines_;
        rel = next;
    }
    size_ = rel;
    endOffset_ = start_ + static_cast<std::int64_t>(rel);
    assignKey(stampFound);
    return true;
}

void TInfoProtReader::scanByReadingAhead() {
    // The entry does not fit into the buffer: read ahead from its start with a line automaton
    // that keeps only the first characters of each line.
    huge_ = true;
    std::vector<char> block(256 * 1024);
    char prefix[ZeitstempelLaenge];
    std::size_t plen = 0;
    bool first = true, pendingCr = false, stampFound = false;
    std::int64_t lineStart = start_;
    std::int64_t off = start_;
    stampLen_ = 0;
    for (;;) {
        std::size_t n = s_->readAt(off, block.data(), block.size());
        if (n == 0)
            break;
        for (std::size_t i = 0; i < n; ++i) {
            char c = block[i];
            std::int64_t o = off + static_cast<std::int64_t>(i);
            if (pendingCr) {
                pendingCr = false;
                if (c == '\n') {
                    lineStart = o + 1;
                    continue;
                }
            }
            if (c == '\r' || c == '\n') {
                std::string_view line(prefix, plen);
                if (!stampFound && IstZeitstempelZeile(line)) {
                    stampFound = true;
                    stampLen_ = plen;
                    std::memcpy(stampLine_, prefix, plen);
                }
                first = false;
                plen = 0;
                pendingCr = c == '\r';
                lineStart = o + 1;
                continue;
            }
            if (plen < ZeitstempelLaenge) {
                prefix[plen++] = c;
                if (plen == 7 && !first && IstStartZeile(std::string_view(prefix, plen))) {
                    endOffset_ = lineStart;
                    assignKey(stampFound);
                    return;
                }
            }
        }
        off += static_cast<std::int64_t>(n);
    }
    // End of the file: an unfinished last line still counts.
    if (off > lineStart && !stampFound && IstZeitstempelZeile(std::string_view(prefix, plen))) {
        stampFound = true;
        stampLen_ = plen;
        std::memcpy(stampLine_, prefix, plen);
    }
    endOffset_ = off;
    last_ = true;
    assignKey(stampFound);
}

void TInfoProtReader::assignKey(bool stampFound) {
    if (!stampFound) {
        art_ = StempelArt::Keiner;
        stampLen_ = 0;
    } else if (TryZeitstempelAusZeile(std::string_view(stampLine_, stampLen_), stamp_, datumsCache_)) {
        art_ = StempelArt::Gueltig;
        prevKey_ = stamp_.ms;
    } else {
        art_ = StempelArt::Ungueltig;
    }
    key_ = prevKey_;
}

std::optional<std::string_view> TInfoProtReader::ZeitstempelZeile() const {
    if (art_ == StempelArt::Keiner)
        return std::nullopt;
    return std::string_view(stampLine_, stampLen_);
}

std::vector<std::string> TInfoProtReader::Lines() const {
    if (!has_)
        return {};
    if (!huge_)
        return SplitLines(std::string_view(s_->buf_.get() + s_->beg_, size_));
    std::string text(static_cast<std::size_t>(endOffset_ - start_), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        std::size_t n =
            s_->readAt(start_ + static_cast<std::int64_t>(got), text.data() + got, text.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    text.resize(got);
    return SplitLines(text);
}

std::int64_t TInfoProtReader::CopyTo(IEntrySink& sink) {
    if (!has_)
        return 0;
    has_ = false;
    InfoStream& s = *s_;
    if (!huge_ && crlf_) {
        // Already as the output wants it: one piece.
        sink.Append(s.buf_.get() + s.beg_, size_);
        s.beg_ += size_;
        if (last_)
            finishFile();
        return lines_;
    }
    CrLfCopier copier(sink);
    if (!huge_) {
        copier.Feed(s.buf_.get() + s.beg_, size_);
        s.beg_ += size_;
    } else {
        for (;;) {
            std::int64_t remaining = endOffset_ - s.offsetOfBeg();
            if (remaining <= 0)
                break;
            if (s.beg_ == s.end_ && s.fill() == InfoStream::Fill::Eof)
                break; // the file shrank meanwhile
            std::size_t n = std::min<std::size_t>(s.end_ - s.beg_, static_cast<std::size_t>(remaining));
            copier.Feed(s.buf_.get() + s.beg_, n);
            s.beg_ += n;
        }
    }
    copier.Finish();
    if (last_)
        finishFile();
    return copier.lines();
}

void TInfoProtReader::finishFile() {
    // Whatever was appended to the log after it was scanned is not part of this run.
    s_->eof_ = true;
    s_->beg_ = s_->end_;
    s_->consumedTo_ = endOffset_;
}

void TInfoProtReader::Skip() {
    if (!has_)
        return;
    has_ = false;
    InfoStream& s = *s_;
    if (!huge_)
        s.beg_ += size_;
    else
        s.skipTo(endOffset_);
    if (last_)
        finishFile();
}

// ---------------------------------------------------------------------------------------------

bool TParallelReader::before(std::size_t a, std::size_t b) const {
    std::int64_t ka = readers_[a].Key(), kb = readers_[b].Key();
    return ka != kb ? ka < kb : a < b;
}

void TParallelReader::pushHead(std::size_t i) {
    heap_.push_back(i);
    std::push_heap(heap_.begin(), heap_.end(), [this](std::size_t a, std::size_t b) { return before(b, a); });
}

void TParallelReader::popEarliest() {
    if (heap_.empty()) {
        current_ = -1;
        return;
    }
    std::pop_heap(heap_.begin(), heap_.end(), [this](std::size_t a, std::size_t b) { return before(b, a); });
    current_ = static_cast<std::ptrdiff_t>(heap_.back());
    heap_.pop_back();
}

void TParallelReader::prime(std::size_t i) {
    primed_[i] = true;
    if (readers_[i].NextEntry())
        pushHead(i);
}

void TParallelReader::Start() {
    readers_.clear();
    heap_.clear();
    current_ = -1;
    streams_.AllocateBuffers();
    readers_.reserve(streams_.Count());
    for (std::size_t i = 0; i < streams_.Count(); ++i)
        readers_.emplace_back(streams_[i]);
    primed_.assign(readers_.size(), false);
    for (std::size_t i = 0; i < readers_.size(); ++i)
        prime(i);
    popEarliest();
}

void TParallelReader::Advance() {
    if (current_ < 0) {
        popEarliest();
        return;
    }
    auto i = static_cast<std::size_t>(current_);
    TInfoProtReader& r = readers_[i];
    r.Skip();
    if (r.NextEntry()) {
        // Most often the same file goes on: no need to touch the heap then.
        if (heap_.empty() || before(i, heap_.front()))
            return;
        pushHead(i);
    }
    popEarliest();
}

void TParallelReader::Recover() {
    if (current_ >= 0)
        return;
    for (std::size_t i = 0; i < readers_.size(); ++i)
        if (!primed_[i])
            prime(i);
}

bool TParallelReader::GetEos() const {
    if (current_ < 0)
        return heap_.empty();
    return heap_.empty() && readers_[static_cast<std::size_t>(current_)].IsLast();
}

} // namespace infemora
