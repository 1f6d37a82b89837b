// The generated sites must have exactly the layouts that merge, shorten, evaluation and the
// importer read; a generator that drifts from them would make the demo and the benchmarks lie.
#include "bench/gensite.h"

#include "host/datetime.h"
#include "host/errors.h"
#include "host/inifile.h"
#include "host/settings.h"
#include "host/textfile.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;
using namespace infemora;
using infemora::testenv::TempSite;

namespace {

const std::string Separator = "-------------------------------------------";

gensite::GenParams Params(std::uint32_t seed = 7) {
    gensite::GenParams p;
    p.seed = seed;
    p.today = JJJJMMTT2Date("20261208");
    p.days = 14;
    return p;
}

const TDateTime FirstDay = JJJJMMTT2Date("20261125");
const TDateTime LastDay = JJJJMMTT2Date("20261208");

bool At(const std::string& line, std::size_t pos1, std::string_view what) {
    return line.size() >= pos1 - 1 + what.size() && line.compare(pos1 - 1, what.size(), what) == 0;
}

bool TwoDigits(const std::string& s, std::size_t at, int max, int& v) {
    if (!std::isdigit(static_cast<unsigned char>(s[at])) ||
        !std::isdigit(static_cast<unsigned char>(s[at + 1])))
        return false;
    v = (s[at] - '0') * 10 + (s[at + 1] - '0');
    return v <= max;
}

// Seconds since the day zero of a time-stamp line, or -1 when the line is no valid one.
std::int64_t StampKey(const std::string& line) {
    TDateTime day;
    int h, m, s;
    if (line.size() < 23 || !At(line, 6, "##") || line[7] != ' ' ||
        !TryJJJJMMTT2Date(std::string_view(line).substr(8, 8), day) || !TwoDigits(line, 17, 23, h) ||
        !TwoDigits(line, 19, 59, m) || !TwoDigits(line, 21, 59, s))
        return -1;
    return day.day() * 86400 + h * 3600 + m * 60 + s;
}

bool InPeriod(TDateTime day) {
    return day >= FirstDay && day <= LastDay;
}

std::vector<std::string> InfoLogs(const std::string& dir) {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string n = e.path().filename().string();
        if (n.size() >= 3 && std::tolower(n[0]) == 'i' && std::tolower(n[1]) == 'n' &&
            std::tolower(n[2]) == 'f')
            v.push_back(e.path().string());
    }
    std::sort(v.begin(), v.end());
    return v;
}

// Every line ends with CR LF and the text is Windows-1252, not UTF-8.
void ExpectCrLf1252(const std::string& bytes, const std::string& name) {
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << name;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << name << ": bare LF at byte " << i;
        }
        if (bytes[i] == '\r') {
            ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << name << ": bare CR at byte " << i;
        }
        const auto c = static_cast<unsigned char>(bytes[i]);
        if ((c == 0xC3 || c == 0xC2) && i + 1 < bytes.size()) {
            const auto d = static_cast<unsigned char>(bytes[i + 1]);
            ASSERT_FALSE(d >= 0x80 && d <= 0xBF) << name << ": UTF-8 sequence at byte " << i;
        }
    }
}

// The entry layout: the file starts with an entry; every start line is followed by a valid
// time-stamp line in the period and every time-stamp line follows a start line; stamps never
// go back within the file. Returns the entries as (stamp, first line, line count).
struct Entry {
    std::int64_t key;
    std::size_t first, lines;
};
std::vector<Entry> CheckEntries(const Lines& lines, const std::string& name) {
    std::vector<Entry> entries;
    EXPECT_TRUE(!lines.empty() && At(lines[0], 6, "<<")) << name << ": does not begin with a start line";
    std::int64_t last = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (At(lines[i], 6, "<<")) {
            if (i + 1 >= lines.size()) {
                ADD_FAILURE() << name << ": start line at the end";
                break;
            }
            const std::int64_t key = StampKey(lines[i + 1]);
            if (key < 0) {
                ADD_FAILURE() << name << ":" << i + 2 << ": no valid time-stamp line: " << lines[i + 1];
                continue;
            }
            EXPECT_TRUE(InPeriod(TDateTime(key / 86400 * MsPerDay))) << name << ": " << lines[i + 1];
            EXPECT_GE(key, last) << name << ":" << i + 2 << ": time goes back";
            last = key;
            if (!entries.empty())
                entries.back().lines = i - entries.back().first;
            entries.push_back({key, i, 0});
        } else if (At(lines[i], 6, "##")) {
            EXPECT_TRUE(i > 0 && At(lines[i - 1], 6, "<<"))
                << name << ":" << i + 1 << ": stamp without start";
        }
    }
    if (!entries.empty())
        entries.back().lines = lines.size() - entries.back().first;
    return entries;
}

class DemoSiteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        site_ = new TempSite();
        gensite::WriteDemoSite(site_->path("demo"), Params());
    }
    static void TearDownTestSuite() {
        delete site_;
        site_ = nullptr;
    }
    static std::string demo(const std::string& rel) { return site_->path("demo/" + rel); }
    static TempSite* site_;
};
TempSite* DemoSiteTest::site_ = nullptr;

TEST_F(DemoSiteTest, InfoLogsFollowTheEntryLayout) {
    const auto logs = InfoLogs(demo("infoprot"));
    ASSERT_GE(logs.size(), 5u);
    EXPECT_TRUE(fs::exists(demo("infoprot/infoprot.tmp")));
    bool umlaut = false, diameter = false;
    std::set<std::int64_t> days;
    for (const auto& path : logs) {
        const std::string bytes = ReadFileBytes(path);
        ExpectCrLf1252(bytes, path);
        umlaut = umlaut || bytes.find('\xFC') != std::string::npos;
        diameter = diameter || bytes.find('\xF8') != std::string::npos;
        for (const auto& e : CheckEntries(SplitLines(bytes), path))
            days.insert(e.key / 86400);
    }
    EXPECT_TRUE(umlaut);
    EXPECT_TRUE(diameter);
    EXPECT_EQ(days.size(), 14u) << "every day of the period has entries";
}

TEST_F(DemoSiteTest, ErrorEntriesHaveTheSeparatorLayout) {
    int errors = 0, none = 0, abort993 = 0, menu30 = 0, reset = 0, ended = 0, rec = 0, zusatz = 0;
    std::map<std::string, int> headers;
    for (const auto& path : InfoLogs(demo("infoprot"))) {
        const Lines lines = LoadTextFile(path);
        for (std::size_t h = 0; h < lines.size(); ++h) {
            const std::string& header = lines[h];
            const bool isNone = header.find("NONE-Meldung") != std::string::npos;
            if (!isNone && header.find("Fehler-Meldung") == std::string::npos)
                continue;
            SCOPED_TRACE(path + ": " + header);
            ++errors;
            none += isNone;
            ++headers[header];
            rec += header.find(" (Rec ") != std::string::npos;
            ASSERT_GE(StampKey(header), 0);
            const auto code = header.find("Meldung: ");
            ASSERT_NE(code, std::string::npos);
            const std::string fehlerCode = header.substr(code + 9);
            EXPECT_FALSE(fehlerCode.empty());
            // separator, call stack, separator
            std::size_t i = h + 1;
            ASSERT_LT(i + 2, lines.size());
            EXPECT_NE(lines[i].find(Separator), std::string::npos) << "no separator right after the header";
            ++i;
            EXPECT_EQ(lines[i].find(Separator), std::string::npos) << "empty call stack";
            EXPECT_GT(lines[i].size(), 13u) << "the report cuts 13 characters off the call stack";
            while (i < lines.size() && lines[i].find(Separator) == std::string::npos)
                ++i;
            ASSERT_LT(i + 1, lines.size()) << "call stack not closed";
            ++i;
            if (lines[i].find("Zusatzinfo:") != std::string::npos) {
                ++zusatz;
                while (i < lines.size() && lines[i].find(Separator) == std::string::npos)
                    ++i;
                ASSERT_LT(i + 1, lines.size()) << "additional information not closed";
                ++i;
            }
            // the message text runs to the next time-stamp line
            std::string text;
            for (; i < lines.size() && lines[i].find("## 20") == std::string::npos; ++i) {
                EXPECT_EQ(lines[i].find(Separator), std::string::npos) << "separator inside the text";
                text += lines[i] + "\n";
            }
            EXPECT_FALSE(text.empty());
            const std::string next = i < lines.size() ? lines[i] : "";
            if (fehlerCode == "STANDARD.993")
                abort993 += text.find("Die Buchung konnte wegen eines Fehlers nicht korrekt abgeschl") !=
                            std::string::npos;
            if (fehlerCode == "STANDARD.30")
                menu30 += next.find("Antwort=Unbekannt") != std::string::npos;
            reset += next.find("zur\xFC"
                               "ckgesetzt mit ResetErrorSpez") != std::string::npos;
            ended += text.find("Das Programm wurde wegen eines Fehlers beendet.") != std::string::npos;
        }
    }
    const bool duplicate =
        std::any_of(headers.begin(), headers.end(), [](const auto& kv) { return kv.second > 1; });
    EXPECT_GE(errors, 50);
    EXPECT_GT(none, 0);
    EXPECT_GT(abort993, 0);
    EXPECT_GT(menu30, 0);
    EXPECT_GT(reset, 0);
    EXPECT_GT(ended, 0);
    EXPECT_GT(rec, 0);
    EXPECT_GT(zusatz, 0);
    EXPECT_TRUE(duplicate) << "no header line occurs twice";
}

// The start/end count takes the date from 11 to 18, the user from 27 up to the last blank
// before the program, and the program as the word that ends two characters before the keyword.
TEST_F(DemoSiteTest, StartAndEndLinesReadAsTheCountExpects) {
    int starts = 0, ends = 0;
    for (const auto& path : InfoLogs(demo("infoprot"))) {
        const Lines lines = LoadTextFile(path);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& l = lines[i];
            auto p = l.find("Protokollstart");
            const bool start = p != std::string::npos;
            if (!start)
                p = l.find("Protokollende");
            if (p == std::string::npos)
                continue;
            SCOPED_TRACE(path + ": " + l);
            (start ? starts : ends)++;
            EXPECT_EQ(l.find("TMP"), std::string::npos);
            TDateTime day;
            ASSERT_TRUE(l.size() > 27 && TryJJJJMMTT2Date(l.substr(10, 8), day));
            EXPECT_TRUE(InPeriod(day));
            const std::size_t p1 = p + 1;
            std::size_t q = 10;
            for (std::size_t k = p1 - 2; k >= 11; --k)
                if (l[k - 1] == ' ') {
                    q = k;
                    break;
                }
            const std::string program = l.substr(q, p1 - 2 - q);
            const std::string user = q > 27 ? l.substr(26, q - 1 - 26) : "";
            // the same program and user as the entry's time-stamp line
            ASSERT_GE(i, 1u);
            const std::string& stamp = lines[i - 1];
            ASSERT_GE(StampKey(stamp), 0);
            EXPECT_EQ(stamp.substr(8, 8), l.substr(10, 8));
            EXPECT_EQ(stamp.substr(24), user + " " + program + " Info");
        }
    }
    EXPECT_GT(ends, 10);
    EXPECT_GT(starts, ends) << "some program runs end without their end line";
}

TEST_F(DemoSiteTest, TransferAndMenuLinesAreDatedInThePeriod) {
    const std::string transfer = ReadFileBytes(demo("infoprot/TRANSFER.LOG"));
    ExpectCrLf1252(transfer, "TRANSFER.LOG");
    std::string previous;
    std::set<std::string> transferDays;
    for (const auto& l : SplitLines(transfer)) {
        TDateTime day;
        ASSERT_TRUE(l.size() > 8 && TryJJJJMMTT2Date(l.substr(0, 8), day)) << l;
        EXPECT_TRUE(InPeriod(day)) << l;
        EXPECT_GE(l.substr(0, 15), previous) << "not in time order: " << l;
        previous = l.substr(0, 15);
        transferDays.insert(l.substr(0, 8));
    }
    EXPECT_EQ(transferDays.size(), 14u);

    const std::string menu = ReadFileBytes(demo("infoprot/MENU.LOG"));
    ExpectCrLf1252(menu, "MENU.LOG");
    TDateTime last;
    int lines = 0;
    for (const auto& l : SplitLines(menu)) {
        const auto o = l.find('\xF8');
        ASSERT_NE(o, std::string::npos) << l;
        TDateTime day;
        ASSERT_TRUE(TryStrToDate(l.substr(0, o), day)) << l;
        EXPECT_TRUE(InPeriod(day)) << l;
        EXPECT_GE(day, last) << l;
        last = day;
        ++lines;
    }
    EXPECT_GT(lines, 14 * 5);
}

TEST_F(DemoSiteTest, SettingsFilePointsAtTheSite) {
    const std::string file = demo("infemora.ini");
    ::setenv("INFEMORA_CONFIG", file.c_str(), 1);
    const Settings s = LoadSettings();
    ::unsetenv("INFEMORA_CONFIG");
    SetSettingsForTesting(site_->settings());
    EXPECT_TRUE(s.sourceExists);
    EXPECT_TRUE(s.problems.empty()) << s.problems.front();
    EXPECT_EQ(s.infoprot, demo("infoprot"));
    EXPECT_EQ(s.statemp, demo("statemp"));
    EXPECT_EQ(s.einstellungen, demo("einstellungen"));
    EXPECT_EQ(s.buchungsDatei, demo("buchungsprotokoll.db"));
    EXPECT_EQ(s.rid, 5);
    EXPECT_EQ(s.uploadUrl, "https://127.0.0.1:8443/vktservice/infoprotauswertung/index.php");
    EXPECT_EQ(s.regional.shortDate, "dd.MM.yyyy");
    EXPECT_TRUE(fs::is_directory(s.statemp) && fs::is_empty(s.statemp));

    TQVRMemROIniFile rules(demo("einstellungen/infopars.ini"));
    EXPECT_EQ(rules.parseError(), 0);
    const auto sections = rules.ReadSections();
    EXPECT_GE(sections.size(), 5u);
    EXPECT_NE(std::find(sections.begin(), sections.end(), "Druckerst\xF6rung"), sections.end());
    std::set<std::string> keysUsed;
    for (const auto& sec : sections) {
        int criteria = 0;
        for (const char* key : {"ZEILE", "ZUSATZTEXT", "CALLSTACK", "TEXT", "CODE"})
            if (!rules.ReadString(sec, key, "").empty())
                ++criteria, keysUsed.insert(key);
        EXPECT_GT(criteria, 0) << sec;
    }
    EXPECT_EQ(keysUsed.size(), 5u) << "every kind of criterion is used";
}

TEST_F(DemoSiteTest, BookingsAreInTheImportFormat) {
    const Lines lines = SplitLines(ReadFileBytes(demo("buchungen.jsonl")));
    ASSERT_EQ(lines.size(), 300u);
    std::set<std::pair<int, int>> numbers;
    std::set<std::string> kinds;
    std::string previous;
    for (const auto& l : lines) {
        const auto j = nlohmann::json::parse(l);
        SCOPED_TRACE(l.substr(0, 80));
        ASSERT_TRUE(j["BuchungsNr"].is_array() && j["BuchungsNr"].size() == 2);
        EXPECT_LE(j["BuchungsNr"][0].get<int>(), 9999);
        EXPECT_TRUE(numbers.insert({j["BuchungsNr"][0].get<int>(), j["BuchungsNr"][1].get<int>()}).second)
            << "booking number twice";
        ASSERT_TRUE(j["BenutzerId"].is_array() && j["BenutzerId"].size() == 2);
        for (const char* d : {"BuchDatum", "StartDatum", "EndeDatum", "VersionDatum"}) {
            const std::string v = j[d].get<std::string>();
            ASSERT_EQ(v.size(), 10u) << d;
            TDateTime day;
            ASSERT_TRUE(TryJJJJMMTT2Date(v.substr(0, 4) + v.substr(5, 2) + v.substr(8, 2), day)) << d;
        }
        for (const char* t : {"BuchZeit", "StartZeit", "EndeZeit"}) {
            TDateTime time;
            ASSERT_TRUE(TryStrToTime(j[t].get<std::string>(), time)) << t;
        }
        const std::string when = j["BuchDatum"].get<std::string>() + " " + j["BuchZeit"].get<std::string>();
        EXPECT_GE(when, previous);
        previous = when;
        EXPECT_GE(j["BuchDatum"].get<std::string>(), "2026-11-25");
        EXPECT_LE(j["BuchDatum"].get<std::string>(), "2026-12-08");
        for (const char* s : {"Programm", "Vorfall", "Terminal", "BenutzerName", "Version"})
            EXPECT_TRUE(j[s].is_string() && !j[s].get<std::string>().empty()) << s;
        for (const char* n : {"SatzAnzahl", "GesLaenge", "ProzessId"})
            EXPECT_TRUE(j[n].is_number_integer()) << n;
        ASSERT_TRUE(j["Saetze"].is_array());
        EXPECT_EQ(j["SatzAnzahl"].get<std::size_t>(), j["Saetze"].size());
        for (const auto& satz : j["Saetze"]) {
            EXPECT_TRUE(satz["Kennung"].is_string() && satz["Beschreibung"].is_string());
            kinds.insert(satz["WRDON"].get<std::string>());
        }
    }
    EXPECT_TRUE(kinds.count("RW") && kinds.count("DE"));
}

TEST(Gensite, SameSeedGivesTheSameBytesAndRefusesToMixWithOldFiles) {
    TempSite site;
    gensite::WriteDemoSite(site.path("a"), Params(3));
    gensite::WriteDemoSite(site.path("b"), Params(3));
    gensite::WriteDemoSite(site.path("c"), Params(4));
    for (const char* rel : {"infoprot/INF_KASSE1.LOG", "infoprot/MENU.LOG", "buchungen.jsonl"}) {
        const std::string a = site.readFile(site.path(std::string("a/") + rel));
        EXPECT_EQ(a, site.readFile(site.path(std::string("b/") + rel))) << rel;
        EXPECT_NE(a, site.readFile(site.path(std::string("c/") + rel))) << rel;
    }
    const std::string before = site.readFile(site.path("a/infoprot/INF_KASSE1.LOG"));
    EXPECT_THROW(gensite::WriteDemoSite(site.path("a"), Params(9)), EFileError);
    EXPECT_EQ(site.readFile(site.path("a/infoprot/INF_KASSE1.LOG")), before);
    EXPECT_THROW(gensite::WriteMergeBench(site.path("a/infoprot"), 2, 1000, Params()), EFileError);
}

TEST(Gensite, MergeDataInterleavesFilesAtTheAskedSize) {
    TempSite site;
    const std::string dir = site.path("merge");
    const std::int64_t total = 2'000'000;
    gensite::WriteMergeBench(dir, 4, total, Params());
    const auto logs = InfoLogs(dir);
    ASSERT_EQ(logs.size(), 4u);
    EXPECT_TRUE(fs::exists(dir + "/infoprot.tmp"));
    std::int64_t size = 0;
    std::vector<std::pair<std::int64_t, std::size_t>> all; // stamp, file
    std::set<std::int64_t> days;
    int plain = 0;
    for (std::size_t f = 0; f < logs.size(); ++f) {
        const std::string bytes = ReadFileBytes(logs[f]);
        size += static_cast<std::int64_t>(bytes.size());
        ExpectCrLf1252(bytes, logs[f]);
        const Lines lines = SplitLines(bytes);
        for (const auto& e : CheckEntries(lines, logs[f])) {
            all.push_back({e.key, f});
            days.insert(e.key / 86400);
            const std::string& stamp = lines[e.first + 1];
            const bool special = stamp.find("Meldung") != std::string::npos || e.lines < 3 ||
                                 lines[e.first + 2].find("Protokoll") != std::string::npos ||
                                 stamp.find("ResetErrorSpez") != std::string::npos ||
                                 stamp.find("Antwort=") != std::string::npos;
            if (special)
                continue;
            ++plain;
            EXPECT_GE(e.lines, 3u);
            EXPECT_LE(e.lines, 8u);
            for (std::size_t k = e.first + 2; k < e.first + e.lines; ++k) {
                EXPECT_GE(lines[k].size(), 60u) << lines[k];
                EXPECT_LE(lines[k].size(), 120u) << lines[k];
            }
        }
    }
    EXPECT_GE(size, total);
    EXPECT_LT(size, total + 10'000);
    EXPECT_EQ(days.size(), 14u);
    EXPECT_GT(plain, 1000);
    std::stable_sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.first < b.first; });
    std::size_t switches = 0;
    for (std::size_t i = 1; i < all.size(); ++i)
        switches += all[i].second != all[i - 1].second;
    EXPECT_GT(switches, all.size() / 2) << "the files' entries do not interleave";
}

TEST(Gensite, EvaluationDataHasTheErrorShareAndStaysBelowTheSizeLimit) {
    TempSite site;
    const std::string dir = site.path("eval");
    gensite::WriteEvalBench(dir, 2, 1'000'000, 5.0, Params());
    const auto logs = InfoLogs(dir);
    ASSERT_EQ(logs.size(), 2u);
    for (const auto& path : logs) {
        const Lines lines = LoadTextFile(path);
        const auto entries = CheckEntries(lines, path);
        const auto errors = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("Fehler-Meldung") != std::string::npos ||
                   l.find("NONE-Meldung") != std::string::npos;
        });
        const double share = 100.0 * double(errors) / double(entries.size());
        EXPECT_GT(share, 3.5) << path;
        EXPECT_LT(share, 7.0) << path;
        EXPECT_GE(fs::file_size(path), 1'000'000u);
    }

    const std::string big = site.path("big");
    gensite::WriteEvalBench(big, 1, 16'000'000, 5.0, Params());
    const auto size = fs::file_size(big + "/INFOPROT.001");
    EXPECT_LT(size, static_cast<std::uintmax_t>(gensite::EvalFileLimit));
    EXPECT_GT(size, static_cast<std::uintmax_t>(gensite::EvalFileLimit) - 5'000);
}

} // namespace
