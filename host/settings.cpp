#include "host/settings.h"

#include "host/codec1252.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/inifile.h"
#include "host/replacing_file.h"
#include "host/textfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
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

namespace {

// The settings file's text as UTF-8, the form paths have here. A UTF-16 byte order mark says
// what the file is; otherwise text that is valid UTF-8 is taken as such and anything else as
// Windows-1252, the code page such files are written in on the point-of-sale machines. An editor
// may put a UTF-8 mark before text it kept in Windows-1252: the mark alone decides nothing.
std::string SettingsTextUtf8(const std::string& bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return Utf8OrWin1252ToUtf8(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        return Win1252ToUtf8(JoinLinesCrLf(DecodeTextBytes(bytes)));
    return Utf8OrWin1252ToUtf8(bytes);
}

// A relative path in the settings file means a path beside it, wherever the program started.
std::string besideSettings(const std::string& settingsFile, const std::string& value) {
    if (value.empty() || value.front() == '/')
        return value;
    return ConcatPathNames(ExtractFileDir(ExpandFileName(settingsFile)), value);
}

} // namespace

const Settings& LoadSettings() {
    Settings s = DefaultSettings();
    s.sourceFile = SettingsFilePath();
    const bool explicitFile = std::getenv("INFEMORA_CONFIG") && *std::getenv("INFEMORA_CONFIG");
    struct stat st {};
    const bool da = ::stat(s.sourceFile.c_str(), &st) == 0;
    const int statFehler = da ? 0 : errno;
    if (da && S_ISDIR(st.st_mode)) {
        s.problems.push_back("Einstellungsdatei " + s.sourceFile +
                             " ist ein Verzeichnis, keine Datei; es gelten die Vorgaben");
    } else if (da) {
        try {
            // Regular files only: a FIFO would block the start, /dev/zero fill the memory.
            const TQVRMemIniFile ini =
                TQVRMemIniFile::FromText(SettingsTextUtf8(ReadFileBytes(s.sourceFile)));
            s.sourceExists = true;
            if (ini.parseError() > 0)
                s.warnings.push_back("Einstellungsdatei " + s.sourceFile + ": Zeile " +
                                     std::to_string(ini.parseError()) +
                                     " ist fehlerhaft und wird übergangen");
            auto pfad = [&](const std::string& v) { return besideSettings(s.sourceFile, expandHome(v)); };
            auto dir = [&](const char* key, std::string& target) {
                std::string v = ini.ReadString("Verzeichnisse", key, "");
                if (!v.empty())
                    target = pfad(v);
            };
            dir("INFOPROT", s.infoprot);
            dir("STATEMP", s.statemp);
            dir("EINSTELLUNGEN", s.einstellungen);
            std::string db = ini.ReadString("Buchungsprotokoll", "Datei", "");
            if (!db.empty())
                s.buchungsDatei = pfad(db);
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
            s.caFile = pfad(ini.ReadString("Upload", "CAFile", ""));
            s.passwortHash = ini.ReadString("Passwort", "Hash", "");
        } catch (const std::exception& e) {
            s.problems.push_back("Einstellungsdatei " + s.sourceFile +
                                 " kann nicht gelesen werden: " + e.what() + "; es gelten die Vorgaben");
        }
    } else if (explicitFile) {
        s.problems.push_back("Einstellungsdatei " + s.sourceFile +
                             (statFehler == ENOENT
                                  ? std::string(" nicht gefunden")
                                  : std::string(" nicht erreichbar: ") + std::strerror(statFehler)) +
                             "; es gelten die Vorgaben");
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
    // A settings file that is a link (to a file kept elsewhere, shared by several sites) stays
    // one: the file it leads to is replaced, in its own folder.
    std::string path = SettingsFilePath();
    if (char* echt = ::realpath(path.c_str(), nullptr)) {
        path = echt;
        std::free(echt);
    }
    // The lines as they stand, bytes unchanged: the file may be UTF-8 or Windows-1252.
    Lines lines;
    std::string bom;
    if (FileExists(path)) {
        std::string bytes = ReadFileBytes(path);
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            bom = bytes.substr(0, 3);
            bytes.erase(0, 3);
        } else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
            throw EFileError("Einstellungsdatei " + path +
                             " ist in UTF-16 geschrieben und wird nicht geändert");
        }
        lines = SplitLines(bytes);
    }
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
            const std::string kopf = std::string("[").append(lower(section)).append("]");
            if (lower(t).rfind(kopf, 0) == 0)
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
    ReplacingFileWriter datei(path);
    // The hash is a secret of sorts: the file keeps who may read it.
    datei.KeepModeAndOwner();
    datei.Write(bom);
    for (const std::string& line : lines)
        datei.WriteLine(line);
    datei.Commit();
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
