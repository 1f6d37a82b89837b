#include "booking/intpair.h"

#include "host/datetime.h"

namespace infemora {

std::string qvr_TIntPair2String(const TIntPair& p) {
    return qvr_TIntPair2String_Ext(p, "-", false);
}

std::string qvr_TIntPair2String_Ext(const TIntPair& p, const std::string& separator, bool zeroPad) {
    std::string text;
    text.reserve(separator.size() + 16);
    AppendPaddedInt(text, p.R, zeroPad ? 4 : 0, '0');
    text += separator;
    AppendPaddedInt(text, p.L, zeroPad ? 9 : 0, '0');
    return text;
}

} // namespace infemora
