#include "host/fileutil.h"

#include "host/errors.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace infemora {

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsPlainFileNoFollow(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FileKindText(unsigned mode) {
    switch (mode & S_IFMT) {
    case S_IFDIR:
        return "ein Verzeichnis";
    case S_IFIFO:
        return "eine benannte Pipe (FIFO)";
    case S_IFCHR:
    case S_IFBLK:
        return "ein Gerät";
    case S_IFSOCK:
        return "ein Socket";
    case S_IFLNK:
        return "ein symbolischer Verweis";
    default:
        return "eine Datei";
    }
}

int OpenRegularFile(const std::string& path, int flags, LinkPolicy links, unsigned mode) {
    if (path.empty())
        throw EFileError("Kein Dateiname angegeben");
    const int extra = O_NONBLOCK | O_CLOEXEC | (links == LinkPolicy::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(path.c_str(), flags | extra, static_cast<mode_t>(mode));
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        // O_NOFOLLOW fails with ELOOP on a link; say what it is rather than "too many levels".
        if (err == ELOOP && links == LinkPolicy::Refuse && ::lstat(path.c_str(), &st) == 0 &&
            S_ISLNK(st.st_mode))
            throw EFileError(path + " ist ein symbolischer Verweis und wird nicht geöffnet");
        // A FIFO without a reader refuses a write-only open with ENXIO: say what it is.
        if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            throw EFileError(path + " ist keine normale Datei, sondern " + FileKindText(st.st_mode) +
                             "; sie wird nicht verwendet");
        throw EFileError("Datei " + path + " kann nicht geöffnet werden: " + std::strerror(err));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throw EFileError("Datei " + path + " kann nicht geprüft werden: " + std::strerror(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EFileError(path + " ist keine normale Datei, sondern " + FileKindText(st.st_mode) +
                         "; sie wird nicht verwendet");
    }
    // Reads and writes on the regular file wait as usual.
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

void RefuseIrregularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw EFileError(path + " ist keine normale Datei, sondern " + FileKindText(st.st_mode) +
                         "; sie wird nicht verwendet");
}

std::int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return st.st_size;
}

namespace {

// Whether the descriptor was opened for writing, by the access mode in its fdinfo ("flags:" in
// octal). An fdinfo that cannot be read counts as writing: better not shown than half shown.
bool openedForWriting(const std::string& fdinfo) {
    std::ifstream in(fdinfo);
    std::string key;
    while (in >> key) {
        if (key == "flags:") {
            unsigned long flags = 0;
            if (!(in >> std::oct >> flags))
                return true;
            return (flags & O_ACCMODE) != O_RDONLY;
        }
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return true;
}

bool heldByOtherProcess(dev_t dev, ino_t ino, bool writersOnly) {
    const pid_t self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (dirent* pe = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(pe->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self)
            continue;
        std::string fdDir = std::string("/proc/") + pe->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds)
            continue;
        while (dirent* fe = ::readdir(fds)) {
            if (fe->d_name[0] == '.')
                continue;
            struct stat st {};
            std::string link = fdDir + "/" + fe->d_name;
            if (::stat(link.c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino &&
                (!writersOnly ||
                 openedForWriting(std::string("/proc/") + pe->d_name + "/fdinfo/" + fe->d_name))) {
                found = true;
                break;
            }
        }
        ::closedir(fds);
        if (found)
            break;
    }
    ::closedir(proc);
    return found;
}

// A lock by any process (also one that opened, locked and closed nothing else) counts as use.
bool lockedByOtherProcess(dev_t dev, ino_t ino) {
    std::ifstream locks("/proc/locks");
    std::string line;
    const pid_t self = ::getpid();
    while (std::getline(locks, line)) {
        // "1: POSIX  ADVISORY  WRITE 1234 fd:01:56789 0 EOF"
        std::istringstream ss(line);
        std::string num, kind, mode, rw, pid, id;
        ss >> num >> kind;
        if (kind == "->")
            ss >> kind;
        ss >> mode >> rw >> pid >> id;
        unsigned maj = 0, min = 0;
        unsigned long long inode = 0;
        if (std::sscanf(id.c_str(), "%x:%x:%llu", &maj, &min, &inode) != 3)
            continue;
        if (inode == ino && makedev(maj, min) == dev && std::atol(pid.c_str()) != self)
            return true;
    }
    return false;
}

} // namespace

bool CheckFileInUse(const std::string& path, bool /*flag*/) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return lockedByOtherProcess(st.st_dev, st.st_ino) || heldByOtherProcess(st.st_dev, st.st_ino, false);
}

bool CheckFileOpenForWriting(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return heldByOtherProcess(st.st_dev, st.st_ino, true);
}

std::string FindFileIgnoringCase(const std::string& dir, const std::string& name) {
    std::string exact = ConcatPathNames(dir, name);
    if (FileExists(exact))
        return exact;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return {};
    auto upper = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string wanted = upper(name);
    std::vector<std::string> found;
    while (dirent* e = ::readdir(d))
        if (upper(e->d_name) == wanted)
            found.push_back(e->d_name);
    ::closedir(d);
    // Several spellings side by side: always the same one, whatever order the folder lists them in.
    std::sort(found.begin(), found.end());
    for (const auto& f : found)
        if (FileExists(ConcatPathNames(dir, f)))
            return ConcatPathNames(dir, f);
    return {};
}

bool Ensure_DeleteFile(const std::string& path, bool /*flag*/) {
    if (::unlink(path.c_str()) == 0)
        return true;
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

void CheckReplaceableTarget(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw EFileError(path + " ist keine Datei und kann nicht ersetzt werden");
}

int CreateFreshFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw EFileError("Datei " + path + " kann nicht ersetzt werden: " + std::strerror(errno));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        throw EFileError("Datei " + path + " kann nicht angelegt werden: " + std::strerror(errno));
    return fd;
}

void DropCachedText(const std::string& path) noexcept {
    try {
        const int fd = OpenRegularFile(path, O_RDONLY, LinkPolicy::Refuse);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    } catch (...) {
        // Missing or no plain file: nothing to give back.
    }
}

void RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int PrivateTempFile() {
    const char* env = std::getenv("TMPDIR");
    const std::string dir = env && *env ? env : "/tmp";
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    // File systems without unnamed files: a private name, removed at once.
    std::string path = IncludeTrailingPathDelimiter(dir) + ".infemora.XXXXXX";
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(path.c_str());
    return fd;
}

namespace {

std::mutex g_hookMutex;
FileFaultHook g_hook;

// The errno a test wants this step to fail with, 0 for none.
int injectedFault(FileStep step, const std::string& path, int fd = -1) {
    FileFaultHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        if (!g_hook)
            return 0;
        hook = g_hook;
    }
    return hook(step, path, fd);
}

} // namespace

void SetFileFaultHookForTesting(FileFaultHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

bool SyncDescriptor(int fd, const std::string& path) {
    if (int e = injectedFault(FileStep::Sync, path, fd)) {
        errno = e;
        return false;
    }
    return ::fsync(fd) == 0;
}

bool WriteBackDescriptor(int fd, const std::string& path) {
    if (int e = injectedFault(FileStep::Sync, path, fd)) {
        errno = e;
        return false;
    }
    return ::sync_file_range(fd, 0, 0,
                             SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                 SYNC_FILE_RANGE_WAIT_AFTER) == 0;
}

bool CloseDescriptor(int fd, const std::string& path) {
    const int e = injectedFault(FileStep::Close, path, fd);
    if (::close(fd) != 0)
        return false;
    errno = e;
    return e == 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    if (int e = injectedFault(FileStep::Rename, to)) {
        errno = e;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

// link, which fails with EEXIST rather than replace anything.
bool linkNoReplace(const std::string& from, const std::string& to) {
    if (int e = injectedFault(FileStep::Link, to)) {
        errno = e;
        return false;
    }
    return ::link(from.c_str(), to.c_str()) == 0;
}

bool isMkstempChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

std::string HiddenTempTemplate(const std::string& target) {
    std::string dir = ExtractFilePath(target);
    return (dir.empty() ? std::string("./") : dir) + "." + ExtractFileName(target) + ".XXXXXX";
}

std::string HiddenTempTarget(std::string_view name) {
    constexpr std::size_t kSuffix = 7; // ".XXXXXX"
    if (name.size() < 2 + kSuffix || name.front() != '.' || name[name.size() - kSuffix] != '.')
        return {};
    for (std::size_t i = name.size() - kSuffix + 1; i < name.size(); ++i)
        if (!isMkstempChar(name[i]))
            return {};
    return std::string(name.substr(1, name.size() - 1 - kSuffix));
}

int RemoveLeftoverTemps(const std::string& dir, const std::function<bool(std::string_view target)>& ours) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return 0;
    std::vector<std::string> candidates;
    while (dirent* e = ::readdir(d)) {
        const std::string target = HiddenTempTarget(e->d_name);
        if (!target.empty() && ours(target))
            candidates.push_back(ConcatPathNames(dir, e->d_name));
    }
    ::closedir(d);
    const std::time_t now = std::time(nullptr);
    int removed = 0;
    for (const auto& path : candidates) {
        struct stat st {};
        // Only plain files: a link of that name points at something that is not ours.
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (st.st_mtime > now - LeftoverTempMinAgeSeconds || CheckFileInUse(path))
            continue;
        if (::unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}

int RemoveLeftoverTempsOf(const std::string& target) {
    const std::string name = ExtractFileName(target);
    if (name.empty())
        return 0;
    return RemoveLeftoverTemps(ExtractFileDir(target), [&](std::string_view t) { return t == name; });
}

void FlushFileToDisk(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EFileError("Datei " + path + " kann nicht geöffnet werden: " + std::strerror(errno));
    const bool synced = SyncDescriptor(fd, path);
    const int err = errno;
    ::close(fd);
    if (!synced)
        throw EFileError("Datei " + path +
                         " kann nicht auf die Platte geschrieben werden: " + std::strerror(err));
    std::string dir = ExtractFileDir(path);
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

namespace {

// Copies into a hidden temp file beside the target, flushes and checks it, and only then gives
// it the target's name without replacing anything: a copy cut short by a crash never stands
// under the target's name.
bool copyFlushed(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const bool ok = CopyToNewFile(in, to);
    ::close(in);
    return ok;
}

} // namespace

bool CopyToNewFile(int fd, const std::string& to) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::string tmp = HiddenTempTemplate(to);
    int out = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (out < 0)
        return false;
    bool ok = ::fchmod(out, st.st_mode & 0777) == 0;
    std::vector<char> buf(1 << 20);
    std::int64_t copied = 0;
    while (ok) {
        ssize_t r = ::pread(fd, buf.data(), buf.size(), static_cast<off_t>(copied));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            ok = r == 0;
            break;
        }
        for (ssize_t off = 0; off < r && ok;) {
            ssize_t w = ::write(out, buf.data() + off, static_cast<size_t>(r - off));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            off += ok ? w : 0;
        }
        copied += r;
    }
    ok = ok && SyncDescriptor(out, to);
    ok = CloseDescriptor(out, to) && ok;
    ok = ok && copied == st.st_size && FileSize(tmp) == st.st_size;
    ok = ok && linkNoReplace(tmp, to);
    ::unlink(tmp.c_str());
    return ok;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (!FileExists(from))
        return false;
    // link + unlink never replaces an existing target, unlike rename.
    if (linkNoReplace(from, to)) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST)
        return false;
    if (errno == EXDEV || errno == EPERM || errno == EOPNOTSUPP) {
        if (errno != EXDEV) {
            // File systems without hard links: rename within the directory, checked first.
            struct stat st {};
            if (::lstat(to.c_str(), &st) == 0)
                return false;
            if (RenameReplacing(from, to))
                return true;
            if (errno != EXDEV)
                return false;
        }
        if (!copyFlushed(from, to))
            return false;
        ::unlink(from.c_str());
        return true;
    }
    return false;
}

std::string ConcatPathNames(std::string_view a, std::string_view b) {
    if (a.empty())
        return std::string(b);
    if (b.empty())
        return std::string(a);
    std::string out(a);
    if (out.back() != '/')
        out += '/';
    while (!b.empty() && b.front() == '/')
        b.remove_prefix(1);
    out += b;
    return out;
}

std::string IncludeTrailingPathDelimiter(std::string_view dir) {
    std::string out(dir);
    if (out.empty() || out.back() != '/')
        out += '/';
    return out;
}

std::string ExtractFileDir(std::string_view path) {
    auto pos = path.rfind('/');
    if (pos == std::string_view::npos)
        return {};
    if (pos == 0)
        return "/";
    return std::string(path.substr(0, pos));
}

std::string ExtractFilePath(std::string_view path) {
    auto pos = path.rfind('/');
    if (pos == std::string_view::npos)
        return {};
    return std::string(path.substr(0, pos + 1));
}

std::string ExtractFileName(std::string_view path) {
    auto pos = path.rfind('/');
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string ExtractFileExt(std::string_view path) {
    std::string name = ExtractFileName(path);
    auto pos = name.rfind('.');
    if (pos == std::string::npos)
        return {};
    return name.substr(pos);
}

std::string GetCurrentDir() {
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf))
        return {};
    return buf;
}

bool SetCurrentDir(const std::string& dir) {
    return !dir.empty() && ::chdir(dir.c_str()) == 0;
}

std::string ExpandFileName(std::string_view path) {
    if (!path.empty() && path.front() == '/')
        return std::string(path);
    return ConcatPathNames(GetCurrentDir(), path);
}

bool ForceDirectories(const std::string& dir) {
    if (dir.empty())
        return false;
    if (DirectoryExists(dir))
        return true;
    std::string parent = ExtractFileDir(dir);
    if (!parent.empty() && parent != dir && !ForceDirectories(parent))
        return false;
    return ::mkdir(dir.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(dir));
}

} // namespace infemora
