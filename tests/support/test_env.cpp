#include "support/test_env.h"

#include "host/datetime.h"
#include "host/errors.h"
#include "host/messages.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace infemora::testenv {

TempSite::TempSite() {
    std::string tmpl = (fs::temp_directory_path() / "infemora-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw EFileError("mkdtemp failed");
    root_ = tmpl;
    fs::create_directories(logDir());
    fs::create_directories(statemp());
    fs::create_directories(settingsDir());
    SetSettingsForTesting(settings());
    Info().setEchoToStderr(false);
    Info().clearRegistered();
}

TempSite::~TempSite() {
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& e : fs::recursive_directory_iterator(root_, ec))
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
    SetClockForTesting(TDateTime());
}

Settings TempSite::settings() const {
    Settings s = DefaultSettings();
    s.infoprot = logDir();
    s.statemp = statemp();
    s.einstellungen = settingsDir();
    s.buchungsDatei = root_ + "/buchungen.db";
    return s;
}

void TempSite::writeFile(const std::string& path, const std::string& bytes) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw EFileError("cannot write " + path);
}

void TempSite::writeLines(const std::string& path, const Lines& lines) const {
    writeFile(path, JoinLinesCrLf(lines));
}

std::string TempSite::readFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

FileHolder::FileHolder(const std::string& path, Mode mode) {
    int ready[2];
    if (::pipe(ready) != 0)
        throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork");
    if (pid_ == 0) {
        const bool lock = mode != Mode::Open;
        int fd = lock ? ::open(path.c_str(), O_RDONLY | O_CREAT, 0666) : ::open(path.c_str(), O_RDONLY);
        if (fd >= 0 && lock && ::flock(fd, mode == Mode::Lock ? LOCK_EX : LOCK_SH) != 0)
            fd = -1;
        char c = fd >= 0 ? 'y' : 'n';
        ssize_t ignored = ::write(ready[1], &c, 1);
        (void)ignored;
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char c = 'n';
    ssize_t got = ::read(ready[0], &c, 1);
    ::close(ready[0]);
    if (got != 1 || c != 'y')
        throw std::runtime_error("the holder could not open " + path);
}

FileHolder::~FileHolder() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string BinaryDir() {
    const char* dir = std::getenv("INFEMORA_TEST_BIN_DIR");
    return dir ? dir : ".";
}

} // namespace infemora::testenv
