#include "textview/case_fold.h"

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

} // namespace

void FoldBytes1252(const unsigned char* in, unsigned char* out, std::size_t n) {
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

std::size_t FindFolded(std::string_view text, std::string_view needle, std::size_t from,
                       std::string& scratch) {
    if (from > text.size())
        return std::string_view::npos;
    scratch.resize(text.size());
    FoldBytes1252(reinterpret_cast<const unsigned char*>(text.data()),
                  reinterpret_cast<unsigned char*>(scratch.data()), text.size());
    return std::string_view(scratch).find(needle, from);
}

} // namespace infemora
