#include "evaluation/text_buffer.h"

#include "host/codec1252.h"
#include "host/errors.h"
#include "host/fileutil.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

// Bytes read at a time; an entry longer than that makes the window grow.
constexpr std::size_t kFenster = 256 * 1024;

// Offset of the first occurrence of `part` (not empty) in [p, p + n), npos when none.
// Candidates are the positions where the first and the last byte of `part` both match, sixteen
// positions at a time; only those are compared in full.
std::size_t Suche(const char* p, std::size_t n, std::string_view part) {
    const std::size_t k = part.size();
    if (n < k)
        return std::string_view::npos;
    if (k == 1) {
        const void* hit = std::memchr(p, part[0], n);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - p) : std::string_view::npos;
    }
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i erstes = _mm_set1_epi8(part.front());
    const __m128i letztes = _mm_set1_epi8(part.back());
    for (; i + 16 + k - 1 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k - 1));
        auto maske = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, erstes), _mm_cmpeq_epi8(b, letztes))));
        while (maske != 0) {
            const auto bit = static_cast<std::size_t>(__builtin_ctz(maske));
            if (std::memcmp(p + i + bit + 1, part.data() + 1, k - 2) == 0)
                return i + bit;
            maske &= maske - 1;
        }
    }
#endif
    const void* hit = ::memmem(p + i, n - i, part.data(), k);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - p) : std::string_view::npos;
}

bool IstZeilenende(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

TextBuffer::~TextBuffer() {
    close();
}

void TextBuffer::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

TextBuffer::TextBuffer(TextBuffer&& other) noexcept {
    *this = std::move(other);
}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
    if (this == &other)
        return *this;
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
    path_ = std::move(other.path_);
    eof_ = other.eof_;
    buf_ = std::move(other.buf_);
    base_ = other.base_;
    len_ = other.len_;
    keep_ = other.keep_;
    other.eof_ = true;
    other.buf_.clear();
    other.base_ = other.len_ = other.keep_ = 0;
    return *this;
}

TextBuffer TextBuffer::Open(const std::string& path) {
    TextBuffer t;
    // Only a regular file under the name itself: a FIFO would block the evaluation, a device
    // never end, and a link could carry a file from elsewhere into a report that is uploaded.
    t.fd_ = OpenRegularFile(path, O_RDONLY, LinkPolicy::Refuse);
    struct stat st {};
    if (::fstat(t.fd_, &st) != 0)
        throw EFileError("Datei " + path + " kann nicht gelesen werden: " + errnoText());
    t.path_ = path;
    t.eof_ = false;
    const auto groesse = static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0);
    // One byte more than a small file holds, so that its end is seen without growing.
    t.buf_.resize(std::clamp<std::size_t>(groesse + 1, 4096, kFenster));
    while (t.len_ < 3 && t.readMore()) {
    }
    std::string_view anfang(t.buf_.data(), t.len_);
    if (anfang.substr(0, 3) == "\xEF\xBB\xBF" || anfang.substr(0, 2) == "\xFF\xFE" ||
        anfang.substr(0, 2) == "\xFE\xFF") {
        while (t.readMore()) {
        }
        return FromBytes(std::string_view(t.buf_.data(), t.len_));
    }
    return t;
}

TextBuffer TextBuffer::FromBytes(std::string_view bytes) {
    std::string text;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text = Utf8ToWin1252(bytes.substr(3));
    } else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        const bool little = bytes[0] == '\xFF';
        std::u16string u;
        u.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            auto a = static_cast<unsigned char>(bytes[i]);
            auto b = static_cast<unsigned char>(bytes[i + 1]);
            u += static_cast<char16_t>(little ? (a | (b << 8)) : ((a << 8) | b));
        }
        text = Utf16ToWin1252(u);
    } else {
        text = std::string(bytes);
    }
    TextBuffer t;
    t.buf_.assign(text.begin(), text.end());
    t.len_ = t.buf_.size();
    t.eof_ = true;
    return t;
}

bool TextBuffer::readMore() {
    if (eof_)
        return false;
    if (len_ == buf_.size()) {
        // Drop what is no longer needed; grow when that frees less than half.
        const std::size_t weg = keep_ - base_;
        if (weg > 0) {
            std::memmove(buf_.data(), buf_.data() + weg, len_ - weg);
            base_ += weg;
            len_ -= weg;
        }
        if (len_ > buf_.size() / 2)
            buf_.resize(buf_.size() * 2);
    }
    for (;;) {
        ssize_t r = ::read(fd_, buf_.data() + len_, buf_.size() - len_);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Lesen von " + path_ + " fehlgeschlagen: " + errnoText());
        }
        if (r == 0) {
            eof_ = true;
            close();
            return false;
        }
        len_ += static_cast<std::size_t>(r);
        return true;
    }
}

bool TextBuffer::HasLine(std::size_t pos) {
    while (pos >= base_ + len_)
        if (!readMore())
            return false;
    return true;
}

std::string_view TextBuffer::LineAt(std::size_t pos, std::size_t& next) {
    if (pos < base_ || !HasLine(pos))
        throw EInfemora("Zeile " + std::to_string(pos) + " ist nicht im Puffer");
    std::size_t ab = pos;
    for (;;) {
        const char* p = buf_.data() + (ab - base_);
        const std::size_t n = base_ + len_ - ab;
        const auto* nl = static_cast<const char*>(std::memchr(p, '\n', n));
        const std::size_t bisNl = nl ? static_cast<std::size_t>(nl - p) : n;
        const auto* cr = static_cast<const char*>(std::memchr(p, '\r', bisNl));
        const std::size_t stop = cr ? static_cast<std::size_t>(cr - p) : bisNl;
        if (stop < n) {
            const std::size_t ende = ab + stop;
            if (buf_[ende - base_] == '\r') {
                // Whether a LF follows may only show after reading on.
                if (ende + 1 == base_ + len_)
                    readMore();
                next = ende + 1 < base_ + len_ && buf_[ende + 1 - base_] == '\n' ? ende + 2 : ende + 1;
            } else {
                next = ende + 1;
            }
            return {buf_.data() + (pos - base_), ende - pos};
        }
        ab = base_ + len_;
        if (!readMore()) {
            next = base_ + len_;
            return {buf_.data() + (pos - base_), next - pos};
        }
    }
}

std::size_t TextBuffer::Find(std::string_view part, std::size_t from) {
    if (part.empty())
        return from;
    std::size_t ab = std::max(from, keep_);
    for (;;) {
        const std::size_t ende = base_ + len_;
        if (ab < ende) {
            const std::size_t off = Suche(buf_.data() + (ab - base_), ende - ab, part);
            if (off != std::string_view::npos)
                return ab + off;
            ab = std::max(ab, ende >= part.size() - 1 ? ende - (part.size() - 1) : 0);
        }
        // An occurrence still to come lies in the line that holds `ab` or after it.
        const char* p = buf_.data();
        for (std::size_t t = std::min(ab, ende); t > keep_; --t)
            if (IstZeilenende(p[t - 1 - base_])) {
                keep_ = t;
                break;
            }
        if (!readMore())
            return std::string_view::npos;
    }
}

bool TextBuffer::PrecededBy(std::size_t pos, std::string_view part) const {
    if (pos < base_ + part.size() || pos > base_ + len_)
        return false;
    return std::string_view(buf_.data() + (pos - base_) - part.size(), part.size()) == part;
}

std::size_t TextBuffer::LineStartOf(std::size_t pos) const {
    const std::size_t grenze = std::max(keep_, base_);
    while (pos > grenze && !IstZeilenende(buf_[pos - 1 - base_]))
        --pos;
    return pos;
}

std::string_view TextBuffer::Bytes(std::size_t pos, std::size_t len) const {
    if (pos < base_ || pos + len > base_ + len_)
        throw EInfemora("Bereich " + std::to_string(pos) + " ist nicht im Puffer");
    return {buf_.data() + (pos - base_), len};
}

void TextBuffer::Release(std::size_t pos) {
    if (pos > keep_)
        keep_ = std::min(pos, base_ + len_);
}

} // namespace infemora
