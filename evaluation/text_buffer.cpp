#include "evaluation/text_buffer.h"

#include "host/codec1252.h"
#include "host/errors.h"
#include "host/fileutil.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {

namespace {

std::string errnoText() {
    return std::strerror(errno);
}

class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reserve beyond the size seen at open: a log that grows meanwhile is still read to its end
// without moving the buffer in the common case.
constexpr std::size_t kSlack = 64 * 1024;

constexpr std::size_t kWriteBuffer = 1 << 20;

} // namespace

TextBuffer::~TextBuffer() {
    release();
}

TextBuffer::TextBuffer(TextBuffer&& other) noexcept {
    *this = std::move(other);
}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
    if (this == &other)
        return *this;
    release();
    const bool ownString = other.mapped_ == 0 && other.data_ != nullptr;
    decoded_ = std::move(other.decoded_);
    data_ = ownString ? decoded_.data() : other.data_;
    size_ = other.size_;
    mapped_ = other.mapped_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.mapped_ = 0;
    other.decoded_.clear();
    return *this;
}

void TextBuffer::release() {
    if (mapped_ != 0)
        ::munmap(data_, mapped_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = 0;
    std::string().swap(decoded_);
}

void TextBuffer::adoptString(std::string text) {
    release();
    decoded_ = std::move(text);
    data_ = decoded_.data();
    size_ = decoded_.size();
}

TextBuffer TextBuffer::Load(const std::string& path) {
    FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw EFileError("Datei " + path + " kann nicht geöffnet werden: " + errnoText());
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        throw EFileError("Datei " + path + " kann nicht gelesen werden");

    TextBuffer buf;
    std::size_t cap = static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + kSlack;
    void* mem = ::mmap(nullptr, cap, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED)
        throw EFileError("Kein Speicher für Datei " + path + ": " + errnoText());
    buf.data_ = static_cast<char*>(mem);
    buf.mapped_ = cap;
    std::size_t len = 0;
    for (;;) {
        if (len == buf.mapped_) {
            std::size_t bigger = buf.mapped_ * 2;
            void* moved = ::mremap(buf.data_, buf.mapped_, bigger, MREMAP_MAYMOVE);
            if (moved == MAP_FAILED)
                throw EFileError("Kein Speicher für Datei " + path + ": " + errnoText());
            buf.data_ = static_cast<char*>(moved);
            buf.mapped_ = bigger;
        }
        ssize_t r = ::read(fd.get(), buf.data_ + len, buf.mapped_ - len);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Lesen von " + path + " fehlgeschlagen: " + errnoText());
        }
        if (r == 0)
            break;
        len += static_cast<std::size_t>(r);
    }
    buf.size_ = len;

    std::string_view b = buf.bytes();
    if (b.substr(0, 3) == "\xEF\xBB\xBF" || b.substr(0, 2) == "\xFF\xFE" || b.substr(0, 2) == "\xFE\xFF")
        return FromBytes(b);
    return buf;
}

TextBuffer TextBuffer::FromBytes(std::string_view bytes) {
    TextBuffer buf;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        buf.adoptString(Utf8ToWin1252(bytes.substr(3)));
    } else if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
        const bool little = bytes[0] == '\xFF';
        std::u16string u;
        u.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            auto a = static_cast<unsigned char>(bytes[i]);
            auto b = static_cast<unsigned char>(bytes[i + 1]);
            u += static_cast<char16_t>(little ? (a | (b << 8)) : ((a << 8) | b));
        }
        buf.adoptString(Utf16ToWin1252(u));
    } else {
        buf.adoptString(std::string(bytes));
    }
    return buf;
}

std::string_view TextBuffer::LineAt(std::size_t pos, std::size_t& next) const {
    const char* p = data_ + pos;
    const char* end = data_ + size_;
    const auto* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* limit = nl ? nl : end;
    const auto* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(limit - p)));
    const char* stop = cr ? cr : limit;
    if (stop == end)
        next = size_;
    else if (*stop == '\r' && stop + 1 < end && stop[1] == '\n')
        next = static_cast<std::size_t>(stop + 2 - data_);
    else
        next = static_cast<std::size_t>(stop + 1 - data_);
    return {p, static_cast<std::size_t>(stop - p)};
}

std::size_t TextBuffer::LineStartOf(std::size_t pos) const {
    while (pos > 0 && data_[pos - 1] != '\n' && data_[pos - 1] != '\r')
        --pos;
    return pos;
}

std::size_t TextBuffer::Find(std::string_view part, std::size_t from) const {
    if (from >= size_)
        return std::string_view::npos;
    const void* hit = ::memmem(data_ + from, size_ - from, part.data(), part.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data_) : std::string_view::npos;
}

ReplacingFileWriter::ReplacingFileWriter(std::string path) : path_(std::move(path)) {
    std::string dir = ExtractFilePath(path_);
    temp_ = (dir.empty() ? std::string("./") : dir) + "." + ExtractFileName(path_) + ".XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) {
        temp_.clear();
        throw EFileError("Datei " + path_ + " kann nicht geschrieben werden: " + errnoText());
    }
    // mkstemp makes the file private; the finished file gets the user's default permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    buffer_.reserve(kWriteBuffer);
}

ReplacingFileWriter::~ReplacingFileWriter() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.empty())
        ::unlink(temp_.c_str());
}

void ReplacingFileWriter::Write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kWriteBuffer) {
        flushBuffer();
        if (bytes.size() > kWriteBuffer) {
            writeAll(bytes);
            return;
        }
    }
    buffer_.append(bytes);
}

void ReplacingFileWriter::flushBuffer() {
    writeAll(buffer_);
    buffer_.clear();
}

void ReplacingFileWriter::writeAll(std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Schreiben in " + path_ + " fehlgeschlagen: " + errnoText());
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

void ReplacingFileWriter::Commit() {
    flushBuffer();
    if (::fsync(fd_) != 0)
        throw EFileError("Datei " + path_ + " kann nicht auf die Platte geschrieben werden: " + errnoText());
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw EFileError("Schließen von " + path_ + " fehlgeschlagen: " + errnoText());
    if (::rename(temp_.c_str(), path_.c_str()) != 0)
        throw EFileError("Datei " + path_ + " kann nicht ersetzt werden: " + errnoText());
    temp_.clear();
}

} // namespace infemora
