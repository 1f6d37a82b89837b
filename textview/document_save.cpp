#include "textview/document_save.h"

#include "host/errors.h"
#include "host/fileutil.h"
#include "host/replacing_file.h"
#include "textview/line_scanner.h"

namespace infemora {

std::string MitTxtEndung(const std::string& path) {
    return ExtractFileExt(path).empty() ? path + ".txt" : path;
}

void SaveDocumentLines(const LogDocument& doc, const std::string& path) {
    ReplacingFileWriter datei(path);
    if (doc.isDecoded()) {
        // The view shows a conversion; the file gets the bytes that were read.
        datei.Write(doc.originalBytes());
        datei.Commit();
        return;
    }
    LineScanner scan(doc, 0, doc.lineCount());
    std::int64_t line;
    std::string_view bytes;
    while (scan.next(line, bytes))
        datei.WriteLine(bytes);
    datei.Commit();
}

} // namespace infemora
