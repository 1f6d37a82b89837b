#include "host/textfile.h"

#include "host/codec1252.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/replacing_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {

namespace {

std::string errnoText() {
    return std::strerror(errno);
}

void writeAll(int fd, std::string_view data, const std::string& path) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Schreiben in " + path + " fehlgeschlagen: " + errnoText());
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Close reports a failure: some file systems only then say the data did not fit.
    void close(const std::string& path) {
        int fd = fd_;
        fd_ = -1;
        if (!CloseDescriptor(fd, path))
            throw EFileError("Schließen von " + path + " fehlgeschlagen: " + errnoText());
    }

private:
    int fd_;
};

} // namespace

Lines SplitLines(std::string_view bytes) {
    Lines lines;
    size_t start = 0;
    const size_t n = bytes.size();
    for (size_t i = 0; i < n; ++i) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.emplace_back(bytes.substr(start));
    return lines;
}

std::string ReadFileBytes(const std::string& path) {
    // A FIFO or device under the name would block or never end (/dev/zero): regular files only.
    Fd fd(OpenRegularFile(path, O_RDONLY));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw EFileError("Datei " + path + " kann nicht gelesen werden: " + errnoText());
    std::string data;
    data.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        ssize_t r = ::read(fd.get(), buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw EFileError("Lesen von " + path + " fehlgeschlagen: " + errnoText());
        }
        if (r == 0)
            break;
        data.append(buf, static_cast<size_t>(r));
    }
    return data;
}

Lines DecodeTextBytes(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return SplitLines(Utf8ToWin1252(bytes.substr(3)));
    if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
        bool little = bytes[0] == '\xFF';
        std::u16string u;
        u.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            auto a = static_cast<unsigned char>(bytes[i]);
            auto b = static_cast<unsigned char>(bytes[i + 1]);
            u += static_cast<char16_t>(little ? (a | (b << 8)) : ((a << 8) | b));
        }
        return SplitLines(Utf16ToWin1252(u));
    }
    return SplitLines(bytes);
}

Lines LoadTextFile(const std::string& path) {
    return DecodeTextBytes(ReadFileBytes(path));
}

std::string JoinLinesCrLf(const Lines& lines) {
    size_t total = 0;
    for (const auto& l : lines)
        total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void SaveLinesReplacing(const std::string& path, const Lines& lines) {
    ReplacingFileWriter datei(path);
    for (const std::string& line : lines)
        datei.WriteLine(line);
    datei.Commit();
}

void AppendLines(const std::string& path, const Lines& lines) {
    Fd fd(OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT));
    writeAll(fd.get(), JoinLinesCrLf(lines), path);
    if (!SyncDescriptor(fd.get(), path))
        throw EFileError("Datei " + path + " kann nicht auf die Platte geschrieben werden: " + errnoText());
    fd.close(path);
}

} // namespace infemora
