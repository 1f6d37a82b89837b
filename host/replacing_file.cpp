#include "host/replacing_file.h"

#include "host/errors.h"
#include "host/fileutil.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {

namespace {

std::string errnoText() {
    return std::strerror(errno);
}

} // namespace

ReplacingFileWriter::ReplacingFileWriter(std::string path) : path_(std::move(path)) {
    CheckReplaceableTarget(path_);
    RemoveLeftoverTempsOf(path_);
    temp_ = HiddenTempTemplate(path_);
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0)
        throw EFileError("Datei " + path_ + " kann nicht geschrieben werden: " + errnoText());
    // mkstemp makes the file private; the finished file gets the user's default permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    buffer_.reserve(kBufferSize + 4096);
}

void ReplacingFileWriter::KeepModeAndOwner() {
    struct stat st {};
    if (fd_ < 0 || ::lstat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    // The owner first: changing it may clear set-id bits, which the mode then sets again. Only
    // root may give a file away; anyone may keep a group they belong to.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0 && ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // The new file stays this user's own; the mode below still keeps others out as before.
    }
    if (::fchmod(fd_, st.st_mode & 07777) != 0)
        throw EFileError("Rechte von " + path_ + " können nicht übernommen werden: " + errnoText());
}

ReplacingFileWriter::~ReplacingFileWriter() {
    discard();
}

void ReplacingFileWriter::discard() noexcept {
    // The flushing thread uses the descriptor; it ends before the descriptor is closed.
    sync_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        ::unlink(temp_.c_str());
    }
}

void ReplacingFileWriter::Write(std::string_view bytes) {
    // Large pieces need no copy through the buffer.
    if (buffer_.empty() && bytes.size() >= kBufferSize / 4) {
        writeAll(bytes);
        return;
    }
    if (buffer_.size() + bytes.size() > kBufferSize) {
        flushBuffer();
        if (bytes.size() > kBufferSize) {
            writeAll(bytes);
            return;
        }
    }
    buffer_ += bytes;
}

void ReplacingFileWriter::flushBuffer() {
    writeAll(buffer_);
    buffer_.clear();
}

void ReplacingFileWriter::writeAll(std::string_view data) {
    if (fd_ < 0)
        throw EFileError("Datei " + path_ + " ist schon geschlossen.");
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Schreiben in " + path_ + " fehlgeschlagen: " + errnoText());
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        written_ += n;
    }
    // A large file goes to disk while it grows, on the flushing thread: the flush at the end then
    // waits only for the last piece, and the writer spends no time handing pages to the disk.
    if (written_ - syncRequestedAt_ >= kBackgroundSyncStep) {
        if (!sync_)
            sync_ = std::make_unique<BackgroundSync>(fd_, path_);
        sync_->Request();
        syncRequestedAt_ = written_;
    }
}

void ReplacingFileWriter::Commit() {
    try {
        flushBuffer();
        const bool ok = (!sync_ || sync_->Finish()) && SyncDescriptor(fd_, path_);
        if (!ok)
            throw EFileError("Datei " + path_ +
                             " kann nicht auf die Platte geschrieben werden: " + errnoText());
        sync_.reset();
        const int fd = fd_;
        fd_ = -1;
        if (!CloseDescriptor(fd, path_))
            throw EFileError("Schließen von " + path_ + " fehlgeschlagen: " + errnoText());
        if (!RenameReplacing(temp_, path_))
            throw EFileError("Datei " + path_ + " kann nicht ersetzt werden: " + errnoText());
    } catch (...) {
        sync_.reset();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        ::unlink(temp_.c_str());
        throw;
    }
}

} // namespace infemora
