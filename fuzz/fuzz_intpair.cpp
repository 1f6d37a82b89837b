// The booking number's text and back: StringToIntPair on any text and separator agrees with a
// plain reading of the two parts, and a pair written by the pair text functions reads back as
// the same pair wherever the separator cannot be mistaken for a part of a number.
#include "booking/buchungsprotokoll.h"
#include "booking/intpair.h"
#include "host/messages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

using namespace infemora;

namespace {

[[noreturn]] void Fehler(const char* was, const std::string& text) {
    std::fprintf(stderr, "fuzz_intpair: %s: \"%s\"\n", was, text.c_str());
    std::abort();
}

// A part as the number fields read it: blanks and tabs around, an optional sign, then decimal
// digits (at most 18 after leading zeros), within 32 bits; anything else is 0.
std::int32_t Teil(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    bool minus = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        minus = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return 0;
    for (char c : s)
        if (c < '0' || c > '9')
            return 0;
    while (s.size() > 1 && s.front() == '0')
        s.remove_prefix(1); // leading zeros are no digits of their own
    if (s.size() > 18)
        return 0;
    long long v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    v = minus ? -v : v;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return 0;
    return static_cast<std::int32_t>(v);
}

bool IstZiffer(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Info().setEchoToStderr(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9)
        return 0;
    const char trenner = static_cast<char>(data[0]);
    std::int32_t r, l;
    std::memcpy(&r, data + 1, 4);
    std::memcpy(&l, data + 5, 4);
    const TIntPair paar{r, l};
    const std::string text(reinterpret_cast<const char*>(data) + 9, size - 9);

    // Any text: the part before the first separator and the rest, each read as a number.
    const std::size_t pos = text.find(trenner);
    const TIntPair soll = pos == std::string::npos ? TIntPair{0, Teil(text)}
                                                   : TIntPair{Teil(std::string_view(text).substr(0, pos)),
                                                              Teil(std::string_view(text).substr(pos + 1))};
    if (!IntPairEqual(StringToIntPair(text, trenner), soll))
        Fehler("pair read wrongly from", text);

    // Written and read back. A digit as separator is read as part of a number, and with "-" a
    // negative first part is cut at its own sign.
    const bool eindeutig = !IstZiffer(trenner) && (trenner != '-' || r >= 0);
    const std::string plain = qvr_TIntPair2String(paar);
    if (plain != std::to_string(r) + "-" + std::to_string(l))
        Fehler("plain text of the pair", plain);
    if (r >= 0 && !IntPairEqual(StringToIntPair(plain, '-'), paar))
        Fehler("plain text does not read back", plain);
    const std::string sep(1, trenner);
    for (bool nullen : {false, true}) {
        const std::string t = qvr_TIntPair2String_Ext(paar, sep, nullen);
        if (eindeutig && !IntPairEqual(StringToIntPair(t, trenner), paar))
            Fehler("pair text does not read back", t);
        // The export's columns take four and nine digits: within them the text has its width.
        if (nullen && r >= 0 && r <= 9999 && l >= 0 && l <= 999'999'999 && t.size() != 14)
            Fehler("zero-padded pair text without its width", t);
        if (!nullen && t != std::to_string(r) + sep + std::to_string(l))
            Fehler("pair text with separator", t);
    }
    if (!Info().registered().empty())
        std::abort();
    return 0;
}
