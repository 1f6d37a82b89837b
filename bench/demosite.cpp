// The demo site: what a small shop's log directory looks like after two weeks.
#include "bench/gensite.h"
#include "bench/logwriter.h"

#include "host/errors.h"
#include "host/fileutil.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace infemora::gensite {

namespace {

constexpr int Opening = 7 * 3600;  // the shop's programs start from 07:00
constexpr int Closing = 21 * 3600; // and are closed by 21:00

struct FilePlan {
    std::string name;
    std::vector<std::string> programs;
    std::vector<std::string> users;
    int firstDay, lastDay; // indices into the period, both included
    int maxSessions;       // per day
};

bool DirHasFiles(const std::string& dir) {
    std::error_code ec;
    return fs::exists(dir, ec) && !fs::is_empty(dir, ec);
}

void MakeDir(const std::string& dir) {
    if (!ForceDirectories(dir))
        throw EFileError("cannot create folder " + dir);
}

// One program run: its start, entries at irregular gaps, its end unless it broke off.
void WriteSession(EntryWriter& w, std::mt19937& rng, std::string& out, Actor a, TDateTime day, int from,
                  int until, int dayEnd) {
    if (from > dayEnd)
        return;
    a.tag = EntryWriter::tagFor(w.uniform(1000, 65000));
    w.protokollEntry(out, a, {day, from}, true);
    int t = from;
    const int entries = w.uniform(6, 25);
    for (int i = 0; i < entries; ++i) {
        t += w.uniform(20, 600);
        if (t > dayEnd) // the program is still running: the log is being written
            return;
        if (t > until)
            break;
        if (w.uniform(0, 9) == 0) {
            ErrorKind kind = w.randomErrorKind();
            w.errorEntry(out, a, {day, t}, kind);
            if (kind == ErrorKind::Beendet)
                return; // ended by the error: no end line
            if (kind == ErrorKind::Menue30)
                break;
        } else {
            w.infoEntry(out, a, {day, t}, w.uniform(1, 4));
        }
    }
    if (std::uniform_int_distribution<int>(0, 19)(rng) == 0)
        return; // now and then a program vanishes without its end line
    t = std::min(t + w.uniform(5, 120), std::min(until, dayEnd));
    w.protokollEntry(out, a, {day, t}, false);
}

void WriteInfoLog(const std::string& path, const FilePlan& plan, const GenParams& p, TDateTime firstDay,
                  std::mt19937& rng) {
    EntryWriter w(rng);
    w.padText = false;
    OutFile f(path, std::size_t(1) << 20);
    for (int d = plan.firstDay; d <= plan.lastDay; ++d) {
        const TDateTime day = firstDay.addDays(d);
        const int dayEnd = d == p.days - 1 ? p.lastDayEndSecond : 86399;
        const int sessions = w.uniform(1, plan.maxSessions);
        const int slot = (Closing - Opening) / sessions;
        for (int s = 0; s < sessions; ++s) {
            Actor a;
            a.program = plan.programs[static_cast<std::size_t>(w.uniform(0, int(plan.programs.size()) - 1))];
            a.user = plan.users[static_cast<std::size_t>(w.uniform(0, int(plan.users.size()) - 1))];
            const int from = Opening + s * slot + w.uniform(0, slot / 4);
            WriteSession(w, rng, f.buffer(), a, day, from, Opening + (s + 1) * slot - 1, dayEnd);
            f.commit();
        }
    }
    f.close();
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    OutFile f(path, std::size_t(1) << 16);
    for (const auto& l : lines) {
        f.buffer() += l;
        AppendCrLf(f.buffer());
    }
    f.close();
}

void WriteTransferLog(const std::string& path, const GenParams& p, TDateTime firstDay, std::mt19937& rng) {
    EntryWriter w(rng);
    const std::string started = W(" Übertragung an Zentrale gestartet (Filiale 003)");
    const std::string broken = W(" Fehler: Verbindung zur Zentrale unterbrochen, neuer Versuch folgt");
    const std::string sent = W(" Sätze gesendet, Übertragung beendet");
    std::vector<std::string> lines;
    for (int d = 0; d < p.days; ++d) {
        const TDateTime day = firstDay.addDays(d);
        const int dayEnd = d == p.days - 1 ? p.lastDayEndSecond : 86399;
        for (int base : {6 * 3600, 13 * 3600, 20 * 3600}) {
            int t = base + w.uniform(0, 1800);
            auto line = [&](const std::string& text) {
                if (t > dayEnd)
                    return;
                std::string l = w.date8(day) + " ";
                AppendHhmmss(l, t);
                lines.push_back(l + text);
            };
            line(started);
            t += w.uniform(5, 90);
            if (w.uniform(0, 5) == 0) {
                line(broken);
                t += w.uniform(60, 300);
                line(started);
                t += w.uniform(5, 90);
            }
            line(std::string(" ").append(std::to_string(w.uniform(1, 40))) + " Dateien, " +
                 std::to_string(w.uniform(10, 9000)) + sent);
        }
    }
    WriteLines(path, lines);
}

void WriteMenuLog(const std::string& path, const GenParams& p, TDateTime firstDay, std::mt19937& rng) {
    EntryWriter w(rng);
    const std::vector<std::string> items = {
        W("Kasse > Verkauf"),
        W("Kasse > Tagesabschluss"),
        W("Warenwirtschaft > Lieferschein übernehmen"),
        W("Auswertungen > Umsatz je Warengruppe"),
        W("Stammdaten > Artikel ändern"),
        W("Extras > Drucker einrichten"),
        W("Faktura > Rechnung schreiben"),
    };
    const std::vector<std::pair<std::string, std::string>> who = {
        {"BEDIENER1", "KASSE"}, {"BEDIENER2", "KASSE"}, {"BUERO", "WAWI"}, {W("MÜLLER"), "FAKTURA"}};
    const std::string o = "\xF8"; // the menu log's field separator
    std::vector<std::string> lines;
    for (int d = 0; d < p.days; ++d) {
        const TDateTime day = firstDay.addDays(d);
        const int dayEnd = d == p.days - 1 ? p.lastDayEndSecond : 86399;
        std::vector<int> times(static_cast<std::size_t>(w.uniform(8, 20)));
        for (int& t : times)
            t = w.uniform(Opening, Closing);
        std::sort(times.begin(), times.end());
        for (int t : times) {
            if (t > dayEnd)
                break;
            const auto& [user, program] = who[static_cast<std::size_t>(w.uniform(0, int(who.size()) - 1))];
            std::string l = FormatDateTime("dd.MM.yyyy", day) + o +
                            FormatDateTime("HH:mm:ss", TDateTime(t * 1000LL)) + o + user + o + program + o +
                            items[static_cast<std::size_t>(w.uniform(0, 6))];
            lines.push_back(l);
        }
    }
    WriteLines(path, lines);
}

} // namespace

void WriteRuleFile(const std::string& path) {
    WriteLines(path, {
                         "[Buchungsabbruch]",
                         "CODE=STANDARD.993",
                         "",
                         "[Datensatz gesperrt]",
                         "TEXT=gesperrt",
                         "CODE=STANDARD.51",
                         "",
                         W("[Druckerstörung]"),
                         "CALLSTACK=TBonDruck",
                         "",
                         "[Verbindung zur Zentrale]",
                         "ZUSATZTEXT=Gegenstelle",
                         "CODE=TRANSFER",
                         "",
                         "[Warenwirtschaft]",
                         "ZEILE=WAWI Fehler-Meldung",
                         "",
                         W("[Datei beschädigt]"),
                         W("TEXT=beschädigt"),
                     });
}

void WriteSettingsFile(const std::string& file, const std::string& root) {
    const std::string r = ExpandFileName(root);
    WriteLines(file, {
                         "[Verzeichnisse]",
                         "INFOPROT=" + r + "/infoprot",
                         "STATEMP=" + r + "/statemp",
                         "EINSTELLUNGEN=" + r + "/einstellungen",
                         "",
                         "[Buchungsprotokoll]",
                         "Datei=" + r + "/buchungsprotokoll.db",
                         "",
                         "[Regional]",
                         "KurzesDatum=dd.MM.yyyy",
                         "LangeZeit=HH:mm:ss",
                         "",
                         "[Programm]",
                         "RId=5",
                         "",
                         "[Upload]",
                         "URL=https://127.0.0.1:8443/vktservice/infoprotauswertung/index.php",
                         "Konstante1=7919",
                         "Konstante2=17",
                         "Konstante3=3",
                         "CAFile=",
                     });
}

void WriteDemoSite(const std::string& dir, const GenParams& p) {
    if (p.days < 1)
        throw EInfemora("the period needs at least one day");
    const std::string infoprot = dir + "/infoprot";
    if (DirHasFiles(infoprot))
        throw EFileError(infoprot + " already holds files; the demo site needs a fresh folder");
    MakeDir(infoprot);
    MakeDir(dir + "/statemp");
    MakeDir(dir + "/einstellungen");

    const TDateTime firstDay = p.today.dateOnly().addDays(-(p.days - 1));
    const int last = p.days - 1;
    // The back office keeps its older entries in a numbered file and writes the current days
    // into "infoprot.tmp".
    const int split = std::max(1, p.days - 2);
    const std::vector<FilePlan> plans = {
        {"INFOPROT.001", {"WAWI", "FAKTURA"}, {"BUERO", "CHEF", W("MÜLLER")}, 0, split - 1, 2},
        {"infoprot.tmp", {"WAWI", "FAKTURA"}, {"BUERO", "CHEF", W("MÜLLER")}, std::min(split, last), last, 2},
        {"INF_KASSE1.LOG", {"KASSE", "BONDRUCK"}, {"BEDIENER1", "BEDIENER2"}, 0, last, 3},
        {"INF_KASSE2.LOG", {"KASSE"}, {"BEDIENER3", W("SCHÄFER")}, 0, last, 3},
        {"INFVELS.LOG", {"VELSTOK", "VELSPOST", "VELSRECV"}, {"SYSTEM"}, 0, last, 2},
        {"InfDorn.txt", {"DORNWISE"}, {"DORN"}, 0, last, 1},
    };
    std::mt19937 rng(p.seed);
    for (const auto& plan : plans)
        WriteInfoLog(infoprot + "/" + plan.name, plan, p, firstDay, rng);
    WriteTransferLog(infoprot + "/TRANSFER.LOG", p, firstDay, rng);
    WriteMenuLog(infoprot + "/MENU.LOG", p, firstDay, rng);
    WriteRuleFile(dir + "/einstellungen/infopars.ini");
    WriteSettingsFile(dir + "/infemora.ini", dir);
    WriteBookingsJsonl(dir + "/buchungen.jsonl", 300, 0, p);
}

} // namespace infemora::gensite
