#include "evaluation/text_compare.h"

#include "host/codec1252.h"
#include "host/errors.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unicode/coll.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace infemora {

std::string UpperCaseAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = UpperAscii(c);
    return out;
}

int CompareTextAscii(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n) {
        // Sorted lists hold long runs of equal text: skip equal bytes eight at a time.
        while (i + 8 <= n) {
            std::uint64_t x, y;
            std::memcpy(&x, a.data() + i, 8);
            std::memcpy(&y, b.data() + i, 8);
            if (x != y)
                break;
            i += 8;
        }
        while (i < n && a[i] == b[i])
            ++i;
        if (i == n)
            break;
        auto ca = static_cast<unsigned char>(UpperAscii(a[i]));
        auto cb = static_cast<unsigned char>(UpperAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool ContainsUpperAscii(std::string_view text, std::string_view upperPart) {
    const std::size_t m = upperPart.size();
    if (m == 0)
        return true;
    if (text.size() < m)
        return false;
    const std::size_t letzte = text.size() - m; // last possible start
    auto passt = [&](std::size_t j) {
        for (std::size_t k = 0; k < m; ++k)
            if (UpperAscii(text[j + k]) != upperPart[k])
                return false;
        return true;
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Candidates: first and last byte match without regard to case. Setting bit 0x20 folds
    // A to Z onto a to z (and a few other bytes onto each other, which the full test sorts out).
    auto faltung = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? 0x20 : 0); };
    const __m128i oder0 = _mm_set1_epi8(faltung(upperPart.front()));
    const __m128i ziel0 = _mm_set1_epi8(static_cast<char>(upperPart.front() | faltung(upperPart.front())));
    const __m128i oderL = _mm_set1_epi8(faltung(upperPart.back()));
    const __m128i zielL = _mm_set1_epi8(static_cast<char>(upperPart.back() | faltung(upperPart.back())));
    for (; i + 15 <= letzte; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + m - 1));
        auto maske = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
            _mm_cmpeq_epi8(_mm_or_si128(a, oder0), ziel0), _mm_cmpeq_epi8(_mm_or_si128(b, oderL), zielL))));
        while (maske != 0) {
            if (passt(i + static_cast<std::size_t>(__builtin_ctz(maske))))
                return true;
            maske &= maske - 1;
        }
    }
#endif
    for (; i <= letzte; ++i)
        if (passt(i))
            return true;
    return false;
}

std::string_view TrimBlanks(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

struct GermanCollator::Impl {
    std::unique_ptr<icu::Collator> collator;
};

namespace {

icu::UnicodeString toUnicode(std::string_view text1252) {
    std::string utf8 = Win1252ToUtf8(text1252);
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

} // namespace

GermanCollator::GermanCollator() : impl_(new Impl) {
    UErrorCode status = U_ZERO_ERROR;
    impl_->collator.reset(icu::Collator::createInstance(icu::Locale::getGerman(), status));
    if (U_FAILURE(status) || !impl_->collator) {
        delete impl_;
        throw EInfemora(std::string("Sortierung für Deutsch nicht verfügbar: ") + u_errorName(status));
    }
    // Secondary strength: accents count, letter case does not.
    impl_->collator->setStrength(icu::Collator::SECONDARY);
}

GermanCollator::~GermanCollator() {
    delete impl_;
}

std::string GermanCollator::SortKey(std::string_view text1252) const {
    icu::UnicodeString u = toUnicode(text1252);
    std::string key(64, '\0');
    int32_t len = impl_->collator->getSortKey(u, reinterpret_cast<uint8_t*>(key.data()),
                                              static_cast<int32_t>(key.size()));
    if (len > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(len));
        len = impl_->collator->getSortKey(u, reinterpret_cast<uint8_t*>(key.data()), len);
    }
    key.resize(static_cast<std::size_t>(len));
    return key;
}

int GermanCollator::Compare(std::string_view a1252, std::string_view b1252) const {
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = impl_->collator->compare(toUnicode(a1252), toUnicode(b1252), status);
    if (U_FAILURE(status))
        throw EInfemora(std::string("Vergleich fehlgeschlagen: ") + u_errorName(status));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

} // namespace infemora
