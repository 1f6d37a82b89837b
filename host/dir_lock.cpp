#include "host/dir_lock.h"

#include "host/fileutil.h"
#include "host/progress.h"

#include <algorithm>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace infemora {

namespace {

// The locks this process holds, one descriptor a folder. flock ties a lock to its open file, so
// a second descriptor of this process would wait for the first: nested runs share the entry.
struct Held {
    int fd = -1; // -1: a read of a folder in which no lock file can be made
    LockKind kind = LockKind::Shared;
    int count = 0;
};
using FolderKey = std::pair<unsigned long long, unsigned long long>;

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::map<FolderKey, Held>& registry() {
    static std::map<FolderKey, Held> r;
    return r;
}

enum class Outcome { Held, Busy, Failed };

} // namespace

std::chrono::milliseconds LockWaitTime() {
    if (const char* v = std::getenv("INFEMORA_LOCK_WAIT_MS"); v && *v) {
        char* end = nullptr;
        long long ms = std::strtoll(v, &end, 10);
        if (end && *end == '\0' && ms >= 0)
            return std::chrono::milliseconds(ms);
    }
    return std::chrono::seconds(30);
}

std::string LockBusyText(const std::string& dir) {
    return "Das Verzeichnis " + dir +
           " wird gerade von einem anderen Lauf bearbeitet (Zusammenführen oder Kürzen). "
           "Bitte später noch einmal versuchen.";
}

DirLock::~DirLock() {
    release();
}

DirLock::DirLock(DirLock&& other) noexcept
    : held_(std::exchange(other.held_, false)), busy_(other.busy_), reason_(std::move(other.reason_)),
      device_(other.device_), inode_(other.inode_) {}

DirLock& DirLock::operator=(DirLock&& other) noexcept {
    if (this != &other) {
        release();
        held_ = std::exchange(other.held_, false);
        busy_ = other.busy_;
        reason_ = std::move(other.reason_);
        device_ = other.device_;
        inode_ = other.inode_;
    }
    return *this;
}

void DirLock::release() {
    if (!held_)
        return;
    held_ = false;
    std::lock_guard guard(registryMutex());
    auto it = registry().find({device_, inode_});
    if (it == registry().end())
        return;
    if (--it->second.count > 0)
        return;
    if (it->second.fd >= 0)
        ::close(it->second.fd); // ends the flock
    registry().erase(it);
}

DirLock DirLock::Try(const std::string& dir, LockKind kind) {
    return Acquire(dir, kind, std::chrono::milliseconds(0));
}

DirLock DirLock::Acquire(const std::string& dir, LockKind kind, std::chrono::milliseconds wait,
                         const std::function<void()>& waiting) {
    DirLock lock;
    struct stat st {};
    if (dir.empty() || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        lock.reason_ = "Das Verzeichnis " + dir + " ist nicht vorhanden.";
        return lock;
    }
    lock.device_ = st.st_dev;
    lock.inode_ = st.st_ino;
    const FolderKey key{lock.device_, lock.inode_};
    {
        std::lock_guard guard(registryMutex());
        auto it = registry().find(key);
        if (it != registry().end()) {
            if (kind == LockKind::Shared || it->second.kind == LockKind::Exclusive) {
                ++it->second.count;
                lock.held_ = true;
            } else {
                lock.busy_ = true;
                lock.reason_ = LockBusyText(dir);
            }
            return lock;
        }
    }

    const std::string path = IncludeTrailingPathDelimiter(dir) + std::string(LockFileName);
    // Read access is enough for flock, so users who share a site can all lock it. A link or a
    // pipe put under the name is refused rather than followed.
    int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        if (kind == LockKind::Shared && ::access(path.c_str(), F_OK) != 0) {
            // Nothing can change a folder in which not even the lock file can be made by us;
            // another user's run would have made it.
            std::lock_guard guard(registryMutex());
            registry()[key] = Held{-1, kind, 1};
            lock.held_ = true;
            return lock;
        }
    }
    struct stat fst {};
    if (fd >= 0 && (::fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode))) {
        ::close(fd);
        lock.reason_ = "Die Sperrdatei " + path + " ist keine gewöhnliche Datei.";
        return lock;
    }
    if (fd < 0) {
        const int error = errno;
        lock.reason_ = error == ELOOP ? "Die Sperrdatei " + path + " ist keine gewöhnliche Datei."
                                      : "Die Sperrdatei " + path +
                                            " kann nicht angelegt werden: " + std::strerror(error);
        return lock;
    }

    const int op = (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, op) == 0)
            break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            lock.reason_ = "Das Verzeichnis " + dir + " kann nicht gesperrt werden: " + std::strerror(error);
            return lock;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            lock.busy_ = true;
            lock.reason_ = LockBusyText(dir);
            return lock;
        }
        if (waiting)
            waiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::lock_guard guard(registryMutex());
    registry()[key] = Held{fd, kind, 1};
    lock.held_ = true;
    return lock;
}

std::vector<DirLock> LockFolders(const std::vector<std::string>& dirs, LockKind kind,
                                 std::chrono::milliseconds wait, IProgress& progress, std::string& failure,
                                 bool& busy) {
    std::vector<std::string> order;
    order.reserve(dirs.size());
    for (const auto& d : dirs)
        order.push_back(IncludeTrailingPathDelimiter(d));
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    std::vector<DirLock> locks;
    failure.clear();
    busy = false;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (const auto& dir : order) {
        const std::string plain = dir.size() > 1 ? dir.substr(0, dir.size() - 1) : dir;
        DirLock lock = DirLock::Try(plain, kind);
        if (!lock.held() && lock.busy()) {
            progress.Note("Ein anderer Lauf bearbeitet das Verzeichnis " + plain + ". Warte darauf ...");
            const auto left =
                std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                           deadline - std::chrono::steady_clock::now()));
            lock = DirLock::Acquire(plain, kind, left, [&progress] { progress.Pump(); });
            progress.Note("");
        }
        if (!lock.held()) {
            failure = lock.reason();
            busy = lock.busy();
            locks.clear();
            return locks;
        }
        locks.push_back(std::move(lock));
    }
    return locks;
}

} // namespace infemora
