// What the built programs report and how they exit, run as a support person runs them: 0 when
// the result is complete by its rules (what the rules leave out counted as warnings), 1 when it
// is missing or incomplete, 2 for wrong usage; no success line for a result that was not made,
// and the files of the last complete run left as they were.
#include "booking/booking_fixture.h"
#include "booking/sqlite_db.h"
#include "host/fileutil.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace infemora {
namespace {

using namespace std::chrono_literals;

struct Lauf {
    int code = -1;
    std::string out, err;
    bool haengt = false;
};

// A site with its settings file; each case may change both before the run.
struct Ort {
    testenv::TempSite site;
    std::string config = site.path("infemora.ini");
    std::unique_ptr<SqliteDb> schreiber; // a point-of-sale program holding the booking file

    Ort() { Einstellungen(site.logDir(), site.statemp()); }
    void Einstellungen(const std::string& infoprot, const std::string& statemp) const {
        site.writeFile(config, "[Verzeichnisse]\nINFOPROT=" + infoprot + "\nSTATEMP=" + statemp +
                                   "\nEINSTELLUNGEN=" + site.settingsDir() +
                                   "\n[Buchungsprotokoll]\nDatei=" + site.settings().buchungsDatei + "\n");
    }
    std::string csv() const { return site.statemp() + "/INFOPROT.CSV"; }
};

// Runs the program with the site's settings; a run that does not end within the limit is
// killed and counts as hanging.
Lauf Starten(const Ort& ort, const std::vector<std::string>& argumente, std::chrono::seconds grenze = 30s) {
    const std::string outDatei = ort.site.path("stdout.txt");
    const std::string errDatei = ort.site.path("stderr.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("INFEMORA_CONFIG", ort.config.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outDatei.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errDatei.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        for (const std::string& a : argumente)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Lauf l;
    int status = 0;
    const auto ende = std::chrono::steady_clock::now() + grenze;
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            break;
        if (std::chrono::steady_clock::now() > ende) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            l.haengt = true;
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    l.code = !l.haengt && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    l.out = ort.site.readFile(outDatei);
    l.err = ort.site.readFile(errDatei);
    return l;
}

std::string Cli() {
    return testenv::BinaryDir() + "/app/infemora-cli/infemora-cli";
}
std::string Gui() {
    return testenv::BinaryDir() + "/app/infemora/infemora";
}

// One error entry of the day, complete; with abgebrochen the file ends inside it.
std::string Log(bool abgebrochen = false) {
    std::string t = "0000000## 20261203 142501 KASSE2 KASSE Fehler-Meldung: STANDARD.5\r\n"
                    "-------------------------------------------\r\n0x00401000 | Buchen\r\n"
                    "-------------------------------------------\r\nText\r\n"
                    "0000000## 20261203 142502 KASSE2 KASSE Info\r\n";
    if (abgebrochen)
        t += "0000000## 20261203 142503 KASSE2 KASSE Fehler-Meldung: STANDARD.6\r\n";
    return t;
}

const std::vector<std::string> kEval = {"evaluate", "--csv", "--von", "01.12.2026", "--bis", "09.12.2026"};

struct Fall {
    const char* name;
    std::function<void(Ort&)> vorher;
    std::function<std::vector<std::string>(const Ort&)> aufruf;
    int code;
    std::vector<std::string> stderrHat;
    std::vector<std::string> stderrNicht;
    std::vector<std::string> stdoutHat;
    std::vector<std::string> stdoutNicht;
    std::function<void(const Ort&)> danach;
};

std::vector<std::string> Mit(std::vector<std::string> a, const std::vector<std::string>& mehr) {
    a.insert(a.begin(), Cli());
    a.insert(a.end(), mehr.begin(), mehr.end());
    return a;
}

void LetzterExportBleibt(const Ort& o) {
    EXPECT_EQ(o.site.readFile(o.csv()), "letzter Export");
}

std::vector<Fall> Faelle() {
    const auto nichts = [](Ort&) {};
    const auto mitLetztemExport = [](Ort& o) {
        o.site.writeFile(o.site.logFile("INFOPROT.001"), Log());
        o.site.writeFile(o.csv(), "letzter Export");
    };
    const auto buchungen = [](Ort& o) {
        BookingWriter w(o.site.settings().buchungsDatei);
        w.begin();
        for (std::int32_t n = 1; n <= 20; ++n)
            w.insert(booktest::Buchung({1, n}, Today().addDays(-1)));
        w.commit();
        ForceDirectories(o.site.path("export"));
    };
    return {
        // ---- results that are complete by their rules ----
        {"merge with an entry whose stamp the filter cannot read",
         [](Ort& o) {
             o.site.writeFile(o.site.logFile("a.log"), "xxxxx<< a\r\nxxxxx## 20260312 100000 ok\r\n"
                                                       "xxxxx<< b\r\nxxxxx## 20260312 240000 stunde 24\r\n");
         },
         [](const Ort& o) {
             return Mit({"merge", "--von", "01.01.2026"}, {o.site.logFile("a.log")});
         },
         0,
         {"WARNUNG: DateienSortieren_CheckFilter", "1 Warnung"},
         {},
         {"ok"},
         {"stunde 24"},
         nullptr},
        {"evaluation with an entry cut off at the end of a log",
         [](Ort& o) { o.site.writeFile(o.site.logFile("INFOPROT.001"), Log(true)); },
         [](const Ort&) { return Mit(kEval, {}); },
         0,
         {"WARNUNG: TVKT_InfoProtParser.Fehler_Hinzufuegen", "1 Warnung"},
         {},
         {"Der CSV-Export war erfolgreich."},
         {},
         [](const Ort& o) { EXPECT_TRUE(FileExists(o.csv())); }},
        {"evaluation of a folder with an umlaut prints its path once encoded",
         [](Ort& o) {
             ForceDirectories(o.site.path("K\xC3\xA4sse"));
             o.site.writeFile(o.site.path("K\xC3\xA4sse/INFOPROT.001"), Log());
         },
         [](const Ort& o) {
             return Mit(kEval, {"--dir", o.site.path("K\xC3\xA4sse")});
         },
         0,
         {},
         {},
         {"/K\xC3\xA4sse/INFOPROT.001\n", "Men\xC3\xBC geschlossen"},
         {"K\xC3\x83\xC2\xA4sse"},
         nullptr},

        // ---- wrong usage ----
        {"merge: a day that does not exist",
         nichts,
         [](const Ort&) {
             return Mit({"merge", "--von", "31.02.2026"}, {});
         },
         2,
         {"--von"},
         {},
         {},
         {},
         nullptr},
        {"evaluation: Von after Bis",
         mitLetztemExport,
         [](const Ort&) {
             return Mit({"evaluate", "--csv", "--report", "--von", "09.12.2026", "--bis", "01.12.2026"}, {});
         },
         2,
         {"Zeitraum ist nicht g\xC3\xBCltig"},
         {},
         {},
         {"erfolgreich"},
         LetzterExportBleibt},
        {"evaluation: an empty folder name",
         mitLetztemExport,
         [](const Ort&) {
             return Mit(kEval, {"--dir", ""});
         },
         2,
         {"--dir"},
         {},
         {},
         {"erfolgreich"},
         LetzterExportBleibt},
        {"shorten: no number of days",
         nichts,
         [](const Ort&) {
             return Mit({"shorten", "--days", ""}, {});
         },
         2,
         {"--days"},
         {},
         {},
         {},
         nullptr},
        {"shorten: a hexadecimal number of days",
         nichts,
         [](const Ort&) {
             return Mit({"shorten", "--days", "0x10"}, {});
         },
         2,
         {"--days"},
         {},
         {},
         {},
         nullptr},
        {"bookings: a day that does not exist",
         nichts,
         [](const Ort&) {
             return Mit({"bookings", "list", "--von", "31.02.26", "--bis", "01.03.26"}, {});
         },
         2,
         {"31.02.26"},
         {},
         {},
         {},
         nullptr},
        {"bookings: Von after Bis",
         nichts,
         [](const Ort&) {
             return Mit({"bookings", "list", "--von", "09.12.26", "--bis", "01.12.26"}, {});
         },
         2,
         {"Zeitraum"},
         {},
         {},
         {},
         nullptr},
        {"bookings export: an empty folder name",
         nichts,
         [](const Ort&) {
             return Mit({"bookings", "export", "--dir", "", "--last-days", "5"}, {});
         },
         2,
         {"--dir"},
         {},
         {},
         {},
         nullptr},

        // ---- results that are missing or incomplete ----
        {"evaluation of a folder that does not exist",
         mitLetztemExport,
         [](const Ort& o) {
             return Mit(kEval, {"--dir", o.site.path("nicht-eingeh\xC3\xA4ngt")});
         },
         1,
         {"nicht-eingeh\xC3\xA4ngt ist nicht vorhanden"},
         {},
         {"nicht ausgef\xC3\xBChrt"},
         {"erfolgreich"},
         LetzterExportBleibt},
        {"evaluation with the log folder of the settings missing",
         [&](Ort& o) {
             mitLetztemExport(o);
             o.Einstellungen(o.site.path("share/infoprot"), o.site.statemp());
         },
         [](const Ort&) { return Mit(kEval, {}); },
         1,
         {"share/infoprot ist nicht vorhanden"},
         {},
         {},
         {"erfolgreich"},
         [](const Ort& o) {
             LetzterExportBleibt(o);
             EXPECT_FALSE(DirectoryExists(o.site.path("share"))) << "the log folder was made";
         }},
        {"evaluation with the log folder of the settings naming a file",
         [&](Ort& o) {
             mitLetztemExport(o);
             o.site.writeFile(o.site.path("datei"), "kein Ordner");
             o.Einstellungen(o.site.path("datei"), o.site.statemp());
         },
         [](const Ort&) { return Mit(kEval, {}); },
         1,
         {"ist kein Verzeichnis"},
         {},
         {},
         {"erfolgreich"},
         LetzterExportBleibt},
        {"evaluation with STATEMP a file",
         [](Ort& o) {
             o.site.writeFile(o.site.logFile("INFOPROT.001"), Log());
             o.site.writeFile(o.site.path("statemp-datei"), "x");
             o.Einstellungen(o.site.logDir(), o.site.path("statemp-datei"));
         },
         [](const Ort&) { return Mit(kEval, {}); },
         1,
         {"STATEMP", "ist kein Verzeichnis"},
         {"andere Auswertung"},
         {},
         {"erfolgreich"},
         nullptr},
        {"evaluation with a FIFO as rule file",
         [&](Ort& o) {
             mitLetztemExport(o);
             ASSERT_EQ(::mkfifo((o.site.settingsDir() + "/infopars.ini").c_str(), 0600), 0);
         },
         [](const Ort&) { return Mit(kEval, {}); },
         1,
         {"infopars.ini ist keine normale Datei", "FIFO"},
         {},
         {},
         {"erfolgreich"},
         LetzterExportBleibt},
        {"evaluation with a FIFO as settings file",
         [](Ort& o) {
             o.config = o.site.path("fifo.ini");
             ASSERT_EQ(::mkfifo(o.config.c_str(), 0600), 0);
         },
         [](const Ort& o) {
             return Mit(kEval, {"--dir", o.site.logDir()});
         },
         1,
         {"fifo.ini ist keine normale Datei", "FIFO", "nichts ausgef\xC3\xBChrt"},
         {},
         {},
         {"erfolgreich"},
         nullptr},
        {"evaluation with a folder as settings file",
         [](Ort& o) {
             o.config = o.site.path("ordner.ini");
             ForceDirectories(o.config);
         },
         [](const Ort&) { return Mit(kEval, {}); },
         1,
         {"ordner.ini ist ein Verzeichnis"},
         {"nicht gefunden"},
         {},
         {},
         nullptr},
        {"booking export while a point-of-sale program holds the booking file",
         [&](Ort& o) {
             buchungen(o);
             o.schreiber =
                 std::make_unique<SqliteDb>(SqliteDb::Open(o.site.settings().buchungsDatei, false, false, 0));
             o.schreiber->exec("BEGIN EXCLUSIVE");
         },
         [](const Ort& o) {
             return Mit({"bookings", "export", "--dir", o.site.path("export"), "--last-days", "5"}, {});
         },
         1,
         {"gesperrt"},
         {"erfolgreich"},
         {},
         {"PkpfFileExport"},
         [](const Ort& o) { EXPECT_TRUE(std::filesystem::is_empty(o.site.path("export"))); }},

        // ---- the unattended window: never a hang, never an upload of nothing ----
        {"AUTOSEND with a FIFO as settings file",
         [](Ort& o) {
             o.config = o.site.path("fifo.ini");
             ASSERT_EQ(::mkfifo(o.config.c_str(), 0600), 0);
         },
         [](const Ort&) {
             return std::vector<std::string>{Gui(),    "-AUTOSEND", "-VON=7",
                                             "-BIS=1", "-KUND=abc", "-EMPF=xyz"};
         },
         0,
         {"fifo.ini ist keine normale Datei"},
         {},
         {},
         {},
         nullptr},
        {"AUTOSEND with the log folder missing",
         [](Ort& o) { o.Einstellungen(o.site.path("share/infoprot"), o.site.statemp()); },
         [](const Ort&) {
             return std::vector<std::string>{Gui(),    "-AUTOSEND", "-VON=7",
                                             "-BIS=1", "-KUND=abc", "-EMPF=xyz"};
         },
         0,
         {"share/infoprot ist nicht vorhanden"},
         {},
         {},
         {},
         [](const Ort& o) {
             EXPECT_FALSE(DirectoryExists(o.site.path("share")));
             EXPECT_FALSE(FileExists(o.site.statemp() + "/INFOPROT_Fehlerauswertung.txt"));
             EXPECT_NE(o.site.readFile(o.site.statemp() + "/INFEMORA_Fehler.log").find("share/infoprot"),
                       std::string::npos);
         }},
    };
}

TEST(CommandLine, ResultsAndExitCodes) {
    for (const Fall& f : Faelle()) {
        SCOPED_TRACE(f.name);
        Ort ort;
        f.vorher(ort);
        if (::testing::Test::HasFatalFailure())
            return;
        const Lauf l = Starten(ort, f.aufruf(ort));
        ort.schreiber.reset();
        ASSERT_FALSE(l.haengt) << "the program did not end by itself";
        EXPECT_EQ(l.code, f.code) << l.err;
        for (const std::string& t : f.stderrHat)
            EXPECT_NE(l.err.find(t), std::string::npos) << "stderr lacks \"" << t << "\":\n" << l.err;
        for (const std::string& t : f.stderrNicht)
            EXPECT_EQ(l.err.find(t), std::string::npos) << "stderr has \"" << t << "\":\n" << l.err;
        for (const std::string& t : f.stdoutHat)
            EXPECT_NE(l.out.find(t), std::string::npos) << "stdout lacks \"" << t << "\":\n" << l.out;
        for (const std::string& t : f.stdoutNicht)
            EXPECT_EQ(l.out.find(t), std::string::npos) << "stdout has \"" << t << "\":\n" << l.out;
        if (f.danach)
            f.danach(ort);
    }
}

} // namespace
} // namespace infemora
