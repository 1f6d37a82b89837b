// Something other than a plain file where the program reads or appends to a file: a FIFO (which
// would block the opening or the reading), a device that never ends (/dev/zero), a folder, or a
// link. Every reader must come back at once and refuse what is no regular file with a message
// that names it; a link is followed where the file may live elsewhere (settings, rule file) and
// refused where it could carry a file from elsewhere into a report (the logs evaluated) or
// redirect a write (the error log).
#include "booking/buchungsprotokoll.h"
#include "booking/pkpf_import.h"
#include "evaluation/infoprot_parser.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/settings.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {
namespace {

enum class Art { Fifo, Geraet, Ordner, VerweisAufDatei };

const char* Name(Art a) {
    switch (a) {
    case Art::Fifo:
        return "FIFO";
    case Art::Geraet:
        return "/dev/zero";
    case Art::Ordner:
        return "folder";
    case Art::VerweisAufDatei:
        return "link to a file elsewhere";
    }
    return "?";
}

// Puts the thing under path; a link to a file elsewhere leads to a file holding inhalt.
void Anlegen(const testenv::TempSite& site, Art art, const std::string& path, const std::string& inhalt) {
    switch (art) {
    case Art::Fifo:
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        break;
    case Art::Geraet:
        ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
        break;
    case Art::Ordner:
        ASSERT_TRUE(ForceDirectories(path));
        break;
    case Art::VerweisAufDatei: {
        const std::string ziel = site.path("anderswo-" + ExtractFileName(path));
        site.writeFile(ziel, inhalt);
        ASSERT_EQ(::symlink(ziel.c_str(), path.c_str()), 0);
        break;
    }
    }
}

// What a reader made of it: the texts it registered or reported, and whether it used the file.
struct Ergebnis {
    std::string meldungen;
    bool gelesen = false;
};

std::string Registriert() {
    std::string out;
    for (const auto& r : Info().registered())
        out += r.context + ": " + r.message + "\n";
    for (const auto& r : Info().warnings())
        out += r.context + ": " + r.message + "\n";
    return out;
}

const std::string kLog = "0000000## 20240311 142501 KASSE2 KASSE Fehler-Meldung: STANDARD.5\r\n"
                         "-------------------------------------------\r\n0x00401000 | Buchen\r\n"
                         "-------------------------------------------\r\nText\r\n"
                         "0000000## 20240311 142502 KASSE2 KASSE Info\r\n";

struct Leser {
    const char* name;
    bool folgtVerweisen; // a link under the name is followed (else refused as a link)
    std::string (*pfad)(const testenv::TempSite&);
    std::string inhalt; // what a regular file there would hold
    std::function<Ergebnis(const testenv::TempSite&, const std::string& pfad)> lesen;
};

std::vector<Leser> AlleLeser() {
    return {
        {"settings file", true, [](const testenv::TempSite& s) { return s.path("infemora.ini"); },
         "[Programm]\nRId=77\n",
         [](const testenv::TempSite& site, const std::string& pfad) {
             ::setenv("INFEMORA_CONFIG", pfad.c_str(), 1);
             const Settings s = LoadSettings();
             ::unsetenv("INFEMORA_CONFIG");
             SetSettingsForTesting(site.settings());
             Ergebnis e;
             for (const std::string& p : s.problems)
                 e.meldungen += p + "\n";
             e.gelesen = s.rid == 77;
             return e;
         }},
        {"rule file infopars.ini", true,
         [](const testenv::TempSite& s) { return s.settingsDir() + "/infopars.ini"; },
         "[Kasse]\r\nCODE=STANDARD.5\r\n",
         [](const testenv::TempSite& site, const std::string&) {
             site.writeFile(site.logFile("INFOPROT.001"), kLog);
             InfoProtParser p;
             p.edtPfad = site.logDir();
             p.edtDatumCSV_Von = "01.03.2024";
             p.edtDatumCSV_Bis = "31.03.2024";
             p.btncsvExportzClick();
             Ergebnis e{Registriert(), p.FErgebnis == TAuswertungsErgebnis::Fertig};
             // Without the rules the CSV file would type every error "Ohne Zuweisung".
             EXPECT_EQ(e.gelesen, FileExists(site.statemp() + "/INFOPROT.CSV"));
             if (e.gelesen) {
                 EXPECT_EQ(p.FFehlerList[0].FehlerTyp, "Kasse");
             }
             return e;
         }},
        {"error log", false, [](const testenv::TempSite& s) { return s.statemp() + "/INFEMORA_Fehler.log"; },
         "",
         [](const testenv::TempSite&, const std::string& pfad) {
             Info().setEchoToStderr(true);
             ::testing::internal::CaptureStderr();
             Info().RegisterMessage("Test", "Zeile fuer das Fehlerprotokoll");
             const std::string fehler = ::testing::internal::GetCapturedStderr();
             Info().setEchoToStderr(false);
             Ergebnis e;
             if (fehler.find("Fehlerprotokoll nicht geschrieben") != std::string::npos)
                 e.meldungen = fehler;
             struct stat st {};
             e.gelesen = ::stat(pfad.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                         ReadFileBytes(pfad).find("Zeile fuer das Fehlerprotokoll") != std::string::npos;
             return e;
         }},
        {"log evaluated", false, [](const testenv::TempSite& s) { return s.logFile("INFOPROT.001"); }, kLog,
         [](const testenv::TempSite& site, const std::string&) {
             InfoProtParser p;
             p.edtPfad = site.logDir();
             p.edtDatumCSV_Von = "01.03.2024";
             p.edtDatumCSV_Bis = "31.03.2024";
             const bool fertig = p.Auswerten();
             EXPECT_TRUE(fertig);
             return Ergebnis{Registriert(), p.FFehlerList.Count() == 1};
         }},
        {"booking file", true, [](const testenv::TempSite& s) { return s.settings().buchungsDatei; }, "",
         [](const testenv::TempSite&, const std::string&) {
             TBuchungsprotokoll p;
             std::vector<TPKPFKopfZeile> zeilen;
             p.PKPFAnzeigeAktualisieren(TPKPFAuswahl{}, zeilen);
             return Ergebnis{Registriert(), p.FAuswahlVollstaendig};
         }},
        {"bookings to import", true, [](const testenv::TempSite& s) { return s.path("buchungen.jsonl"); }, "",
         [](const testenv::TempSite& site, const std::string& pfad) {
             Ergebnis e;
             try {
                 PkpfJsonlImportieren(pfad, site.settings().buchungsDatei);
                 e.gelesen = true;
             } catch (const std::exception& ex) {
                 e.meldungen = ex.what();
             }
             return e;
         }},
    };
}

TEST(HostileFiles, EveryReaderRefusesWhatIsNoRegularFileAtOnceAndSaysWhatItIs) {
    struct Fall {
        Art art;
        const char* gesagt; // what the message must say, besides the name
    } faelle[] = {
        {Art::Fifo, "benannte Pipe (FIFO)"},
        {Art::Geraet, "Gerät"},
        {Art::Ordner, "Verzeichnis"},
    };
    for (const Leser& leser : AlleLeser()) {
        for (const Fall& fall : faelle) {
            // The booking file as a folder is the missing file's case: SQLite says so itself. A
            // folder among the logs is a folder, no log.
            if (fall.art == Art::Ordner &&
                (std::string(leser.name) == "booking file" || std::string(leser.name) == "log evaluated"))
                continue;
            SCOPED_TRACE(std::string(leser.name) + " as " + Name(fall.art));
            const testenv::TempSite site;
            const std::string pfad = leser.pfad(site);
            Anlegen(site, fall.art, pfad, leser.inhalt);
            // A reader that blocks would hold the test for ever: it gets ten seconds.
            auto lauf = std::async(std::launch::async, [&] { return leser.lesen(site, pfad); });
            if (lauf.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
                ADD_FAILURE() << "the reader did not come back";
                std::_Exit(1);
            }
            const Ergebnis e = lauf.get();
            EXPECT_FALSE(e.gelesen);
            EXPECT_NE(e.meldungen.find(pfad), std::string::npos) << e.meldungen;
            // /dev/zero stands there as a link: a reader that refuses links at opening says that.
            const bool gesagt = e.meldungen.find(fall.gesagt) != std::string::npos ||
                                (fall.art == Art::Geraet && !leser.folgtVerweisen &&
                                 e.meldungen.find("symbolischer Verweis") != std::string::npos);
            EXPECT_TRUE(gesagt) << e.meldungen;
        }
    }
}

TEST(HostileFiles, ALinkIsFollowedOnlyWhereTheFileMayLiveElsewhere) {
    for (const Leser& leser : AlleLeser()) {
        // A booking file behind a link is SQLite's to open; an empty list to import says nothing.
        if (std::string(leser.name) == "booking file" || std::string(leser.name) == "bookings to import")
            continue;
        SCOPED_TRACE(leser.name);
        const testenv::TempSite site;
        const std::string pfad = leser.pfad(site);
        Anlegen(site, Art::VerweisAufDatei, pfad, leser.inhalt);
        const Ergebnis e = leser.lesen(site, pfad);
        EXPECT_EQ(e.gelesen, leser.folgtVerweisen) << e.meldungen;
        if (!leser.folgtVerweisen) {
            EXPECT_NE(e.meldungen.find("symbolischer Verweis"), std::string::npos) << e.meldungen;
        }
    }
}

} // namespace
} // namespace infemora
