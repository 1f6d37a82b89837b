#include "host/settings.h"

#include "host/errors.h"
#include "host/fileutil.h"
#include "host/inifile.h"
#include "host/textfile.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace infemora {

namespace {

std::mutex g_mutex;
std::optional<Settings> g_settings;

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

// A service or cron job may run without HOME; the account's home is then the right place, and
// /tmp only when the account has none, never a path relative to wherever the program started.
std::string homeDir() {
    if (const char* v = std::getenv("HOME"); v && *v == '/')
        return v;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return "/tmp";
}

std::string expandHome(const std::string& p) {
    if (p.size() >= 2 && p[0] == '~' && p[1] == '/')
        return homeDir() + p.substr(1);
    return p;
}

} // namespace

std::string SettingsFilePath() {
    if (const char* c = std::getenv("INFEMORA_CONFIG"); c && *c)
        return c;
    return envOr("XDG_CONFIG_HOME", homeDir() + "/.config") + "/infemora/infemora.ini";
}

Settings DefaultSettings() {
    Settings s;
    std::string data = envOr("XDG_DATA_HOME", homeDir() + "/.local/share") + "/infemora";
    s.infoprot = data + "/infoprot";
    s.statemp = data + "/statemp";
    s.einstellungen = data + "/einstellungen";
    s.buchungsDatei = data + "/buchungsprotokoll.db";
    return s;
}

const Settings& LoadSettings() {
    Settings s = DefaultSettings();
    s.sourceFile = SettingsFilePath();
    const bool explicitFile = std::getenv("INFEMORA_CONFIG") && *std::getenv("INFEMORA_CONFIG");
    if (FileExists(s.sourceFile)) {
        try {
            TQVRMemROIniFile ini(s.sourceFile);
            s.sourceExists = true;
            if (ini.parseError() > 0)
                s.problems.push_back("Einstellungsdatei " + s.sourceFile + ": Zeile " +
                                     std::to_string(ini.parseError()) + " ist fehlerhaft");
            auto dir = [&](const char* key, std::string& target) {
                std::string v = ini.ReadString("Verzeichnisse", key, "");
                if (!v.empty())
                    target = expandHome(v);
            };
            dir("INFOPROT", s.infoprot);
            dir("STATEMP", s.statemp);
            dir("EINSTELLUNGEN", s.einstellungen);
            std::string db = ini.ReadString("Buchungsprotokoll", "Datei", "");
            if (!db.empty())
                s.buchungsDatei = expandHome(db);
            std::string kd = ini.ReadString("Regional", "KurzesDatum", "");
            if (!kd.empty())
                s.regional.shortDate = kd;
            std::string lz = ini.ReadString("Regional", "LangeZeit", "");
            if (!lz.empty())
                s.regional.longTime = lz;
            s.rid = StrToIntDef(ini.ReadString("Programm", "RId", "0"), 0);
            s.uploadUrl = ini.ReadString("Upload", "URL", "");
            long long v;
            if (TryStrToInt(ini.ReadString("Upload", "Konstante1", ""), v))
                s.konstante1 = v;
            if (TryStrToInt(ini.ReadString("Upload", "Konstante2", ""), v))
                s.konstante2 = v;
            if (TryStrToInt(ini.ReadString("Upload", "Konstante3", ""), v))
                s.konstante3 = v;
            s.caFile = expandHome(ini.ReadString("Upload", "CAFile", ""));
            s.passwortHash = ini.ReadString("Passwort", "Hash", "");
        } catch (const std::exception& e) {
            s.problems.push_back("Einstellungsdatei " + s.sourceFile +
                                 " kann nicht gelesen werden: " + e.what());
        }
    } else if (explicitFile) {
        s.problems.push_back("Einstellungsdatei " + s.sourceFile + " nicht gefunden; es gelten die Vorgaben");
    }
    std::lock_guard lock(g_mutex);
    g_settings = s;
    SetFormats(g_settings->regional);
    return *g_settings;
}

const Settings& GetSettings() {
    {
        std::lock_guard lock(g_mutex);
        if (g_settings)
            return *g_settings;
    }
    return LoadSettings();
}

void SetSettingsForTesting(const Settings& s) {
    std::lock_guard lock(g_mutex);
    g_settings = s;
    SetFormats(s.regional);
}

void WriteSettingsKey(const std::string& section, const std::string& key, const std::string& value) {
    std::string path = SettingsFilePath();
    Lines lines;
    if (FileExists(path))
        lines = LoadTextFile(path);
    // Keep every other line as it stands; replace or add only this key.
    int sectionStart = -1, sectionEnd = -1, keyLine = -1;
    auto lower = [](std::string s) {
        for (auto& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        std::string t = lines[i];
        auto b = t.find_first_not_of(" \t");
        t = b == std::string::npos ? "" : t.substr(b);
        if (!t.empty() && t[0] == '[') {
            if (sectionStart >= 0 && sectionEnd < 0)
                sectionEnd = i;
            if (lower(t).rfind("[" + lower(section) + "]", 0) == 0)
                sectionStart = i, sectionEnd = -1;
        } else if (sectionStart >= 0 && sectionEnd < 0) {
            auto eq = t.find('=');
            if (eq != std::string::npos) {
                std::string k = t.substr(0, eq);
                while (!k.empty() && (k.back() == ' ' || k.back() == '\t'))
                    k.pop_back();
                if (lower(k) == lower(key))
                    keyLine = i;
            }
        }
    }
    if (keyLine >= 0) {
        lines[keyLine] = key + "=" + value;
    } else if (sectionStart >= 0) {
        int at = sectionEnd < 0 ? static_cast<int>(lines.size()) : sectionEnd;
        while (at > sectionStart + 1 && lines[at - 1].find_first_not_of(" \t") == std::string::npos)
            --at;
        lines.insert(lines.begin() + at, key + "=" + value);
    } else {
        if (!lines.empty() && !lines.back().empty())
            lines.emplace_back();
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + value);
    }
    std::string dir = ExtractFileDir(path);
    if (!dir.empty() && !ForceDirectories(dir))
        throw EFileError("Verzeichnis " + dir + " kann nicht angelegt werden");
    SaveLinesReplacing(path, lines);
}

std::string CurrentPasswordHash() {
    const Settings& s = GetSettings();
    if (!s.sourceFile.empty() && FileExists(s.sourceFile)) {
        try {
            return TQVRMemROIniFile(s.sourceFile).ReadString("Passwort", "Hash", "");
        } catch (const std::exception&) {
            // Unreadable now: what was read at the start still holds.
        }
    }
    return s.passwortHash;
}

void SetPasswordHash(const std::string& hash) {
    WriteSettingsKey("Passwort", "Hash", hash);
    GetSettings();
    std::lock_guard lock(g_mutex);
    g_settings->passwortHash = hash;
}

} // namespace infemora
