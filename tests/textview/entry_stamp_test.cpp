// The time stamp the status line shows for the line at the cursor.
#include "textview/entry_stamp.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

TEST(EintragsStempel, TheEntryALineBelongsTo) {
    LogDocument doc;
    doc.setLines({
        "Vorspann ohne Eintrag",                     // 0
        "00001<<=====",                              // 1
        "00001## 20261208 101500 KASSE1 KASSE Info", // 2
        "     Text eins",                            // 3
        "     Text zwei",                            // 4
        "00002<<=====",                              // 5
        "     ohne Zeitstempel",                     // 6
        "00003<<=====",                              // 7
        "00003## 20261208 256000 KASSE1 KASSE Info", // 8: no valid time
        "00004<<=====",                              // 9
        "00004## 20261209 080000 KASSE1 KASSE Info", // 10
    });
    const auto am = [](int h, int m, int s) { return EncodeDate(2026, 12, 8) + EncodeTime(h, m, s, 0); };
    struct Fall {
        const char* name;
        std::int64_t zeile;
        std::optional<TDateTime> erwartet;
    };
    const Fall faelle[] = {
        {"before the first entry", 0, std::nullopt},
        {"the start line", 1, am(10, 15, 0)},
        {"the stamp line", 2, am(10, 15, 0)},
        {"a text line", 4, am(10, 15, 0)},
        {"an entry without stamp", 6, std::nullopt},
        {"an entry with an invalid stamp", 8, std::nullopt},
        {"the last entry", 10, EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0, 0)},
        {"past the end", 11, std::nullopt},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(EintragsStempelBei(doc, f.zeile), f.erwartet) << f.name;
}

TEST(EintragsStempel, AStartFartherUpThanTheLimitIsNotLookedFor) {
    Lines lines = {"00001<<=====", "00001## 20261208 101500 KASSE1 KASSE Info"};
    for (int i = 0; i < 50; ++i)
        lines.push_back("     Zeile");
    LogDocument doc;
    doc.setLines(lines);
    EXPECT_TRUE(EintragsStempelBei(doc, 51, 60).has_value());
    EXPECT_FALSE(EintragsStempelBei(doc, 51, 40).has_value());
}

} // namespace
} // namespace infemora
