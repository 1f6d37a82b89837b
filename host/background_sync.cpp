#include "host/background_sync.h"

#include "host/fileutil.h"

#include <cerrno>

namespace infemora {

void BackgroundSync::Request() {
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return;
        ++requested_;
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    cv_.notify_one();
}

void BackgroundSync::run() {
    unsigned done = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        cv_.wait(lock, [&] { return stop_ || requested_ != done; });
        // What is still asked for at the end is left to the writer's final flush.
        if (stop_)
            return;
        // Requests that came in meanwhile are served by this one flush.
        done = requested_;
        lock.unlock();
        const bool ok = WriteBackDescriptor(fd_, path_);
        const int err = errno;
        lock.lock();
        if (!ok && error_ == 0)
            error_ = err != 0 ? err : EIO;
    }
}

bool BackgroundSync::Finish() noexcept {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_one();
    if (thread_.joinable())
        thread_.join();
    if (error_ != 0) {
        errno = error_;
        return false;
    }
    return true;
}

} // namespace infemora
