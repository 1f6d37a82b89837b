#pragma once
// Runs that share a log folder take turns. A run that changes the folder (a consolidating merge,
// merge and shorten) holds an exclusive lock on it for its whole run; a run that only reads it
// holds a shared one, so that it never sees a folder half consolidated. The lock is an advisory
// flock on a hidden file in the folder itself: it protects the folder whoever looks at it
// (another user's window, the nightly run), and it dies with its process, so a killed run leaves
// nothing stale behind.
//
// Within one process the locks nest: a run that holds a folder exclusively may read it again (the
// reload inside merge and shorten) without waiting for itself.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

inline constexpr std::string_view LockFileName = ".infemora.lock";

enum class LockKind { Shared, Exclusive };

class DirLock {
public:
    DirLock() = default;
    ~DirLock();
    DirLock(DirLock&& other) noexcept;
    DirLock& operator=(DirLock&& other) noexcept;
    DirLock(const DirLock&) = delete;
    DirLock& operator=(const DirLock&) = delete;

    // Without waiting. Not held when another run holds the folder in a way that excludes this one,
    // or when the lock cannot be taken at all (reason() says why, in German).
    static DirLock Try(const std::string& dir, LockKind kind);
    // Waits up to wait for a run that holds the folder, calling waiting (when given) every tenth
    // of a second or so, so that a window stays painted and can say what it waits for.
    static DirLock Acquire(const std::string& dir, LockKind kind, std::chrono::milliseconds wait,
                           const std::function<void()>& waiting = {});

    bool held() const { return held_; }
    // True when the lock could not be had because another run holds the folder.
    bool busy() const { return busy_; }
    const std::string& reason() const { return reason_; }
    void release();

private:
    bool held_ = false;
    bool busy_ = false;
    std::string reason_;
    unsigned long long device_ = 0, inode_ = 0;
};

class IProgress;

// Several folders at once, each once, in the order of their names (so that two runs never wait
// for each other crosswise). While it waits, progress shows a note saying so. All or none: when
// one cannot be had, the others are given back, and failure says why (German) and busy whether
// another run was the cause.
std::vector<DirLock> LockFolders(const std::vector<std::string>& dirs, LockKind kind,
                                 std::chrono::milliseconds wait, IProgress& progress, std::string& failure,
                                 bool& busy);

// How long a run waits for another one: 30 s, or INFEMORA_LOCK_WAIT_MS when set (for tests).
std::chrono::milliseconds LockWaitTime();

// The German sentence for a folder another run holds.
std::string LockBusyText(const std::string& dir);

} // namespace infemora
