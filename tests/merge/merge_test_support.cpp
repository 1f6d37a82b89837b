#include "merge_test_support.h"

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace infemora::mergetest {

FileHolder::FileHolder(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0)
        throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork");
    if (pid_ == 0) {
        int fd = ::open(path.c_str(), O_RDONLY);
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

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace infemora::mergetest
