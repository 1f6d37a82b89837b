#pragma once
// Cuts a stream of bytes, handed over in pieces of any size, into lines at CR LF, LF or CR, as
// the view reads a text. A CR that ends one piece is resolved by the next. A final line break
// makes no empty last line.
//
// The sink gets, in order, the bytes of the line being read (several times for a line that
// spans pieces, never a line break among them) and each complete line:
//   void content(const char* from, const char* to, std::uint64_t offset); // offset of *from
//   void line(std::uint64_t start, std::uint64_t length, LineBreak lineBreak);
// A template, so that a sink that ignores the bytes costs nothing per line.
#include "textview/line_break.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace infemora {

template <class Sink> class LineCutter {
public:
    // Bytes that start at this offset (behind the lines already cut).
    explicit LineCutter(Sink& sink, std::uint64_t offset = 0)
        : sink_(sink), offset_(offset), lineStart_(offset) {}

    void feed(const char* data, std::size_t size) {
        if (size == 0)
            return;
        const std::uint64_t base = offset_;
        offset_ += size;
        const char* p = data;
        const char* const end = data + size;
        auto at = [&](const char* q) { return base + static_cast<std::uint64_t>(q - data); };
        if (pendingCr_) {
            pendingCr_ = false;
            const bool crlf = *p == '\n';
            endLine(base - 1, crlf ? LineBreak::CrLf : LineBreak::Cr, crlf ? base + 1 : base);
            if (crlf)
                ++p;
        }
        // Each kind of break is looked for with memchr; a cursor is searched again only once the
        // scan has passed it, so a text without CR costs one failed memchr per piece.
        auto find = [end](const char* from, char c) {
            const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
            return hit ? static_cast<const char*>(hit) : end;
        };
        const char* nextLf = find(p, '\n');
        const char* nextCr = find(p, '\r');
        for (;;) {
            const char* q = std::min(nextLf, nextCr);
            if (q > p)
                sink_.content(p, q, at(p));
            if (q == end)
                break;
            if (*q == '\n') {
                endLine(at(q), LineBreak::Lf, at(q) + 1);
                p = q + 1;
            } else if (q + 1 == end) {
                pendingCr_ = true; // the next piece tells whether an LF follows
                break;
            } else if (q[1] == '\n') {
                endLine(at(q), LineBreak::CrLf, at(q) + 2);
                p = q + 2;
            } else {
                endLine(at(q), LineBreak::Cr, at(q) + 1);
                p = q + 1;
            }
            if (nextLf < p)
                nextLf = find(p, '\n');
            if (nextCr < p)
                nextCr = find(p, '\r');
        }
    }

    void finish() {
        if (pendingCr_) {
            pendingCr_ = false;
            endLine(offset_ - 1, LineBreak::Cr, offset_);
        }
        if (lineStart_ < offset_)
            endLine(offset_, LineBreak::None, offset_);
    }

private:
    // The line ends at `at` (where its break begins); the next one starts at `next`.
    void endLine(std::uint64_t at, LineBreak lineBreak, std::uint64_t next) {
        sink_.line(lineStart_, at - lineStart_, lineBreak);
        lineStart_ = next;
    }

    Sink& sink_;
    std::uint64_t offset_; // of the next piece
    std::uint64_t lineStart_;
    bool pendingCr_ = false;
};

} // namespace infemora
