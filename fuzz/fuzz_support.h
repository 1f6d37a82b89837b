// Shared by the fuzz targets that need a site on disk or read the evaluation's CSV file back.
#pragma once

#include "evaluation/infoprot_parser.h"
#include "host/messages.h"
#include "host/settings.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace infemora::fuzz {

// A private site (log directory, STATEMP, settings folder) in memory-backed /dev/shm when there
// is one: the evaluation and the import flush every file they write, which on a disk would cost
// more than the work under test. Made once per process and removed at its normal end.
class Site {
public:
    static const Site& Get() {
        static Site site;
        return site;
    }
    const std::string& root() const { return root_; }
    std::string logDir() const { return root_ + "/infoprot"; }
    std::string statemp() const { return root_ + "/statemp"; }
    std::string settingsDir() const { return root_ + "/einstellungen"; }

    // The error log of the message service grows by a line for every registered failure; over
    // a long run that would fill the memory disk, so each input starts without it.
    static void ForgetFailures() {
        Info().clearRegistered();
        std::error_code ec;
        std::filesystem::remove(Get().statemp() + "/INFEMORA_Fehler.log", ec);
    }

private:
    Site() {
        std::error_code ec;
        const char* base = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : nullptr;
        std::string tmpl = std::string(base ? base : std::filesystem::temp_directory_path(ec).c_str()) +
                           "/infemora-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl.data()))
            std::abort();
        root_ = tmpl;
        for (const std::string& d : {logDir(), statemp(), settingsDir()})
            std::filesystem::create_directories(d);
        Settings s = DefaultSettings();
        s.infoprot = logDir();
        s.statemp = statemp();
        s.einstellungen = settingsDir();
        s.buchungsDatei = root_ + "/buchungen.db";
        SetSettingsForTesting(s);
        Info().setEchoToStderr(false);
    }
    ~Site() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    std::string root_;
};

void WriteFile(const std::string& path, std::string_view bytes);
std::string ReadFile(const std::string& path);

struct CsvFeld {
    std::string wert;
    bool inAnfuehrungszeichen = false;
};
using CsvZeile = std::vector<CsvFeld>;

// Reads ";"-separated records that end in CR LF (the last one too). A field in double quotes
// holds anything, a doubled quote standing for one; a field without quotes ends at the next ";"
// or CR LF and holds neither a double quote nor a line break. False when the text breaks these
// rules.
bool CsvLesen(std::string_view text, std::vector<CsvZeile>& zeilen);

// Whether the writer must put the value in double quotes: it holds a blank, a control
// character, a double quote or a ";".
bool MussInAnfuehrungszeichen(std::string_view wert);

// Whether INFOPROT.CSV in STATEMP holds the column line and then the parser's list, one error a
// line, every field quoted exactly when it must be; `warum` says what is wrong otherwise.
bool CsvExportPruefen(const InfoProtParser& p, std::string& warum);

} // namespace infemora::fuzz
