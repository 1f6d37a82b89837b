#pragma once
// One typed settings object with every default in one place. Read from the INI file named by
// INFEMORA_CONFIG, else $XDG_CONFIG_HOME/infemora/infemora.ini. Nothing is written back except
// the password hash.
#include "host/datetime.h"

#include <string>
#include <vector>

namespace infemora {

struct Settings {
    std::string sourceFile; // the settings file read, empty when none was found
    bool sourceExists = false;
    std::string infoprot;                                     // [Verzeichnisse] INFOPROT
    std::string statemp;                                      // [Verzeichnisse] STATEMP
    std::string einstellungen;                                // [Verzeichnisse] EINSTELLUNGEN
    std::string buchungsDatei;                                // [Buchungsprotokoll] Datei
    LocaleFormats regional;                                   // [Regional] KurzesDatum, LangeZeit
    int rid = 0;                                              // [Programm] RId
    std::string uploadUrl;                                    // [Upload] URL
    long long konstante1 = 0, konstante2 = 1, konstante3 = 1; // [Upload] Konstante1..3
    std::string caFile;                                       // [Upload] CAFile
    std::string passwortHash;                                 // [Passwort] Hash
    std::vector<std::string> problems;                        // German texts on what could not be read
    std::vector<std::string> warnings;                        // German texts on lines that were passed over
};

// Path of the settings file this process uses.
std::string SettingsFilePath();
// Reads the settings (again); missing keys keep their defaults. Problems are collected, not
// thrown: the program keeps running on defaults.
const Settings& LoadSettings();
const Settings& GetSettings(); // loads on first use
// Tests and the CLI replace settings in memory.
void SetSettingsForTesting(const Settings& s);
// Defaults: folders under the XDG data folder.
Settings DefaultSettings();

// Writes one key into the settings file, keeping every other line (EFileError on failure).
void WriteSettingsKey(const std::string& section, const std::string& key, const std::string& value);

// The evaluation password's hash as the settings file holds it now, so that a password set
// from a terminal counts in a window that is already running; the one in memory when the
// settings come from no file.
std::string CurrentPasswordHash();
// Stores the hash in the settings file and in the settings in memory (EFileError on failure).
void SetPasswordHash(const std::string& hash);

} // namespace infemora
