// The info-log line layout: which lines start entries and carry stamps, and how a stamp reads.
#include "host/datetime.h"
#include "host/errors.h"
#include "merge/infoprot_layout.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

TEST(LineKinds, MarkersCountOnlyAtPositionsSixAndSeven) {
    EXPECT_TRUE(IstStartZeile("12345<<"));
    EXPECT_TRUE(IstStartZeile("abcde<< more"));
    EXPECT_FALSE(IstStartZeile("1234<<"));      // shorter than seven characters
    EXPECT_FALSE(IstStartZeile("123456<<"));    // one too far right
    EXPECT_TRUE(IstStartZeile("1234<<< text")); // only positions 6 and 7 are looked at
    EXPECT_TRUE(IstZeitstempelZeile("xxxxx## 20260312 101500"));
    EXPECT_FALSE(IstZeitstempelZeile("xxxxx#"));
    EXPECT_FALSE(IstZeitstempelZeile("xxxxx<< ## "));
    EXPECT_FALSE(IstStartZeile("xxxxx## 20260312"));
}

struct StampCase {
    const char* name;
    const char* line;
    bool valid;
    int year, month, day, hour, minute, second;
};

class StampReading : public ::testing::TestWithParam<StampCase> {};

TEST_P(StampReading, BuildsTheStampOrRejectsIt) {
    const StampCase& c = GetParam();
    TDateTime got;
    bool ok = TryZeitstempelAusZeile(c.line, got);
    ASSERT_EQ(ok, c.valid) << c.line;
    DatumsCache cache;
    TDateTime cached;
    EXPECT_EQ(TryZeitstempelAusZeile(c.line, cached, cache), c.valid);
    if (!c.valid) {
        EXPECT_THROW(ZeitstempelAusZeile(c.line), EConvertError);
        return;
    }
    TDateTime want = EncodeDate(c.year, c.month, c.day) + EncodeTime(c.hour, c.minute, c.second, 0);
    EXPECT_EQ(got, want);
    EXPECT_EQ(cached, want);
    EXPECT_EQ(ZeitstempelAusZeile(c.line), want);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StampReading,
    ::testing::Values(
        StampCase{"plain", "xxxxx## 20260312 101502 user PROG", true, 2026, 3, 12, 10, 15, 2},
        StampCase{"separatorNotRead", "xxxxx## 20260312x235959", true, 2026, 3, 12, 23, 59, 59},
        StampCase{"lettersInMinuteGiveZero", "xxxxx## 20260312 10ab02", true, 2026, 3, 12, 10, 0, 2},
        StampCase{"noTimeGivesMidnight", "xxxxx## 20260312", true, 2026, 3, 12, 0, 0, 0},
        StampCase{"shortTimeReadsWhatIsThere", "xxxxx## 20260312 1", true, 2026, 3, 12, 1, 0, 0},
        StampCase{"hour24", "xxxxx## 20260312 240000", false, 0, 0, 0, 0, 0, 0},
        StampCase{"minute60", "xxxxx## 20260312 106000", false, 0, 0, 0, 0, 0, 0},
        StampCase{"lettersInDate", "xxxxx## 2026o312 101500", false, 0, 0, 0, 0, 0, 0},
        StampCase{"noSuchDay", "xxxxx## 20260230 101500", false, 0, 0, 0, 0, 0, 0},
        StampCase{"dateCutShort", "xxxxx## 202603", false, 0, 0, 0, 0, 0, 0},
        StampCase{"markerOnly", "xxxxx##", false, 0, 0, 0, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StampReading, CacheFollowsChangingDates) {
    DatumsCache cache;
    TDateTime a, b, c;
    ASSERT_TRUE(TryZeitstempelAusZeile("xxxxx## 20260312 101500", a, cache));
    EXPECT_FALSE(TryZeitstempelAusZeile("xxxxx## 20261312 101500", b, cache)); // month 13
    ASSERT_TRUE(TryZeitstempelAusZeile("xxxxx## 20260313 101500", c, cache));
    EXPECT_EQ(c.ms - a.ms, MsPerDay);
    ASSERT_TRUE(TryZeitstempelAusZeile("xxxxx## 20260313 241500", b, cache) == false);
    ASSERT_TRUE(TryZeitstempelAusZeile("xxxxx## 20260313 101501", b, cache));
    EXPECT_EQ(b.ms - c.ms, 1000);
}

} // namespace
} // namespace infemora
