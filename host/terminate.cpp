#include "host/terminate.h"

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {

std::vector<int> FindRunningInstances() {
    std::vector<int> pids;
    const uid_t me = ::getuid();
    const pid_t self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return pids;
    while (dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self)
            continue;
        std::string base = std::string("/proc/") + e->d_name;
        struct stat st {};
        if (::stat(base.c_str(), &st) != 0 || st.st_uid != me)
            continue;
        char buf[4096];
        ssize_t n = ::readlink((base + "/exe").c_str(), buf, sizeof buf - 1);
        if (n <= 0)
            continue;
        std::string exe(buf, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() &&
            exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
            exe.resize(exe.size() - deleted.size());
        auto slash = exe.rfind('/');
        if (exe.substr(slash == std::string::npos ? 0 : slash + 1) == "infemora")
            pids.push_back(static_cast<int>(pid));
    }
    ::closedir(proc);
    return pids;
}

int RequestTerminateAll() {
    int asked = 0;
    for (int pid : FindRunningInstances())
        if (::kill(pid, SIGTERM) == 0)
            ++asked;
    return asked;
}

} // namespace infemora
