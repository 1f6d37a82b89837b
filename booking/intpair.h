#pragma once
// The program family's pair of numbers: booking numbers and user ids are two signed 32-bit
// integers, compared by the first part, then the second.
#include <compare>
#include <cstdint>
#include <string>

namespace infemora {

struct TIntPair {
    std::int32_t R = 0; // first part (RNr of a booking number)
    std::int32_t L = 0; // second part (LNr)

    constexpr auto operator<=>(const TIntPair&) const = default;
};

// The empty pair is (0, 0): the number fields of the window count an empty field as 0, so a
// number with a part 0 can never be asked for there anyway.
inline constexpr TIntPair CLeeresIntPair{0, 0};

constexpr bool IntPairDefined(const TIntPair& p) {
    return p != CLeeresIntPair;
}
constexpr bool IntPairEqual(const TIntPair& a, const TIntPair& b) {
    return a.R == b.R && a.L == b.L;
}

// "R-L" in plain decimal; reads back through a split at the first "-" for parts >= 0.
std::string qvr_TIntPair2String(const TIntPair& p);
// With zeroPad the parts are written with 4 and 9 digits ("0012-000000345"), as the fixed-width
// export wants them; without it as qvr_TIntPair2String, with the given separator.
std::string qvr_TIntPair2String_Ext(const TIntPair& p, const std::string& separator, bool zeroPad);

} // namespace infemora
