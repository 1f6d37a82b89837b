#include "textview/text_search.h"

#include "host/codec1252.h"
#include "textview/case_fold.h"
#include "textview/line_scanner.h"

#include <algorithm>

namespace infemora {

std::string SuchtextNormalisieren(std::string_view typed) {
    auto b = typed.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    auto e = typed.find_last_not_of(' ');
    return UpperCase1252(typed.substr(b, e - b + 1));
}

std::int64_t SucheVorwaerts(const LogDocument& doc, std::string_view needle, std::int64_t start) {
    if (needle.empty() || doc.lineCount() == 0)
        return -1;
    const LineColumn at = doc.lineColumn(std::max<std::int64_t>(0, start));
    LineScanner scan(doc, at.line, doc.lineCount(), LineScanner::Direction::Forward);
    std::string scratch;
    std::int64_t line;
    std::string_view bytes;
    while (scan.next(line, bytes)) {
        auto from = line == at.line ? static_cast<std::size_t>(at.column) : 0;
        auto hit = FindFolded(bytes, needle, from, scratch);
        if (hit != std::string_view::npos)
            return doc.lineStart(line) + static_cast<std::int64_t>(hit);
    }
    return -1;
}

std::int64_t SucheRueckwaerts(const LogDocument& doc, std::string_view needle, std::int64_t caret) {
    if (needle.empty() || doc.lineCount() == 0)
        return -1;
    // Lines that start after the caret are passed over.
    std::int64_t last = doc.lineColumn(std::max<std::int64_t>(0, caret)).line;
    if (doc.lineStart(last) > caret)
        --last;
    LineScanner scan(doc, 0, last + 1, LineScanner::Direction::Backward);
    std::string scratch;
    std::int64_t line;
    std::string_view bytes;
    while (scan.next(line, bytes)) {
        auto hit = FindFolded(bytes, needle, 0, scratch);
        if (hit == std::string_view::npos)
            continue;
        std::int64_t pos = doc.lineStart(line) + static_cast<std::int64_t>(hit);
        if (pos != caret)
            return pos;
    }
    return -1;
}

} // namespace infemora
