#pragma once
// Flushes a file that is still being written to disk on a thread of its own. A large file then
// needs only its last piece flushed when it is finished, instead of waiting for all of it at
// once; the disk works while the writer goes on producing.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace infemora {

class BackgroundSync {
public:
    BackgroundSync(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~BackgroundSync() { Finish(); }
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    // Asks for a flush of everything written so far; returns at once. The thread starts with the
    // first request, so small files never start one.
    void Request();
    // Waits for the flush under way and stops the thread. False with errno set when any flush
    // failed: the kernel reports a lost write only once, so the final flush could not tell.
    bool Finish() noexcept;

private:
    void run();

    int fd_;
    std::string path_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::thread thread_;
    unsigned requested_ = 0;
    bool stop_ = false;
    int error_ = 0;
};

} // namespace infemora
