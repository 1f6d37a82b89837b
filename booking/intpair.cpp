#include "booking/intpair.h"

#include <cstdio>

namespace infemora {

std::string qvr_TIntPair2String(const TIntPair& p) {
    return qvr_TIntPair2String_Ext(p, "-", false);
}

std::string qvr_TIntPair2String_Ext(const TIntPair& p, const std::string& separator, bool zeroPad) {
    if (!zeroPad)
        return std::to_string(p.R) + separator + std::to_string(p.L);
    char r[16];
    char l[16];
    std::snprintf(r, sizeof r, "%04d", static_cast<int>(p.R));
    std::snprintf(l, sizeof l, "%09d", static_cast<int>(p.L));
    return std::string(r) + separator + l;
}

} // namespace infemora
