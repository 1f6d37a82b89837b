#include "textview/text_search.h"

#include "host/codec1252.h"
#include "textview/line_scanner.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace infemora {

namespace {

// UpperChar1252 as arithmetic rather than a table look-up, so that many bytes are folded at a
// time: a search runs over every byte of logs of hundreds of megabytes.
inline unsigned char foldByte(unsigned char c) {
    const unsigned lowerAscii = static_cast<unsigned char>(c - 'a') <= 'z' - 'a';
    const unsigned lowerLatin = (c >= 0xE0) & (c != 0xF7) & (c != 0xFF);
    const unsigned caron = (c == 0x9A) | (c == 0x9C) | (c == 0x9E); // š, œ, ž
    const auto r = static_cast<unsigned char>(c - 32 * (lowerAscii | lowerLatin) - 16 * caron);
    return c == 0xFF ? static_cast<unsigned char>(0x9F) : r; // ÿ
}

void foldBytes(const unsigned char* in, unsigned char* out, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    auto inRange = [zero](__m128i v, char lo, char span) { // lo <= v <= lo + span, unsigned
        return _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(v, _mm_set1_epi8(lo)), _mm_set1_epi8(span)), zero);
    };
    auto is = [](__m128i v, unsigned char c) {
        return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c)));
    };
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i lower =
            _mm_or_si128(inRange(v, 'a', 'z' - 'a'),
                         _mm_andnot_si128(is(v, 0xF7), inRange(v, static_cast<char>(0xE0), 0x1E)));
        const __m128i caron = _mm_or_si128(_mm_or_si128(is(v, 0x9A), is(v, 0x9C)), is(v, 0x9E));
        __m128i r = _mm_sub_epi8(v, _mm_and_si128(lower, _mm_set1_epi8(32)));
        r = _mm_sub_epi8(r, _mm_and_si128(caron, _mm_set1_epi8(16)));
        const __m128i y = is(v, 0xFF);
        r = _mm_or_si128(_mm_andnot_si128(y, r), _mm_and_si128(y, _mm_set1_epi8(static_cast<char>(0x9F))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), r);
    }
#endif
    for (; i < n; ++i)
        out[i] = foldByte(in[i]);
}

// The first occurrence of the (upper-case) needle in the line, compared without regard to case.
std::size_t findFolded(std::string_view line, std::string_view needle, std::size_t from,
                       std::string& scratch) {
    if (from > line.size())
        return std::string_view::npos;
    scratch.resize(line.size());
    foldBytes(reinterpret_cast<const unsigned char*>(line.data()),
              reinterpret_cast<unsigned char*>(scratch.data()), line.size());
    return std::string_view(scratch).find(needle, from);
}

} // namespace

std::string SuchtextNormalisieren(std::string_view typed) {
    auto b = typed.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    auto e = typed.find_last_not_of(' ');
    return UpperCase1252(typed.substr(b, e - b + 1));
}

std::int64_t SucheVorwaerts(const LogDocument& doc, std::string_view needle, std::int64_t start) {
    if (needle.empty() || doc.lineCount() == 0)
        return -1;
    const LineColumn at = doc.lineColumn(std::max<std::int64_t>(0, start));
    LineScanner scan(doc, at.line, doc.lineCount(), LineScanner::Direction::Forward);
    std::string scratch;
    std::int64_t line;
    std::string_view bytes;
    while (scan.next(line, bytes)) {
        auto from = line == at.line ? static_cast<std::size_t>(at.column) : 0;
        auto hit = findFolded(bytes, needle, from, scratch);
        if (hit != std::string_view::npos)
            return doc.lineStart(line) + static_cast<std::int64_t>(hit);
    }
    return -1;
}

std::int64_t SucheRueckwaerts(const LogDocument& doc, std::string_view needle, std::int64_t caret) {
    if (needle.empty() || doc.lineCount() == 0)
        return -1;
    // Lines that start after the caret are passed over.
    std::int64_t last = doc.lineColumn(std::max<std::int64_t>(0, caret)).line;
    if (doc.lineStart(last) > caret)
        --last;
    LineScanner scan(doc, 0, last + 1, LineScanner::Direction::Backward);
    std::string scratch;
    std::int64_t line;
    std::string_view bytes;
    while (scan.next(line, bytes)) {
        auto hit = findFolded(bytes, needle, 0, scratch);
        if (hit == std::string_view::npos)
            continue;
        std::int64_t pos = doc.lineStart(line) + static_cast<std::int64_t>(hit);
        if (pos != caret)
            return pos;
    }
    return -1;
}

} // namespace infemora
