// Booking numbers, date texts, the export line and the search: the pure parts of the viewer.
#include "booking_fixture.h"

using namespace infemora;
using namespace infemora::booktest;

TEST(IntPair, TextsReadBackThroughTheSplitAtTheFirstDash) {
    for (TIntPair p : {TIntPair{12, 345}, TIntPair{9999, 999999999}, TIntPair{0, 7}, TIntPair{1, 0}}) {
        const std::string text = qvr_TIntPair2String(p);
        EXPECT_TRUE(IntPairEqual(StringToIntPair(text, '-'), p)) << text;
        EXPECT_EQ(qvr_TIntPair2String_Ext(p, "-", false), text);
    }
    EXPECT_EQ(qvr_TIntPair2String({12, 345}), "12-345");
    EXPECT_EQ(qvr_TIntPair2String_Ext({12, 345}, "-", true), "0012-000000345");
    EXPECT_EQ(qvr_TIntPair2String_Ext({9999, 999999999}, "-", true), "9999-999999999");
    EXPECT_EQ(qvr_TIntPair2String_Ext({1, 2}, "/", false), "1/2");
}

TEST(IntPair, EmptyPairAndOrderByFirstThenSecond) {
    EXPECT_FALSE(IntPairDefined(CLeeresIntPair));
    EXPECT_TRUE(IntPairDefined({0, 1}));
    EXPECT_TRUE(IntPairDefined({1, 0}));
    EXPECT_LT((TIntPair{1, 999}), (TIntPair{2, 1}));
    EXPECT_LT((TIntPair{2, 9}), (TIntPair{2, 10}));
    EXPECT_FALSE(IntPairEqual({1, 2}, {2, 1}));
}

TEST(StringToIntPair, SplitsAtTheFirstSeparator) {
    struct Case {
        const char* text;
        TIntPair expected;
    };
    const Case cases[] =
        {
            {"12-345", {12, 345}},
            {"12-", {12, 0}},
            {"-345", {0, 345}},
            {"345", {0, 345}},
            {"", {0, 0}},
            {"12-34-56", {12, 0}},
            {"x-5", {0, 5}},
            {" 7 - 8 ", {7, 8}},
            {"1-99999999999", {1, 0}}, // beyond 32 bits: no valid integer
        };
    for (const Case& c : cases) {
        TIntPair p = StringToIntPair(c.text, '-');
        EXPECT_TRUE(IntPairEqual(p, c.expected)) << "'" << c.text << "' gave " << p.R << "," << p.L
                                                 << " instead of " << c.expected.R << "," << c.expected.L;
    }
}

TEST(FormatDatumUZeit, UsesTheLocaleFormatsOfTheSettings) {
    testenv::TempSite site;
    EXPECT_EQ(FormatDatumUZeit(Tag(2024, 3, 11), Uhr(14, 25, 1)), "11.03.2024, 14:25:01");
    Settings s = site.settings();
    s.regional.shortDate = "yyyy-MM-dd";
    SetSettingsForTesting(s);
    EXPECT_EQ(FormatDatumUZeit(Tag(2024, 3, 11), Uhr(9, 5, 0)), "2024-03-11, 09:05:00");
}

TEST(DatumAusFeld, TwoDigitYearBelongsToThisCenturyUnlessThatLiesAhead) {
    SetClockForTesting(Tag(2024, 7, 1));
    EXPECT_EQ(PKPFDatumAusFeld("05.03.24"), Tag(2024, 3, 5));
    EXPECT_EQ(PKPFDatumAusFeld("31.12.25"), Tag(1925, 12, 31));
    EXPECT_EQ(PKPFDatumAusFeld("01.01.00"), Tag(2000, 1, 1));
    EXPECT_EQ(PKPFDatumAusFeld("01.01.99"), Tag(1999, 1, 1));
    EXPECT_THROW(PKPFDatumAusFeld("31.02.24"), EConvertError);
    EXPECT_THROW(PKPFDatumAusFeld("  .  .  "), EConvertError);
    EXPECT_THROW(PKPFDatumAusFeld(""), EConvertError);
    SetClockForTesting(TDateTime());
}

TEST(ExportZeile, TitleLineFillsItsFieldsAnd596Characters) {
    const std::string titel = PKPFExportZeile(PKPFExportTitel());
    ASSERT_EQ(titel.size(), 596u);
    EXPECT_EQ(titel.substr(0, 61), "Protokollnummer; Buch.-Datum; Buch.-Zeit; Programm; Vorfall; ");
    EXPECT_NE(titel.find("; Ges. L\xE4nge; "), std::string::npos);
    EXPECT_NE(titel.find("; Verarb.-Teriminal; "), std::string::npos);
    // Only two titles are shorter than their fields.
    EXPECT_NE(titel.find("Buch.-Benutzer-Name" + std::string(72 - 19, ' ') + "; "), std::string::npos);
    EXPECT_TRUE(titel.ends_with("Beschreibung" + std::string(255 - 12, ' ') + "; "));
}

TEST(ExportZeile, PadsLeftAndRightAlignedFieldsAndKeepsLongValuesWhole) {
    TPKPFExportFelder f;
    f[0] = "0012-000000345";
    f[5] = "        9";
    f[7] = "    42";
    f[19] = "Preis; alt\r\n4,99";
    const std::string z = PKPFExportZeile(f);
    EXPECT_EQ(z.substr(0, 17), "0012-000000345 ; ");
    // Satz-Anzahl (11, right), Ges. Länge (10, right, empty), Prozess-Id (18, right).
    EXPECT_NE(z.find(";" + std::string(11, ' ') + "9;" + std::string(11, ' ') + ";" + std::string(17, ' ') +
                     "42; "),
              std::string::npos);
    EXPECT_NE(z.find("; Preis; alt\r\n4,99"), std::string::npos);
    EXPECT_EQ(z.size(), 596u);

    f[3] = "PROGRAMMNAME"; // 12 characters in a field of 8
    EXPECT_EQ(PKPFExportZeile(f).size(), 600u);
    EXPECT_NE(PKPFExportZeile(f).find("; PROGRAMMNAME; "), std::string::npos);
}

TEST(BuchungSuchen, FindsTheFirstRowFromTheTopInTheGivenOrder) {
    std::vector<TPKPFKopfZeile> zeilen(4);
    zeilen[0].BuchungsNr = "1-10";
    zeilen[1].BuchungsNr = "2-7";
    zeilen[2].BuchungsNr = "1-9";
    zeilen[3].BuchungsNr = "2-7";

    EXPECT_FALSE(BuchungSuchen(0, 7, zeilen).gesucht);
    EXPECT_FALSE(BuchungSuchen(2, 0, zeilen).gesucht);

    TPKPFSuchErgebnis e = BuchungSuchen(2, 7, zeilen);
    EXPECT_TRUE(e.gesucht);
    EXPECT_EQ(e.zeile, 1u);
    EXPECT_EQ(BuchungSuchen(1, 9, zeilen).zeile, 2u);
    // 1-1 is a prefix of 1-10 as text but a different number.
    e = BuchungSuchen(1, 1, zeilen);
    EXPECT_TRUE(e.gesucht);
    EXPECT_FALSE(e.zeile.has_value());

    // Sorted the other way round, the other 2-7 row is the first from the top.
    const std::vector<std::size_t> reihenfolge = {3, 2, 1, 0};
    e = BuchungSuchen(2, 7, reihenfolge.size(),
                      [&](std::size_t i) -> const std::string& { return zeilen[reihenfolge[i]].BuchungsNr; });
    EXPECT_EQ(e.zeile, 0u);
}
