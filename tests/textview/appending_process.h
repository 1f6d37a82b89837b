#pragma once
// Another process that appends to a file piece by piece, each piece when the test asks for it,
// so that a test sees a log grow the way a point-of-sale program grows it, partial lines
// included.
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace infemora::testenv {

class AppendingProcess {
public:
    AppendingProcess(const std::string& path, std::vector<std::string> pieces) {
        int go[2], done[2];
        if (::pipe(go) != 0 || ::pipe(done) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ < 0)
            throw std::runtime_error("fork");
        if (pid_ == 0) {
            ::close(go[1]);
            ::close(done[0]);
            char c;
            for (const std::string& piece : pieces) {
                if (::read(go[0], &c, 1) != 1)
                    ::_exit(1);
                // Opened for each piece and closed again, as the logging programs do it.
                const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
                const bool ok =
                    fd >= 0 && ::write(fd, piece.data(), piece.size()) == static_cast<ssize_t>(piece.size());
                if (fd >= 0)
                    ::close(fd);
                c = ok ? 'y' : 'n';
                if (::write(done[1], &c, 1) != 1)
                    ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(go[0]);
        ::close(done[1]);
        go_ = go[1];
        done_ = done[0];
    }
    ~AppendingProcess() {
        ::close(go_);
        ::close(done_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    AppendingProcess(const AppendingProcess&) = delete;
    AppendingProcess& operator=(const AppendingProcess&) = delete;

    // The next piece is appended by the other process; returns once it is written.
    void appendNext() {
        char c = 'g';
        if (::write(go_, &c, 1) != 1 || ::read(done_, &c, 1) != 1 || c != 'y')
            throw std::runtime_error("the appending process failed");
    }

private:
    int pid_ = -1;
    int go_ = -1;
    int done_ = -1;
};

} // namespace infemora::testenv
