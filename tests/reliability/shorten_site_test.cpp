// Merge and shorten on a site of real size: weeks of logs of several programs, more than one merge
// would keep whole. Afterwards every line stands in the log folder exactly as often as before; the
// live info logs hold only entries of the kept days, the older ones stand only in archives.
#include "archive/kuerzen_fixture.h"
#include "archive/kuerzen_run.h"
#include "bench/gensite.h"
#include "host/datetime.h"
#include "host/direxplorer.h"
#include "host/messages.h"
#include "host/settings.h"
#include "merge/discovery.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

// The dates of the stamped entries in a file, as YYYYMMDD.
std::vector<std::string> entryDates(const std::string& path) {
    std::vector<std::string> dates;
    const Lines lines = SplitLines(ReadFileBytes(path));
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].size() >= 7 && lines[i].compare(5, 2, "<<") == 0 && lines[i + 1].size() >= 16 &&
            lines[i + 1].compare(5, 2, "##") == 0)
            dates.push_back(lines[i + 1].substr(8, 8));
    return dates;
}

TEST(ShortenSite, SixtyDaysShortenedToThreeKeepEveryLineOnceAndOnlyRecentEntriesLive) {
    testenv::TempSite site;
    const TDateTime today = EncodeDate(2026, 12, 8);
    SetClockForTesting(today + EncodeTime(23, 0, 0, 0));
    gensite::GenParams p;
    p.today = today;
    p.days = 60;
    gensite::WriteDemoSite(site.root(), p);
    SetSettingsForTesting(site.settings());
    Info().setEchoToStderr(false);
    const auto before = kuerzentest::ZeilenBestand(site.logDir());

    const KuerzenErgebnis res = ProtokollverzeichnisKuerzen(site.logDir(), KuerzStichtag(3), NullProgress());
    ASSERT_TRUE(res.success);
    EXPECT_TRUE(res.vollstaendig()) << (res.hinweise.empty() ? "" : res.hinweise.front());
    EXPECT_TRUE(Info().registered().empty());
    EXPECT_EQ(kuerzentest::Unterschiede(before, kuerzentest::ZeilenBestand(site.logDir())), "");

    const std::string cutoff = FormatDateTime("yyyyMMdd", KuerzStichtag(3));
    const std::vector<std::string> live = AlleInfoDateien(site.logDir());
    ASSERT_EQ(live, std::vector<std::string>{site.logFile("INFEMORA.000")});
    const std::vector<std::string> dates = entryDates(live.front());
    ASSERT_FALSE(dates.empty());
    EXPECT_GE(*std::min_element(dates.begin(), dates.end()), cutoff);
    std::size_t archived = 0;
    for (const auto& rec : TDirExplorer(site.logDir(), "ALT-INFO.*").List())
        for (const auto& d : entryDates(site.logFile(rec.name))) {
            ++archived;
            EXPECT_LT(d, cutoff) << rec.name << " holds a kept day";
        }
    EXPECT_GT(archived, dates.size());
    // The counts the report gives are those of the files.
    EXPECT_EQ(res.infoNeuZeilen, static_cast<std::int64_t>(kuerzentest::Zeilen(live.front()).size()));
    EXPECT_EQ(res.infoAltZeilen,
              static_cast<std::int64_t>(kuerzentest::Zeilen(site.logFile(res.infoAlt)).size()));
    SetClockForTesting(TDateTime());
}

} // namespace
} // namespace infemora
