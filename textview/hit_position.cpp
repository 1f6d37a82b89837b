#include "textview/hit_position.h"

#include <algorithm>

namespace infemora {

std::int64_t ObersteZeileFuerTreffer(std::int64_t trefferZeile, std::int64_t oben, std::int64_t zeilenImBild,
                                     std::int64_t zeilen) {
    const std::int64_t bild = std::max<std::int64_t>(1, zeilenImBild);
    const std::int64_t rand = std::min<std::int64_t>(3, bild / 4);
    if (trefferZeile >= oben + rand && trefferZeile <= oben + bild - 1 - rand)
        return oben;
    const std::int64_t hoechste = std::max<std::int64_t>(0, zeilen - bild);
    return std::clamp<std::int64_t>(trefferZeile - bild / 2, 0, hoechste);
}

} // namespace infemora
