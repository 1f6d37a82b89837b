// Where the view stands after a search hit.
#include "textview/hit_position.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

TEST(TrefferPosition, AHitGetsContextAboveAndBelow) {
    struct Fall {
        const char* name;
        std::int64_t treffer, oben, bild, zeilen, erwartet;
    };
    const Fall faelle[] = {
        {"well inside the view: it stays", 110, 100, 40, 10'000, 100},
        {"on the bottom line: to the middle", 139, 100, 40, 10'000, 119},
        {"just below the view: to the middle", 500, 100, 40, 10'000, 480},
        {"on the top line: to the middle", 100, 100, 40, 10'000, 80},
        {"near the start: the view starts at the top", 5, 100, 40, 10'000, 0},
        {"near the end: the last page", 9'998, 0, 40, 10'000, 9'960},
        {"a text shorter than the view", 7, 0, 40, 12, 0},
        {"a view of one row", 50, 0, 1, 100, 50},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(ObersteZeileFuerTreffer(f.treffer, f.oben, f.bild, f.zeilen), f.erwartet) << f.name;
}

} // namespace
} // namespace infemora
