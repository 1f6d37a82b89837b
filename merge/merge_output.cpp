#include "merge/merge_output.h"

#include "host/errors.h"
#include "host/fileutil.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace infemora {

namespace {

std::string errnoText() {
    return std::strerror(errno);
}

void writeAll(int fd, const char* data, std::size_t size, const std::string& path) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Schreiben in " + path + " fehlgeschlagen: " + errnoText());
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// A new file under the name; an older one is unlinked rather than rewritten, so that a view
// still reading it keeps a consistent text.
int createFresh(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw EFileError("Datei " + path + " kann nicht ersetzt werden: " + errnoText());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw EFileError("Datei " + path + " kann nicht angelegt werden: " + errnoText());
    return fd;
}

// Copies the bytes of in to out; false on any failure.
bool copyAll(int in, int out) {
    std::vector<char> block(1 << 20);
    for (;;) {
        ssize_t r = ::read(in, block.data(), block.size());
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return r == 0;
        for (ssize_t off = 0; off < r;) {
            ssize_t w = ::write(out, block.data() + off, static_cast<std::size_t>(r - off));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            off += w;
        }
    }
}

} // namespace

bool InsVerzeichnisVerschieben(const std::string& from, const std::string& to) {
    const std::string dir = ExtractFilePath(ExpandFileName(to));
    struct stat src {
    }, ziel{};
    if (::stat(from.c_str(), &src) != 0 || ::stat(dir.c_str(), &ziel) != 0 || src.st_dev == ziel.st_dev)
        return RenameNoReplace(from, to);
    struct stat vorhanden {};
    if (::lstat(to.c_str(), &vorhanden) == 0)
        return false;
    std::string tmpl = dir + "." + ExtractFileName(to) + ".XXXXXX";
    int out = ::mkstemp(tmpl.data());
    if (out < 0)
        return false;
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = in >= 0 && ::fchmod(out, src.st_mode & 0777) == 0 && copyAll(in, out) && ::fsync(out) == 0;
    if (in >= 0)
        ::close(in);
    ok = ::close(out) == 0 && ok;
    struct stat kopie {};
    ok = ok && ::stat(tmpl.c_str(), &kopie) == 0 && kopie.st_size == src.st_size;
    // Same file system now: a link that never replaces an existing part.
    if (!ok || !RenameNoReplace(tmpl, to)) {
        ::unlink(tmpl.c_str());
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

MergeOutput::MergeOutput(std::string tempPath, std::size_t writeBytes, std::size_t spillBytes)
    : tempPath_(std::move(tempPath)), spillPath_(tempPath_ + ".teil"), writeBytes_(writeBytes),
      spillBytes_(spillBytes) {
    buf_.reserve(writeBytes_ + spillBytes_ + 64 * 1024);
}

MergeOutput::~MergeOutput() {
    if (fd_ >= 0)
        ::close(fd_);
    if (spillFd_ >= 0) {
        ::close(spillFd_);
        ::unlink(spillPath_.c_str());
    }
}

void MergeOutput::Append(const char* data, std::size_t size) {
    buf_.append(data, size);
    if (buf_.size() - mark_ <= spillBytes_)
        return;
    if (mayStartPart_) {
        spillPending();
    } else {
        // This batch goes into the current temp file in any case.
        mark_ = buf_.size();
        writeCommitted();
    }
}

void MergeOutput::ensureTemp() {
    if (fd_ >= 0)
        return;
    if (!tempStarted_) {
        fd_ = createFresh(tempPath_);
        tempStarted_ = true;
        return;
    }
    fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0)
        throw EFileError("Datei " + tempPath_ + " kann nicht geöffnet werden: " + errnoText());
}

void MergeOutput::writeCommitted() {
    if (mark_ == 0)
        return;
    ensureTemp();
    writeAll(fd_, buf_.data(), mark_, tempPath_);
    buf_.erase(0, mark_);
    mark_ = 0;
}

void MergeOutput::spillPending() {
    if (spillFd_ < 0)
        spillFd_ = createFresh(spillPath_);
    writeAll(spillFd_, buf_.data() + mark_, buf_.size() - mark_, spillPath_);
    buf_.resize(mark_);
}

void MergeOutput::appendSpillToTemp() {
    if (spillFd_ < 0)
        return;
    writeCommitted();
    ensureTemp();
    // The spill file was opened for writing only; read it through a second descriptor.
    int in = ::open(spillPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        throw EFileError("Datei " + spillPath_ + " kann nicht gelesen werden: " + errnoText());
    std::vector<char> block(1 << 20);
    for (;;) {
        ssize_t r = ::read(in, block.data(), block.size());
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            ::close(in);
            throw EFileError("Datei " + spillPath_ + " kann nicht gelesen werden: " + errnoText());
        }
        if (r == 0)
            break;
        try {
            writeAll(fd_, block.data(), static_cast<std::size_t>(r), tempPath_);
        } catch (...) {
            ::close(in);
            throw;
        }
    }
    ::close(in);
    ::close(spillFd_);
    spillFd_ = -1;
    ::unlink(spillPath_.c_str());
}

void MergeOutput::closeTemp(bool sync) {
    ensureTemp();
    int fd = fd_;
    fd_ = -1;
    if (sync && ::fsync(fd) != 0) {
        ::close(fd);
        throw EFileError("Datei " + tempPath_ +
                         " kann nicht auf die Platte geschrieben werden: " + errnoText());
    }
    if (::close(fd) != 0)
        throw EFileError("Schließen von " + tempPath_ + " fehlgeschlagen: " + errnoText());
}

bool MergeOutput::EndBatch(const std::string* partPath) {
    bool ok = true;
    if (partPath) {
        writeCommitted();
        closeTemp(true);
        ok = InsVerzeichnisVerschieben(tempPath_, *partPath);
        if (ok) {
            tempStarted_ = false;
            if (spillFd_ >= 0) {
                ::close(spillFd_);
                spillFd_ = -1;
                // The spilled start of this batch becomes the new temp file.
                if (RenameNoReplace(spillPath_, tempPath_)) {
                    tempStarted_ = true;
                } else {
                    spillFd_ = ::open(spillPath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
                    if (spillFd_ < 0)
                        throw EFileError("Datei " + spillPath_ +
                                         " kann nicht geöffnet werden: " + errnoText());
                    appendSpillToTemp();
                }
            }
        }
    }
    appendSpillToTemp();
    mark_ = buf_.size();
    if (mark_ >= writeBytes_)
        writeCommitted();
    return ok;
}

void MergeOutput::Finish(bool sync) {
    appendSpillToTemp();
    mark_ = buf_.size();
    writeCommitted();
    closeTemp(sync);
}

} // namespace infemora
