#include "textview/document_save.h"

#include "archive/kuerzen_run.h"
#include "host/direxplorer.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/replacing_file.h"
#include "merge/infoprot_layout.h"
#include "textview/line_scanner.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace infemora {

std::string MitTxtEndung(const std::string& path) {
    return ExtractFileExt(path).empty() ? path + ".txt" : path;
}

namespace {

// The folder as the file system resolves it, links and ".." included; empty when it is none.
std::string echterOrdner(const std::string& dir) {
    char* echt = ::realpath(dir.empty() ? "." : dir.c_str(), nullptr);
    if (!echt)
        return {};
    std::string out(echt);
    std::free(echt);
    return out;
}

bool gleichOhneGross(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string SpeicherzielAbgelehnt(const std::string& path, const std::string& logDir) {
    const std::string ordner = echterOrdner(ExtractFileDir(ExpandFileName(path)));
    if (ordner.empty() || ordner != echterOrdner(logDir))
        return {};
    const std::string name = ExtractFileName(path);
    if (MatchesMask(name, InfoMaske))
        return "\u201e" + name +
               "\u201c wird nicht im Protokollverzeichnis gespeichert: Dort w\u00fcrde die Datei beim "
               "n\u00e4chsten Zusammenf\u00fchren als weiteres Infoprotokoll gelesen (jeder Eintrag "
               "st\u00fcnde "
               "doppelt) und beim n\u00e4chsten K\u00fcrzen gel\u00f6scht. Bitte einen anderen Ordner oder "
               "einen "
               "Namen w\u00e4hlen, der nicht mit \u201einf\u201c beginnt.";
    if (gleichOhneGross(name, TransferLogName) || gleichOhneGross(name, MenuLogName))
        return "\u201e" + name +
               "\u201c wird nicht im Protokollverzeichnis gespeichert: Die Datei w\u00fcrde das Protokoll "
               "gleichen Namens ersetzen. Bitte einen anderen Ordner oder Namen w\u00e4hlen.";
    return {};
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
