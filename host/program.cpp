#include "host/program.h"

#include "host/directories.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/settings.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace infemora {

QVRProgramm& Programm() {
    static QVRProgramm p;
    return p;
}

void QVRProgramm::Init(const std::string& programId, int, int, bool) {
    programId_ = programId;
    const Settings& s = LoadSettings();
    for (const auto& problem : s.problems)
        Info().RegisterMessage("QVRProgramm.Init", problem);
    for (const auto& warnung : s.warnings)
        Info().RegisterWarning("QVRProgramm.Init", warnung);
}

void QVRProgramm::ShowException(const std::exception_ptr& e, bool flag) {
    Info().RegisterException("QVRProgramm.ShowException", e, flag);
}

bool QVRProgramm::WorkStartTry(int& handle, const std::string& context, int seconds) {
    handle = -1;
    lastRefusal_ = WorkRefusal::Busy;
    if (busy_)
        return false; // the one GUI thread is already inside a work section
    lastRefusal_ = WorkRefusal::Failed;
    std::string path;
    try {
        path = GetDirWwsByName(TQVRFolder::StaTemp, programId_ + ".work.lock", true);
    } catch (...) {
        RegisterCurrentException(context);
        return false;
    }
    // STATEMP may be shared with other users: a link put under the lock's name is not followed,
    // lest opening it create or touch a file elsewhere, and a FIFO there must not block.
    int fd = -1;
    try {
        fd = OpenRegularFile(path, O_RDWR | O_CREAT, LinkPolicy::Refuse);
    } catch (const std::exception& e) {
        Info().RegisterMessage(context, std::string("Sperrdatei nicht verwendbar: ") + e.what());
        return false;
    }
    lastRefusal_ = WorkRefusal::Busy;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    lockFd_ = fd;
    busy_ = true;
    lastRefusal_ = WorkRefusal::None;
    handle = fd;
    return true;
}

void QVRProgramm::WorkDone(int handle) {
    if (handle < 0 || handle != lockFd_)
        return;
    ::flock(lockFd_, LOCK_UN);
    ::close(lockFd_);
    lockFd_ = -1;
    busy_ = false;
}

int QVRProgramm::GetRId() const {
    return GetSettings().rid;
}

} // namespace infemora
