#include "evaluation/text_compare.h"

#include "host/codec1252.h"
#include "host/errors.h"

#include <algorithm>
#include <memory>
#include <unicode/coll.h>
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
    for (std::size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(UpperAscii(a[i]));
        auto cb = static_cast<unsigned char>(UpperAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool ContainsUpperAscii(std::string_view text, std::string_view upperPart) {
    if (upperPart.empty())
        return true;
    auto it = std::search(text.begin(), text.end(), upperPart.begin(), upperPart.end(),
                          [](char t, char p) { return UpperAscii(t) == p; });
    return it != text.end();
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
