// The texts of the status line.
#include "shell/status_texte.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

TDateTime Am(int d, int h, int m, int s) {
    return EncodeDate(2026, 12, d) + EncodeTime(h, m, s, 0);
}

TEST(StatusTexte, Counts) {
    EXPECT_EQ(AnzahlText(0), "0");
    EXPECT_EQ(AnzahlText(999), "999");
    EXPECT_EQ(AnzahlText(1000), "1.000");
    EXPECT_EQ(AnzahlText(2'000'000), "2.000.000");
    EXPECT_EQ(AnzahlText(-12345), "-12.345");
    EXPECT_EQ(DateienZeilenText(3, 12345), "3 Dateien, 12.345 Zeilen");
    EXPECT_EQ(DateienZeilenText(1, 1), "1 Datei, 1 Zeile");
    EXPECT_EQ(DateienZeilenText(1, 0), "1 Datei, 0 Zeilen");
    EXPECT_EQ(DateienZeilenText(0, 0), "keine Datei");
}

TEST(StatusTexte, ThePeriodOfTheFilter) {
    struct Fall {
        const char* name;
        bool gefiltert;
        TDateTime von, bis;
        std::string erwartet;
    };
    const Fall faelle[] = {
        {"one day: the date once", true, Am(8, 10, 0, 0), Am(8, 11, 0, 0),
         "Zeitraum 08.12.2026 10:00:00 \u2013 11:00:00"},
        {"two days", true, Am(7, 10, 0, 0), Am(8, 23, 59, 59),
         "Zeitraum 07.12.2026 10:00:00 \u2013 08.12.2026 23:59:59"},
        {"no start", true, TDateTime(), Am(8, 23, 59, 59), "Zeitraum bis 08.12.2026 23:59:59"},
        {"no filter", false, Am(8, 10, 0, 0), Am(8, 11, 0, 0), "alle Eintr\u00e4ge"},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(FilterText(f.gefiltert, f.von, f.bis), f.erwartet) << f.name;
    EXPECT_EQ(KeinEintragImZeitraumText(Am(8, 10, 0, 0), Am(8, 11, 0, 0)),
              "Kein Eintrag liegt im Zeitraum 08.12.2026 10:00:00 \u2013 11:00:00.");
}

TEST(StatusTexte, TheCursorAndASearchWithoutHit) {
    EXPECT_EQ(CursorText(0, 12345, std::nullopt), "Zeile 1 von 12.345");
    EXPECT_EQ(CursorText(1233, 12345, Am(8, 10, 0, 1)),
              "Zeile 1.234 von 12.345 \u00b7 Eintrag vom 08.12.2026 10:00:01");
    EXPECT_EQ(CursorText(0, 0, std::nullopt), "");
    EXPECT_EQ(NichtGefundenText("FEHLER"), "\u201eFEHLER\u201c nicht gefunden");
}

} // namespace
} // namespace infemora
