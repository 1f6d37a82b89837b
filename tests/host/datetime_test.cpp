#include "host/datetime.h"
#include "host/errors.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <vector>

using namespace infemora;

TEST(DateTime, DayNumbersMatchTheFamilyEpoch) {
    EXPECT_EQ(EncodeDate(1899, 12, 30).ms, 0);
    EXPECT_EQ(EncodeDate(1899, 12, 31).day(), 1);
    EXPECT_EQ(EncodeDate(1900, 3, 1).day(), 61);
    EXPECT_EQ(EncodeDate(2026, 12, 8).day(), 46364);
    EXPECT_EQ(EncodeDate(1899, 12, 29).day(), -1);
    DateParts p = DecodeDate(EncodeDate(2024, 2, 29));
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 2);
    EXPECT_EQ(p.day, 29);
    DateParts before = DecodeDate(TDateTime(-MsPerDay + 5));
    EXPECT_EQ(before.day, 29);
    EXPECT_EQ(before.month, 12);
}

TEST(DateTime, BoundsCompareToTheMillisecond) {
    TDateTime end = EncodeDate(2026, 12, 8) + EncodeTime(23, 59, 59, 99);
    TDateTime entry = EncodeDate(2026, 12, 8) + EncodeTime(23, 59, 59, 0);
    TDateTime later = EncodeDate(2026, 12, 8) + EncodeTime(23, 59, 59, 100);
    EXPECT_LT(entry, end);
    EXPECT_GT(later, end);
    EXPECT_EQ(DecodeTime(end).msec, 99);
}

TEST(DateTime, InvalidPartsAreRejected) {
    TDateTime out;
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, out));
    EXPECT_FALSE(TryEncodeDate(2024, 13, 1, out));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, out));
    EXPECT_FALSE(TryEncodeTime(12, 60, 0, 0, out));
    EXPECT_THROW(EncodeDate(2024, 0, 1), EConvertError);
}

TEST(DateTime, EightDigitDates) {
    EXPECT_EQ(JJJJMMTT2Date("20261208"), EncodeDate(2026, 12, 8));
    TDateTime out;
    for (const char* bad : {"2026120", "2026-12-", "20261332", "abcdefgh", "", "20260230", " 2026120"})
        EXPECT_FALSE(TryJJJJMMTT2Date(bad, out)) << bad;
    EXPECT_THROW(JJJJMMTT2Date("20261301"), EConvertError);
}

TEST(DateTime, FormatsWithTheSettingsPatterns) {
    TDateTime t = EncodeDate(2024, 3, 11) + EncodeTime(14, 25, 1, 7);
    EXPECT_EQ(FormatDateTime("dd.MM.yyyy HH:mm:ss", t), "11.03.2024 14:25:01");
    EXPECT_EQ(FormatDateTime("yyMMddhhnnss", t), "240311142501");
    EXPECT_EQ(FormatDateTime("yyMMdd", t), "240311");
    EXPECT_EQ(FormatDateTime("HH:mm:ss.zzz", t), "14:25:01.007");
    EXPECT_EQ(DateToStr(t), "11.03.2024");
    EXPECT_EQ(TimeToStr(t), "14:25:01");
}

TEST(DateTime, LocaleDateAcceptsBothYearForms) {
    SetFormats(LocaleFormats{});
    EXPECT_EQ(StrToDate("08.12.2026"), EncodeDate(2026, 12, 8));
    EXPECT_EQ(StrToDate(" 08.12.26 "), EncodeDate(2026, 12, 8));
    EXPECT_EQ(StrToDate("8.1.2026"), EncodeDate(2026, 1, 8));
    TDateTime out;
    for (const char* bad : {"", "   ", "32.12.2026", "08-12-2026x", "abc", "08..2026", "29.02.2023"})
        EXPECT_FALSE(TryStrToDate(bad, out)) << bad;
}

TEST(DateTime, LocaleTime) {
    EXPECT_EQ(StrToTime("12:00:00"), EncodeTime(12, 0, 0, 0));
    EXPECT_EQ(StrToTime("7:05"), EncodeTime(7, 5, 0, 0));
    EXPECT_EQ(StrToTime("23:59:59.099"), EncodeTime(23, 59, 59, 99));
    TDateTime out;
    for (const char* bad : {"", "24:00:00", "12:60:00", "ab:cd", "12:00:61"})
        EXPECT_FALSE(TryStrToTime(bad, out)) << bad;
}

TEST(DateTime, OtherShortDateFormatsFromTheSettings) {
    SetFormats(LocaleFormats{"yyyy-MM-dd", "HH:mm:ss"});
    EXPECT_EQ(StrToDate("2026-12-08"), EncodeDate(2026, 12, 8));
    EXPECT_EQ(DateToStr(EncodeDate(2026, 12, 8)), "2026-12-08");
    SetFormats(LocaleFormats{});
}

TEST(DateTime, IntegerConversion) {
    long long v = 0;
    EXPECT_TRUE(TryStrToInt(" -5 ", v));
    EXPECT_EQ(v, -5);
    EXPECT_FALSE(TryStrToInt("", v));
    EXPECT_FALSE(TryStrToInt("5x", v));
    EXPECT_FALSE(TryStrToInt("-", v));
    EXPECT_EQ(StrToIntDef("abc", 30), 30);
    EXPECT_EQ(StrToIntDef("99999999999", 7), 7);
    // Leading zeros are no digits of their own; a real 19-digit number still is too large.
    EXPECT_TRUE(TryStrToInt("0000000000000000000012", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(TryStrToInt("-0000000000000000000000", v));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(TryStrToInt("1000000000000000000", v));
}

// The export's fixed-width numbers and booking numbers are written as printf writes them.
TEST(DateTime, PaddedIntegersMatchPrintf) {
    std::mt19937_64 zufall(7);
    std::vector<long long> werte = {0,         1,          -1,      9,       10,        -10,
                                    999999999, 1000000000, INT_MAX, INT_MIN, LLONG_MAX, LLONG_MIN};
    for (int i = 0; i < 2000; ++i)
        werte.push_back(static_cast<long long>(zufall()) >> (zufall() % 63));
    for (long long wert : werte) {
        for (int breite : {0, 1, 4, 6, 9, 12, 25}) {
            for (char fuellung : {'0', ' '}) {
                char erwartet[64];
                std::snprintf(erwartet, sizeof erwartet, fuellung == '0' ? "%0*lld" : "%*lld", breite, wert);
                std::string text = "x";
                AppendPaddedInt(text, wert, breite, fuellung);
                ASSERT_EQ(text, std::string("x") + erwartet) << wert << " width " << breite;
            }
        }
    }
}

TEST(DateTime, FrozenClock) {
    SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(10, 0, 0, 0));
    EXPECT_EQ(Today(), EncodeDate(2026, 12, 8));
    SetClockForTesting(TDateTime());
    EXPECT_GT(Today(), EncodeDate(2020, 1, 1));
}
