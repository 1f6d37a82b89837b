#pragma once
// The lines a print puts out, counted before a single one is decoded: all lines of a view, or
// its selection cut at the line breaks (as the selected text splits into lines), restricted to
// the pages the user chose. Only the lines that are printed are ever read.
#include "textview/log_document.h"

#include <cstdint>
#include <string>

namespace infemora {

class DruckZeilen {
public:
    static DruckZeilen Alle(const LogDocument& doc);
    // The selection [start, start + length) in characters of the text; an empty one has no line.
    static DruckZeilen Auswahl(const LogDocument& doc, std::int64_t start, std::int64_t length);

    // Keeps the lines of pages von to bis (from 1, both included) of zeilenJeSeite lines each;
    // 0 for both keeps every page. Pages past the end give no line.
    void Seiten(std::int64_t zeilenJeSeite, int von, int bis);

    std::int64_t anzahl() const { return anzahl_; }
    // Bytes of printed line i (0 <= i < anzahl()).
    std::string zeile(std::int64_t i) const;

private:
    explicit DruckZeilen(const LogDocument& doc) : doc_(&doc) {}
    const LogDocument* doc_;
    std::int64_t ersteZeile_ = 0; // line of the document that is printed line 0
    std::int64_t anzahl_ = 0;
    // Within the selection: where its first line starts and its last line ends.
    std::int64_t ersteSpalte_ = 0;
    std::int64_t letzteZeile_ = -1; // document line that ends at letzteSpalte_ (-1: none cut)
    std::int64_t letzteSpalte_ = 0;
    std::int64_t auswahlErste_ = -1; // document line whose start is cut at ersteSpalte_
};

} // namespace infemora
