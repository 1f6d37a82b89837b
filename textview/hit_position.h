#pragma once
// Where a view stands after a search hit: a hit is read with what stands around it, so a hit
// outside the middle part of the view is scrolled to its middle rather than onto an edge line.
#include <cstdint>

namespace infemora {

// The first visible line after showing trefferZeile, given the first visible line now, the rows
// that fit and the lines of the text. A hit with a few lines of context above and below it in
// view leaves the view where it is.
std::int64_t ObersteZeileFuerTreffer(std::int64_t trefferZeile, std::int64_t oben, std::int64_t zeilenImBild,
                                     std::int64_t zeilen);

} // namespace infemora
