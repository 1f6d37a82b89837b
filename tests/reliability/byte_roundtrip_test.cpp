// Whatever bytes a log holds, every line that goes through a merge, a consolidation or merge and
// shorten comes out byte for byte, exactly as often as it went in. The logs are made at random:
// byte-order marks, NUL bytes, lone CRs and LFs as line ends, bytes 0x80 to 0xFF, lines of
// hundreds of kilobytes, files without a final line end, entries with and without stamps.
#include "archive/kuerzen_fixture.h"
#include "archive/kuerzen_run.h"
#include "host/datetime.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/textfile.h"
#include "merge/merge_run.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <random>
#include <unistd.h>

namespace infemora {
namespace {

using Bestand = std::map<std::string, int>;

class RandomLogs {
public:
    explicit RandomLogs(unsigned seed) : rng_(seed) {}

    // A log of about n lines: entries in time order over the days before today, with noise.
    std::string info(int n) {
        std::string out = pick({"", "", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"});
        int day = 0;
        for (int i = 0; i < n;) {
            day += static_cast<int>(rng_() % 3 == 0);
            const TDateTime when = Today().addDays(day - 40);
            const int lines = 1 + static_cast<int>(rng_() % 4);
            out += "0000" + std::to_string(rng_() % 10) + "<< " + noise(20) + eol();
            if (rng_() % 8 != 0) // now and then an entry without a stamp
                out += "00001## " + FormatDateTime("yyyyMMdd", when) + " " +
                       pick({"080000", "235959", "2461xx"}) + " KASSE1 " + noise(10) + eol();
            for (int l = 0; l < lines; ++l)
                out += noise(rng_() % 50 == 0 ? 300'000 : 60) + eol();
            i += lines + 2;
        }
        if (rng_() % 3 == 0 && !out.empty())
            out.resize(out.size() - 1); // a cut last line end, or a last line without one
        return out;
    }
    // Transfer and menu lines: a date in front now and then, bytes of any kind after it.
    std::string side(int n, bool menu) {
        std::string out = pick({"", "\xEF\xBB\xBF", "\xFF\xFE"});
        for (int i = 0; i < n; ++i) {
            const TDateTime when = Today().addDays(static_cast<int>(rng_() % 40) - 30);
            if (rng_() % 4 != 0)
                out += menu ? FormatDateTime("dd.MM.yyyy", when) + "\xF8"
                            : FormatDateTime("yyyyMMdd", when) + " ";
            out += noise(40) + eol();
        }
        return out;
    }

private:
    std::string pick(std::initializer_list<const char*> options) {
        auto it = options.begin();
        std::advance(it, static_cast<long>(rng_() % options.size()));
        return *it;
    }
    std::string eol() { return pick({"\r\n", "\r\n", "\r\n", "\n", "\r"}); }
    // Any byte but a line end.
    std::string noise(std::size_t max) {
        std::string s(rng_() % (max + 1), '\0');
        for (auto& c : s) {
            do
                c = static_cast<char>(rng_() % 256);
            while (c == '\r' || c == '\n');
        }
        return s;
    }
    std::mt19937 rng_;
};

Bestand linesOf(const std::string& bytes) {
    Bestand out;
    for (const auto& l : SplitLines(bytes))
        ++out[l];
    return out;
}

Bestand linesOfDescriptor(int fd) {
    std::string bytes;
    char buf[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n <= 0)
            break;
        bytes.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
    return linesOf(bytes);
}

class ByteRoundTrip : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override {
        SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(9, 0, 0, 0));
        SetSettingsForTesting(site.settings());
        Info().setEchoToStderr(false);
    }
    void TearDown() override {
        SetClockForTesting(TDateTime());
        Info().clearRegistered();
    }
    std::string write(const std::string& name, const std::string& bytes) {
        site.writeFile(site.logFile(name), bytes);
        return site.logFile(name);
    }
    testenv::TempSite site;
};

TEST_P(ByteRoundTrip, MergeConsolidationAndShortenKeepEveryLineAsItWas) {
    RandomLogs random(GetParam());
    // Large enough together for archive parts.
    std::vector<std::string> files = {write("infoprot.tmp", random.info(9000)),
                                      write("INFOPROT.001", random.info(9000)),
                                      write("INFOPROT.002", random.info(4000))};
    write("TRANSFER.LOG", random.side(300, false));
    write("MENU.LOG", random.side(300, true));
    const Bestand before = kuerzentest::ZeilenBestand(site.logDir());
    Bestand infoBefore;
    for (const auto& f : files)
        for (const auto& [line, n] : linesOf(site.readFile(f)))
            infoBefore[line] += n;

    // A reading merge: its text holds every line of the logs, and nothing changes.
    MergeRunInput reading;
    reading.files = files;
    reading.allowConsolidation = false;
    MergeRunResult r = DateienSortieren(reading, NullProgress());
    ASSERT_TRUE(r.success);
    EXPECT_EQ(kuerzentest::Unterschiede(infoBefore, linesOfDescriptor(r.viewText->get())), "");
    EXPECT_EQ(kuerzentest::Unterschiede(before, kuerzentest::ZeilenBestand(site.logDir())), "");

    // A consolidation moves the lines into parts and INFEMORA.000, each once.
    MergeRunInput consolidating;
    consolidating.files = files;
    r = DateienSortieren(consolidating, NullProgress());
    ASSERT_TRUE(r.success);
    EXPECT_TRUE(r.archived) << r.notConsolidated;
    EXPECT_EQ(kuerzentest::Unterschiede(before, kuerzentest::ZeilenBestand(site.logDir())), "");

    // Merge and shorten, twice: the second run finds what the first one left.
    for (int days : {10, 3}) {
        KuerzenErgebnis k = ProtokollverzeichnisKuerzen(site.logDir(), KuerzStichtag(days), NullProgress());
        ASSERT_TRUE(k.success);
        EXPECT_TRUE(k.vollstaendig()) << (k.hinweise.empty() ? "" : k.hinweise[0]);
        EXPECT_EQ(kuerzentest::Unterschiede(before, kuerzentest::ZeilenBestand(site.logDir())), "")
            << "after keeping " << days << " days";
    }
    EXPECT_TRUE(Info().registered().empty());
}

INSTANTIATE_TEST_SUITE_P(Seeds, ByteRoundTrip, ::testing::Values(1u, 2u, 3u, 4u));

} // namespace
} // namespace infemora
