#pragma once
// A file written whole before it takes its name: the bytes go to a private temp file beside the
// target, and Commit flushes it to disk and renames it over the target. Until then the target is
// untouched, and a writer given up without Commit (an error, an exception) removes its temp
// file, so a failed write never leaves a half file under the chosen name. EFileError on failure.
#include "host/background_sync.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace infemora {

class ReplacingFileWriter {
public:
    // EFileError when the target may not be replaced (a folder, device or pipe) or the temp file
    // cannot be made. Old leftovers of earlier writes to the same target are removed first.
    explicit ReplacingFileWriter(std::string path);
    ~ReplacingFileWriter();
    ReplacingFileWriter(const ReplacingFileWriter&) = delete;
    ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

    void Write(std::string_view bytes);
    void WriteLine(std::string_view line) { // with CR LF
        Write(line);
        Write("\r\n");
    }
    // For callers that format in place: append to Buffer(), then call BufferFilled().
    std::string& Buffer() { return buffer_; }
    void BufferFilled() {
        if (buffer_.size() >= kBufferSize)
            flushBuffer();
    }

    // The new file gets the permissions and, as far as this user may give them, the owner and
    // group of the file it replaces (a settings file of mode 640 stays 640), instead of the
    // user's defaults. Nothing happens when there is no regular file under the name.
    void KeepModeAndOwner();

    // Writes what is buffered, flushes to disk and renames over the target (the target then
    // unchanged on failure).
    void Commit();

    const std::string& path() const { return path_; }

private:
    static constexpr std::size_t kBufferSize = 1 << 20;
    // A large file is flushed in the background every so many bytes.
    static constexpr off_t kBackgroundSyncStep = 4 << 20;
    void flushBuffer();
    void writeAll(std::string_view data);
    void discard() noexcept;

    std::string path_;
    std::string temp_;
    std::string buffer_;
    int fd_ = -1;
    off_t written_ = 0;
    off_t syncRequestedAt_ = 0;
    std::unique_ptr<BackgroundSync> sync_;
};

} // namespace infemora
