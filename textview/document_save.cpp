#include "textview/document_save.h"

#include "host/errors.h"
#include "host/fileutil.h"
#include "textview/line_scanner.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {

namespace {

void writeAll(int fd, const std::string& data, const std::string& path) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EFileError("Schreiben in " + path + " fehlgeschlagen: " + std::strerror(errno));
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace

std::string MitTxtEndung(const std::string& path) {
    return ExtractFileExt(path).empty() ? path + ".txt" : path;
}

void SaveDocumentLines(const LogDocument& doc, const std::string& path) {
    CheckReplaceableTarget(path);
    RemoveLeftoverTempsOf(path);
    std::string tmp = HiddenTempTemplate(path);
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        throw EFileError("Datei " + path + " kann nicht geschrieben werden: " + std::strerror(errno));
    try {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        std::string out;
        out.reserve(1 << 20);
        LineScanner scan(doc, 0, doc.lineCount());
        std::int64_t line;
        std::string_view bytes;
        while (scan.next(line, bytes)) {
            out += bytes;
            out += "\r\n";
            if (out.size() >= (1u << 20)) {
                writeAll(fd, out, path);
                out.clear();
            }
        }
        writeAll(fd, out, path);
        if (!SyncDescriptor(fd, path))
            throw EFileError("Datei " + path +
                             " kann nicht auf die Platte geschrieben werden: " + std::strerror(errno));
        const bool closed = CloseDescriptor(fd, path);
        fd = -1;
        if (!closed)
            throw EFileError("Datei " + path + " kann nicht geschrieben werden: " + std::strerror(errno));
        if (!RenameReplacing(tmp, path))
            throw EFileError("Datei " + path + " kann nicht ersetzt werden: " + std::strerror(errno));
    } catch (...) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
}

} // namespace infemora
