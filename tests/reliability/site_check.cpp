#include "site_check.h"

#include "host/textfile.h"
#include "support/test_env.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace infemora::reliability {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

} // namespace

std::vector<std::string> LiveNames(const std::string& dir) {
    std::vector<std::string> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return out;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        struct stat st {};
        if (name.empty() || name[0] == '.' || ::lstat((dir + "/" + name).c_str(), &st) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        const std::string l = lower(name);
        if (::fnmatch("inf*.*", l.c_str(), 0) == 0 || l == "transfer.log" || l == "menu.log" ||
            l.starts_with("alt-info.") || l.starts_with("alt-tran.") || l.starts_with("alt-menu."))
            out.push_back(name);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

Baseline TakeBaseline(const std::string& dir) {
    Baseline b;
    for (const auto& name : LiveNames(dir)) {
        std::string bytes = ReadFileBytes(dir + "/" + name);
        for (auto& l : SplitLines(bytes))
            b.lines.insert(std::move(l));
        b.contents.insert(std::move(bytes));
    }
    return b;
}

std::vector<std::string> Problems(const std::string& dir, const Baseline& base) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const auto& name : LiveNames(dir)) {
        std::string bytes = ReadFileBytes(dir + "/" + name);
        Lines lines = SplitLines(bytes);
        const bool input = base.contents.count(bytes) > 0;
        if (!input && bytes.empty())
            out.push_back(name + " is empty");
        else if (!input && !bytes.ends_with("\r\n"))
            out.push_back(name + " ends in the middle of a line");
        for (auto& l : lines) {
            if (!input && !base.lines.count(l)) {
                out.push_back(name + " holds a line no input had: " + l.substr(0, 60));
                break;
            }
        }
        for (auto& l : lines)
            seen.insert(std::move(l));
    }
    std::size_t lost = 0;
    std::string first;
    for (const auto& l : base.lines)
        if (!seen.count(l) && lost++ == 0)
            first = l;
    if (lost)
        out.push_back(std::to_string(lost) + " line(s) lost, first: " + first.substr(0, 60));
    return out;
}

int RunProgram(const std::vector<std::string>& argv, const std::string& config, long long fileSizeLimit) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("INFEMORA_CONFIG", config.c_str(), 1);
        if (fileSizeLimit >= 0) {
            // A full disk: writes beyond the limit fail with EFBIG instead of ending the process.
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::string CliPath() {
    return testenv::BinaryDir() + "/app/infemora-cli/infemora-cli";
}
std::string GensitePath() {
    return testenv::BinaryDir() + "/bench/infemora-gensite";
}

} // namespace infemora::reliability
