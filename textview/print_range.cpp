#include "textview/print_range.h"

#include <algorithm>

namespace infemora {

DruckZeilen DruckZeilen::Alle(const LogDocument& doc) {
    DruckZeilen z(doc);
    z.anzahl_ = doc.lineCount();
    return z;
}

DruckZeilen DruckZeilen::Auswahl(const LogDocument& doc, std::int64_t start, std::int64_t length) {
    DruckZeilen z(doc);
    if (length <= 0)
        return z;
    const LineColumn von = doc.lineColumn(start);
    const LineColumn bis = doc.lineColumn(start + length);
    std::int64_t letzte = bis.line;
    std::int64_t endSpalte = bis.column;
    // A selection that ends right behind a line break starts no further line.
    if (endSpalte == 0 && letzte > von.line) {
        --letzte;
        endSpalte = doc.lineLength(letzte);
    }
    z.ersteZeile_ = von.line;
    z.anzahl_ = letzte - von.line + 1;
    z.auswahlErste_ = von.line;
    z.ersteSpalte_ = von.column;
    z.letzteZeile_ = letzte;
    z.letzteSpalte_ = endSpalte;
    return z;
}

void DruckZeilen::Seiten(std::int64_t zeilenJeSeite, int von, int bis) {
    if ((von <= 0 && bis <= 0) || zeilenJeSeite <= 0)
        return;
    const std::int64_t erste = std::max(0, von - 1) * zeilenJeSeite;
    const std::int64_t ende =
        bis <= 0 ? anzahl_ : std::min(anzahl_, static_cast<std::int64_t>(bis) * zeilenJeSeite);
    if (erste >= ende) {
        anzahl_ = 0;
        return;
    }
    ersteZeile_ += erste;
    anzahl_ = ende - erste;
}

std::string DruckZeilen::zeile(std::int64_t i) const {
    const std::int64_t line = ersteZeile_ + i;
    const std::int64_t laenge = doc_->lineLength(line);
    const std::int64_t von = line == auswahlErste_ ? ersteSpalte_ : 0;
    const std::int64_t bis = line == letzteZeile_ ? letzteSpalte_ : laenge;
    return doc_->lineSlice(line, von, std::max<std::int64_t>(0, bis - von));
}

} // namespace infemora
