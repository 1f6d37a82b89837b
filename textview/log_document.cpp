#include "textview/log_document.h"

#include "host/errors.h"
#include "host/fileutil.h"
#include "textview/line_scanner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace infemora {

namespace {

constexpr std::size_t kIndexReadBytes = std::size_t{1} << 20;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

[[noreturn]] void throwFileError(const std::string& path, const char* what, int error = 0) {
    std::string message = "Datei " + path + " " + what;
    if (error != 0)
        message += std::string(": ") + std::strerror(error);
    throw EFileError(message);
}

bool startsWithByteOrderMark(std::string_view head) {
    return head.starts_with("\xEF\xBB\xBF") || head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF");
}

// Reads the file in large blocks up to size, handing each to take(data, bytes, offset); returns
// how much there was. Up to the size seen at opening only: a log that is still being written
// must not keep a reader going, and a file cut short meanwhile simply ends earlier.
template <class Take>
std::uint64_t readBlocks(int fd, std::uint64_t size, const std::string& path, Take&& take) {
    auto block = std::make_unique_for_overwrite<char[]>(kIndexReadBytes);
    std::uint64_t done = 0;
    while (done < size) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kIndexReadBytes, size - done));
        const ssize_t n = ::pread(fd, block.get(), want, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throwFileError(path, "kann nicht gelesen werden", errno);
        if (n == 0)
            break;
        take(block.get(), static_cast<std::size_t>(n), done);
        done += static_cast<std::uint64_t>(n);
    }
    return done;
}

std::string readAll(int fd, const std::string& path) {
    std::string bytes;
    char buffer[65536];
    for (std::uint64_t offset = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throwFileError(path, "kann nicht gelesen werden", errno);
        if (n == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
}

} // namespace

LogDocument::~LogDocument() {
    clear();
}

void LogDocument::clear() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    index_.clear();
    hiddenFull_.clear();
    filtered_ = false;
    std::string().swap(tail_);
    std::string().swap(bytes_);
    fileSize_ = 0;
    path_.clear();
    decoded_ = false;
    std::string().swap(original_);
}

void LogDocument::open(const std::string& path) {
    clear();
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        throwFileError(path, "kann nicht geöffnet werden", errno);
    openDescriptor(fd.get(), path);
}

void LogDocument::openDescriptor(int fd, const std::string& path) {
    clear();
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throwFileError(path, "kann nicht gelesen werden", errno);
    // A directory, pipe or device has no end to index up to.
    if (!S_ISREG(st.st_mode))
        throwFileError(path, "ist keine gewöhnliche Datei");
    Descriptor own(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (own.get() < 0)
        throwFileError(path, "kann nicht geöffnet werden", errno);
    indexDescriptor(own.get(), static_cast<std::uint64_t>(st.st_size), path);
    fd_ = own.release();
    path_ = path;
}

void LogDocument::openCopy(const std::string& path, bool decodeByteOrderMark) {
    clear();
    Descriptor in(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0)
        throwFileError(path, "kann nicht geöffnet werden", errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        throwFileError(path, "kann nicht gelesen werden", errno);
    if (!S_ISREG(st.st_mode))
        throwFileError(path, "ist keine gewöhnliche Datei");

    char head[3] = {};
    const ssize_t headBytes = ::pread(in.get(), head, sizeof head, 0);
    if (decodeByteOrderMark && headBytes > 0 &&
        startsWithByteOrderMark({head, static_cast<std::size_t>(headBytes)})) {
        std::string bytes = readAll(in.get(), path);
        setLines(DecodeTextBytes(bytes));
        original_ = std::move(bytes);
        path_ = path;
        decoded_ = true;
        return;
    }

    Descriptor copy(PrivateTempFile());
    if (copy.get() < 0)
        throwFileError(path, "kann nicht kopiert werden", errno);
    // Up to the size seen now: a log still being written is shown as it was.
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t done =
        readBlocks(in.get(), size, path, [&](const char* data, std::size_t n, std::uint64_t at) {
            for (std::size_t off = 0; off < n;) {
                const ssize_t w = ::pwrite(copy.get(), data + off, n - off, static_cast<off_t>(at + off));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    throwFileError(path, "kann nicht kopiert werden", errno);
                off += static_cast<std::size_t>(w);
            }
        });
    indexDescriptor(copy.get(), done, path);
    fd_ = copy.release();
    path_ = path;
}

void LogDocument::indexDescriptor(int fd, std::uint64_t size, const std::string& path) {
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    LineIndex index;
    LineIndexBuilder builder(index);
    const std::uint64_t done = readBlocks(
        fd, size, path, [&](const char* data, std::size_t n, std::uint64_t) { builder.feed(data, n); });
    builder.finish();
    index_ = std::move(index);
    fileSize_ = done;
}

void LogDocument::setBytes(std::string bytes) {
    clear();
    bytes_ = std::move(bytes);
    LineIndexBuilder builder(index_);
    builder.feed(bytes_.data(), bytes_.size());
    builder.finish();
    fileSize_ = bytes_.size();
}

void LogDocument::setLines(const Lines& lines) {
    std::size_t total = 0;
    for (const auto& l : lines)
        total += l.size() + 2;
    std::string joined;
    joined.reserve(total);
    for (const auto& l : lines) {
        joined += l;
        joined += "\r\n";
    }
    setBytes(std::move(joined));
}

std::int64_t LogDocument::lineLength(std::int64_t line) const {
    if (line < 0 || line >= lineCount())
        return 0;
    return static_cast<std::int64_t>(index_.length(line));
}

std::uint64_t LogDocument::lineByteStart(std::int64_t line) const {
    if (line < 0 || line >= lineCount())
        return byteSize();
    return index_.byteStart(line);
}

std::string LogDocument::line(std::int64_t line) const {
    return lineSlice(line, 0, lineLength(line));
}

std::string LogDocument::lineSlice(std::int64_t line, std::int64_t column, std::int64_t maxChars) const {
    const std::int64_t length = lineLength(line);
    column = std::max<std::int64_t>(column, 0);
    if (column >= length || maxChars <= 0)
        return {};
    const auto count = static_cast<std::size_t>(std::min(maxChars, length - column));
    std::string out(count, '\0');
    out.resize(readBytes(index_.byteStart(line) + static_cast<std::uint64_t>(column), out.data(), count));
    return out;
}

std::size_t LogDocument::readBytes(std::uint64_t offset, char* dest, std::size_t size) const {
    // Lines without a byte (empty lines only) are read into no buffer at all.
    if (size == 0)
        return 0;
    if (fd_ < 0) {
        if (offset >= bytes_.size())
            return 0;
        const std::size_t n = std::min<std::size_t>(size, bytes_.size() - static_cast<std::size_t>(offset));
        std::memcpy(dest, bytes_.data() + offset, n);
        return n;
    }
    std::size_t done = 0;
    // The file part ends where it was indexed; what was appended since lies in memory.
    const std::size_t fromFile =
        offset >= fileSize_ ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(size, fileSize_ - offset));
    while (done < fromFile) {
        const ssize_t n = ::pread(fd_, dest + done, fromFile - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return done; // what could not be read is left out, as if the file ended here
        done += static_cast<std::size_t>(n);
    }
    if (done < size && offset + done >= fileSize_) {
        const std::uint64_t at = offset + done - fileSize_;
        if (at < tail_.size()) {
            const std::size_t n =
                std::min<std::size_t>(size - done, tail_.size() - static_cast<std::size_t>(at));
            std::memcpy(dest + done, tail_.data() + at, n);
            done += n;
        }
    }
    return done;
}

std::int64_t LogDocument::lineStart(std::int64_t line) const {
    if (line <= 0)
        return 0;
    if (line >= lineCount())
        return textLength();
    return static_cast<std::int64_t>(index_.position(line));
}

std::int64_t LogDocument::position(std::int64_t line, std::int64_t column) const {
    if (lineCount() == 0)
        return 0;
    line = std::clamp<std::int64_t>(line, 0, lineCount() - 1);
    column = std::clamp<std::int64_t>(column, 0, lineLength(line));
    return static_cast<std::int64_t>(index_.position(line)) + column;
}

LineColumn LogDocument::lineColumn(std::int64_t position) const {
    if (lineCount() == 0)
        return {};
    position = std::clamp<std::int64_t>(position, 0, textLength());
    const std::int64_t line = index_.lineAt(static_cast<std::uint64_t>(position));
    return {line, position - static_cast<std::int64_t>(index_.position(line))};
}

std::string LogDocument::text(std::int64_t position, std::int64_t length) const {
    const std::int64_t total = textLength();
    position = std::clamp<std::int64_t>(position, 0, total);
    const std::int64_t end =
        length >= total - position ? total : position + std::max<std::int64_t>(length, 0);
    if (position >= end)
        return {};
    const LineColumn from = lineColumn(position);
    const LineColumn to = lineColumn(end);
    std::string out;
    out.reserve(static_cast<std::size_t>(end - position + (to.line - from.line)));
    LineScanner scanner(*this, from.line, to.line + 1);
    std::int64_t line = 0;
    std::string_view bytes;
    while (scanner.next(line, bytes)) {
        const std::int64_t length = lineLength(line);
        const std::int64_t first = line == from.line ? from.column : 0;
        const std::int64_t last = line == to.line ? to.column : length;
        const auto available = static_cast<std::int64_t>(bytes.size());
        if (first < available)
            out.append(bytes.substr(static_cast<std::size_t>(first),
                                    static_cast<std::size_t>(std::min(last, available) - first)));
        // The range goes on past this line, so the line's break is part of it.
        if (line < to.line)
            out += "\r\n";
    }
    return out;
}

void LogDocument::appendBytes(std::string_view bytes) {
    if (bytes.empty())
        return;
    LineIndex& full = filtered_ ? hiddenFull_ : index_;
    std::uint64_t from = byteSize();
    // A last line without its break, or with a CR whose LF may follow, is not complete yet.
    if (full.count() > 0 && (full.lastBreak() == LineBreak::None || full.lastBreak() == LineBreak::Cr)) {
        from = full.byteStart(full.count() - 1);
        full.removeLast();
    }
    if (fd_ >= 0) {
        tail_.append(bytes);
    } else {
        bytes_.append(bytes);
        fileSize_ = bytes_.size();
    }
    LineIndexBuilder builder(full, from);
    std::string block(std::min<std::uint64_t>(byteSize() - from, kIndexReadBytes), '\0');
    for (std::uint64_t at = from; at < byteSize();) {
        const std::size_t n = readBytes(at, block.data(), block.size());
        if (n == 0)
            break;
        builder.feed(block.data(), n);
        at += n;
    }
    builder.finish();
}

void LogDocument::setLineFilter(LineIndex shown) {
    if (!filtered_)
        hiddenFull_ = std::move(index_);
    index_ = std::move(shown);
    filtered_ = true;
}

void LogDocument::clearLineFilter() {
    if (!filtered_)
        return;
    index_ = std::move(hiddenFull_);
    hiddenFull_.clear();
    filtered_ = false;
}

} // namespace infemora
