// Where the settings and the data folders lie when the environment says little or nothing.
#include "host/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <string>
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
