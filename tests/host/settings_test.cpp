// Where the settings and the data folders lie when the environment says little or nothing.
#include "host/fileutil.h"
#include "host/settings.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace infemora;

namespace {

// Sets or unsets an environment variable for the scope, restoring it afterwards.
class EnvVar {
public:
    EnvVar(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~EnvVar() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string accountHome() {
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

TEST(SettingsHome, WithoutAUsableHomeTheAccountsHomeIsTaken) {
    const std::string home = accountHome();
    if (home.empty() || home[0] != '/')
        GTEST_SKIP() << "this account has no home in the user database";
    EnvVar config("INFEMORA_CONFIG", std::nullopt);
    EnvVar xdgConfig("XDG_CONFIG_HOME", std::nullopt);
    EnvVar xdgData("XDG_DATA_HOME", std::nullopt);
    for (std::optional<std::string> value : {std::optional<std::string>(), std::optional<std::string>(""),
                                             std::optional<std::string>("relativ/daheim")}) {
        SCOPED_TRACE(value ? "HOME=\"" + *value + "\"" : std::string("HOME unset"));
        EnvVar h("HOME", value);
        EXPECT_EQ(SettingsFilePath(), home + "/.config/infemora/infemora.ini");
        EXPECT_EQ(DefaultSettings().infoprot, home + "/.local/share/infemora/infoprot");
    }
    EnvVar h("HOME", std::string("/srv/kasse"));
    EXPECT_EQ(DefaultSettings().statemp, "/srv/kasse/.local/share/infemora/statemp");
}

TEST(SettingsHome, AnAccountWithoutHomeFallsBackToTmp) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can take on an account that the user database does not know";
    // A user id no account has, as a service may run under.
    uid_t unknown = 54000;
    while (::getpwuid(unknown))
        ++unknown;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::unsetenv("HOME");
        ::unsetenv("XDG_DATA_HOME");
        if (::setuid(unknown) != 0)
            ::_exit(2);
        ::_exit(DefaultSettings().infoprot == "/tmp/.local/share/infemora/infoprot" ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SettingsPassword, APasswordSetMeanwhileCountsAtOnce) {
    char dir[] = "/tmp/infemora-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/infemora.ini";
    EnvVar config("INFEMORA_CONFIG", file);
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        std::fputs("[Regional]\r\nKurzesDatum=dd.MM.yyyy\r\n", f);
        std::fclose(f);
    }
    LoadSettings();
    EXPECT_EQ(CurrentPasswordHash(), "");
    // Another process (the terminal's "infemora-cli passwort") writes the hash.
    WriteSettingsKey("Passwort", "Hash", "pbkdf2-sha256$1$00$11");
    EXPECT_EQ(GetSettings().passwortHash, ""); // what was read at the start
    EXPECT_EQ(CurrentPasswordHash(), "pbkdf2-sha256$1$00$11");
    SetPasswordHash("pbkdf2-sha256$1$00$22");
    EXPECT_EQ(GetSettings().passwortHash, "pbkdf2-sha256$1$00$22");
    EXPECT_EQ(LoadSettings().passwortHash, "pbkdf2-sha256$1$00$22");
    std::remove(file.c_str());
    ::rmdir(dir);
}

} // namespace

namespace {

// A settings file of the given bytes, read as the program reads it at start.
Settings Lesen(const testenv::TempSite& site, const std::string& name, const std::string& bytes) {
    const std::string pfad = site.path(name);
    site.writeFile(pfad, bytes);
    EnvVar config("INFEMORA_CONFIG", pfad);
    const Settings s = LoadSettings();
    SetSettingsForTesting(site.settings());
    return s;
}

} // namespace

// Folders as a support person writes them, and the code pages such files come in.
TEST(SettingsFile, FoldersAreReadWhereverTheProgramStartsAndInEitherCodePage) {
    testenv::TempSite site;
    ForceDirectories(site.path("konf"));
    const std::string konf = site.path("konf");
    struct Fall {
        const char* name;
        std::string bytes;
        std::string infoprot, buchungen, caFile;
    } faelle[] = {
        {"relative paths lie beside the settings file",
         "[Verzeichnisse]\r\nINFOPROT=infoprot\r\n[Buchungsprotokoll]\r\nDatei=../daten/b.db\r\n[Upload]\r\n"
         "CAFile=ca/ca.pem\r\n",
         konf + "/infoprot", konf + "/../daten/b.db", konf + "/ca/ca.pem"},
        {"UTF-8", "[Verzeichnisse]\r\nINFOPROT=/srv/K\xC3\xA4sse\r\n", "/srv/K\xC3\xA4sse", "", ""},
        {"UTF-8 with its mark", "\xEF\xBB\xBF[Verzeichnisse]\r\nINFOPROT=/srv/K\xC3\xA4sse\r\n",
         "/srv/K\xC3\xA4sse", "", ""},
        {"Windows-1252", "[Verzeichnisse]\r\nINFOPROT=/srv/K\xE4sse\r\n", "/srv/K\xC3\xA4sse", "", ""},
        {"Windows-1252 behind a UTF-8 mark", "\xEF\xBB\xBF[Verzeichnisse]\r\nINFOPROT=/srv/K\xE4sse\r\n",
         "/srv/K\xC3\xA4sse", "", ""},
    };
    const std::string vorher = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir("/"));
    for (const Fall& f : faelle) {
        const Settings s = Lesen(site, "konf/infemora.ini", f.bytes);
        EXPECT_TRUE(s.problems.empty()) << f.name << ": " << s.problems.front();
        EXPECT_EQ(s.infoprot, f.infoprot) << f.name;
        if (!f.buchungen.empty()) {
            EXPECT_EQ(s.buchungsDatei, f.buchungen) << f.name;
        }
        EXPECT_EQ(s.caFile, f.caFile) << f.name;
    }
    SetCurrentDir(vorher);
}

TEST(SettingsFile, WhatIsWrongWithTheSettingsPathIsSaid) {
    testenv::TempSite site;
    ForceDirectories(site.path("ordner.ini"));
    {
        EnvVar config("INFEMORA_CONFIG", site.path("ordner.ini"));
        const Settings s = LoadSettings();
        ASSERT_EQ(s.problems.size(), 1u);
        EXPECT_NE(s.problems[0].find("ist ein Verzeichnis, keine Datei"), std::string::npos) << s.problems[0];
    }
    {
        EnvVar config("INFEMORA_CONFIG", site.path("fehlt.ini"));
        const Settings s = LoadSettings();
        ASSERT_EQ(s.problems.size(), 1u);
        EXPECT_NE(s.problems[0].find("nicht gefunden"), std::string::npos) << s.problems[0];
    }
    // A line that is no key, section or comment is passed over with a warning; the rest counts.
    const Settings s = Lesen(site, "zeile.ini", "[Programm]\r\nkeine Zuweisung\r\nRId=7\r\n");
    EXPECT_TRUE(s.problems.empty());
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_NE(s.warnings[0].find("Zeile 2"), std::string::npos) << s.warnings[0];
    EXPECT_EQ(s.rid, 7);
    SetSettingsForTesting(site.settings());
}

// The password is written into the file as it stands: its permissions stay, a link stays a link
// and the file it leads to is written, its other lines and their bytes stay.
TEST(SettingsFile, AKeyWrittenKeepsTheFileItsModeAndItsLink) {
    testenv::TempSite site;
    ForceDirectories(site.path("geteilt"));
    const std::string echt = site.path("geteilt/infemora.ini");
    site.writeFile(echt, "[Verzeichnisse]\r\nINFOPROT=/srv/K\xE4sse\r\n");
    ASSERT_EQ(::chmod(echt.c_str(), 0640), 0);
    const std::string verweis = site.path("infemora.ini");
    ASSERT_EQ(::symlink(echt.c_str(), verweis.c_str()), 0);
    {
        EnvVar config("INFEMORA_CONFIG", verweis);
        WriteSettingsKey("Passwort", "Hash", "pbkdf2-x");
    }
    struct stat st {};
    ASSERT_EQ(::lstat(verweis.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(echt.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(site.readFile(echt),
              "[Verzeichnisse]\r\nINFOPROT=/srv/K\xE4sse\r\n\r\n[Passwort]\r\nHash=pbkdf2-x\r\n");
}
