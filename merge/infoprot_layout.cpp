#include "merge/infoprot_layout.h"

#include "host/errors.h"

#include <cstring>
#include <string>

namespace infemora {

namespace {

// A field by 0-based position; short lines give a shorter or empty field.
std::string_view field(std::string_view line, std::size_t pos, std::size_t len) {
    return pos >= line.size() ? std::string_view() : line.substr(pos, len);
}

struct Uhrzeit {
    int stunde, minute, sekunde;
};

// Two digits are by far the most common case; anything else goes the general way.
int zahl(std::string_view f) {
    if (f.size() == 2 && f[0] >= '0' && f[0] <= '9' && f[1] >= '0' && f[1] <= '9')
        return (f[0] - '0') * 10 + (f[1] - '0');
    return StrToIntDef(f, 0);
}

Uhrzeit uhrzeitAusZeile(std::string_view line) {
    return {zahl(field(line, 17, 2)), zahl(field(line, 19, 2)), zahl(field(line, 21, 2))};
}

} // namespace

bool TryZeitstempelAusZeile(std::string_view line, TDateTime& out) {
    TDateTime datum;
    if (!TryJJJJMMTT2Date(field(line, 8, 8), datum))
        return false;
    Uhrzeit u = uhrzeitAusZeile(line);
    TDateTime zeit;
    if (!TryEncodeTime(u.stunde, u.minute, u.sekunde, 0, zeit))
        return false;
    out = datum + zeit;
    return true;
}

bool TryZeitstempelAusZeile(std::string_view line, TDateTime& out, DatumsCache& cache) {
    std::string_view digits = field(line, 8, 8);
    if (digits.size() != 8)
        return false;
    if (!cache.belegt || std::memcmp(cache.digits, digits.data(), 8) != 0) {
        std::memcpy(cache.digits, digits.data(), 8);
        cache.belegt = true;
        cache.gueltig = TryJJJJMMTT2Date(digits, cache.tag);
    }
    if (!cache.gueltig)
        return false;
    Uhrzeit u = uhrzeitAusZeile(line);
    TDateTime zeit;
    if (!TryEncodeTime(u.stunde, u.minute, u.sekunde, 0, zeit))
        return false;
    out = cache.tag + zeit;
    return true;
}

TDateTime ZeitstempelAusZeile(std::string_view line) {
    TDateTime datum = JJJJMMTT2Date(field(line, 8, 8));
    Uhrzeit u = uhrzeitAusZeile(line);
    return datum + EncodeTime(u.stunde, u.minute, u.sekunde, 0);
}

} // namespace infemora
