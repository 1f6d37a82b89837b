#include "merge/merge_output.h"

#include "host/errors.h"
#include "host/fileutil.h"

#include <algorithm>
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

} // namespace

MergeOutput::MergeOutput(std::string targetPath, std::size_t writeBytes, std::size_t spillBytes)
    : targetPath_(std::move(targetPath)), writeBytes_(writeBytes), spillBytes_(spillBytes) {
    // What killed runs left beside the target; a run still writing keeps its file open.
    RemoveLeftoverTempsOf(targetPath_);
    buf_.reserve(writeBytes_ + spillBytes_ + 64 * 1024);
}

MergeOutput::~MergeOutput() {
    if (fd_ >= 0)
        ::close(fd_);
    if (tempStarted_ && !published_)
        ::unlink(tempPath_.c_str());
    if (spillFd_ >= 0) {
        ::close(spillFd_);
        ::unlink(spillPath_.c_str());
    }
    if (secondFd_ >= 0)
        ::close(secondFd_);
    if (!secondPath_.empty() && !secondKept_)
        ::unlink(secondPath_.c_str());
}

int MergeOutput::createPrivate(std::string& path) const {
    path = HiddenTempTemplate(targetPath_);
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        const std::string why = errnoText();
        path.clear();
        throw EFileError("Datei " + targetPath_ + " kann nicht angelegt werden: " + why);
    }
    // mkostemp makes the file private; the result gets the user's default permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return fd;
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
        // The earlier result keeps its name until this one is complete, but nobody needs its
        // text in memory meanwhile.
        DropCachedText(targetPath_);
        fd_ = createPrivate(tempPath_);
        tempStarted_ = true;
        return;
    }
    fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0)
        throw EFileError("Datei " + tempPath_ + " kann nicht geöffnet werden: " + errnoText());
}

void MergeOutput::writeOut(const char* data, std::size_t size) {
    // The rule is told every byte, also after the split: it may count what follows.
    const std::optional<std::uint64_t> at = split_ ? split_->Feed(data, size) : std::nullopt;
    if (secondFd_ >= 0) {
        writeAll(secondFd_, data, size, secondPath_);
    } else if (at) {
        startSecond(*at, data, size);
    } else {
        writeAll(fd_, data, size, tempPath_);
        firstBytes_ += size;
    }
}

void MergeOutput::startSecond(std::uint64_t at, const char* data, std::size_t size) {
    if (at > firstBytes_ + size)
        throw EFileError("Die Teilung von " + targetPath_ + " liegt hinter dem geschriebenen Text");
    secondFd_ = createPrivate(secondPath_);
    if (at >= firstBytes_) {
        const std::size_t first = static_cast<std::size_t>(at - firstBytes_);
        writeAll(fd_, data, first, tempPath_);
        firstBytes_ = at;
        writeAll(secondFd_, data + first, size - first, secondPath_);
        return;
    }
    // The rule decided a few lines late: what the first file holds past the offset moves over.
    std::vector<char> block(std::min<std::uint64_t>(firstBytes_ - at, 1u << 20));
    for (std::uint64_t from = at; from < firstBytes_;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), firstBytes_ - from));
        const ssize_t r = ::pread(fd_, block.data(), want, static_cast<off_t>(from));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            throw EFileError("Datei " + tempPath_ +
                             " kann nicht gelesen werden: " + (r < 0 ? errnoText() : std::string("zu kurz")));
        writeAll(secondFd_, block.data(), static_cast<std::size_t>(r), secondPath_);
        from += static_cast<std::uint64_t>(r);
    }
    if (::ftruncate(fd_, static_cast<off_t>(at)) != 0)
        throw EFileError("Datei " + tempPath_ + " kann nicht gek\xC3\xBCrzt werden: " + errnoText());
    firstBytes_ = at;
    writeAll(secondFd_, data, size, secondPath_);
}

void MergeOutput::writeCommitted() {
    if (mark_ == 0)
        return;
    ensureTemp();
    writeOut(buf_.data(), mark_);
    buf_.erase(0, mark_);
    mark_ = 0;
}

void MergeOutput::spillPending() {
    if (spillFd_ < 0)
        spillFd_ = createPrivate(spillPath_);
    writeAll(spillFd_, buf_.data() + mark_, buf_.size() - mark_, spillPath_);
    buf_.resize(mark_);
}

void MergeOutput::appendSpillToTemp() {
    if (spillFd_ < 0)
        return;
    writeCommitted();
    ensureTemp();
    // The spill file was opened for writing only; read it through a second descriptor.
    int in = ::open(spillPath_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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
            writeOut(block.data(), static_cast<std::size_t>(r));
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
    if (sync && !SyncDescriptor(fd, tempPath_)) {
        const std::string why = errnoText();
        ::close(fd);
        throw EFileError("Datei " + tempPath_ + " kann nicht auf die Platte geschrieben werden: " + why);
    }
    if (!CloseDescriptor(fd, tempPath_))
        throw EFileError("Schließen von " + tempPath_ + " fehlgeschlagen: " + errnoText());
}

bool MergeOutput::EndBatch(const std::string* partPath) {
    bool ok = true;
    if (partPath) {
        writeCommitted();
        closeTemp(true);
        ok = RenameNoReplace(tempPath_, *partPath);
        if (ok) {
            tempStarted_ = false;
            tempPath_.clear();
            if (spillFd_ >= 0) {
                // The spilled start of this batch becomes the new temp file.
                ::close(spillFd_);
                spillFd_ = -1;
                tempPath_ = std::move(spillPath_);
                spillPath_.clear();
                tempStarted_ = true;
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
    ensureTemp();
    if (split_) {
        const std::optional<std::uint64_t> at = split_->Finish();
        if (at && secondFd_ < 0)
            startSecond(*at, nullptr, 0);
    }
    if (secondFd_ >= 0) {
        const int fd = secondFd_;
        secondFd_ = -1;
        const bool synced = !sync || SyncDescriptor(fd, secondPath_);
        if (!CloseDescriptor(fd, secondPath_) || !synced)
            throw EFileError("Datei " + secondPath_ + " kann nicht geschrieben werden: " + errnoText());
    }
    closeTemp(sync);
}

UniqueFd MergeOutput::OpenResult() const {
    // The private name is this run's alone, so it still names the file just written.
    UniqueFd fd(::open(tempPath_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        throw EFileError("Datei " + tempPath_ + " kann nicht gelesen werden: " + errnoText());
    return fd;
}

std::string MergeOutput::Keep() {
    published_ = true;
    return tempPath_;
}

std::string MergeOutput::KeepSplit() {
    secondKept_ = true;
    return secondPath_;
}

bool MergeOutput::Publish() {
    if (!tempStarted_ || published_)
        return published_;
    // The earlier result goes first: renaming over it would make some file systems (ext4) write
    // the new text out at once, as they guard replaced files against a crash, and a merge's
    // result needs no such care.
    if (::unlink(targetPath_.c_str()) != 0 && errno != ENOENT) {
        ::unlink(tempPath_.c_str());
        tempStarted_ = false;
        return false;
    }
    if (RenameReplacing(tempPath_, targetPath_)) {
        published_ = true;
        return true;
    }
    ::unlink(tempPath_.c_str());
    tempStarted_ = false;
    return false;
}

} // namespace infemora
