#include "textview/entry_stamp.h"

#include "merge/infoprot_layout.h"

#include <algorithm>
#include <string>

namespace infemora {

namespace {

// Entries are short; a stamp line further down belongs to no entry start found here.
constexpr std::int64_t kStempelSuche = 16;

std::string anfang(const LogDocument& doc, std::int64_t zeile) {
    return doc.lineSlice(zeile, 0, static_cast<std::int64_t>(ZeitstempelLaenge));
}

} // namespace

std::optional<TDateTime> EintragsStempelBei(const LogDocument& doc, std::int64_t zeile,
                                            std::int64_t maxZurueck) {
    if (zeile < 0 || zeile >= doc.lineCount())
        return std::nullopt;
    std::int64_t start = -1;
    for (std::int64_t i = zeile; i >= 0 && zeile - i <= maxZurueck; --i) {
        if (IstStartZeile(anfang(doc, i))) {
            start = i;
            break;
        }
    }
    if (start < 0)
        return std::nullopt;
    const std::int64_t ende = std::min(doc.lineCount(), start + 1 + kStempelSuche);
    for (std::int64_t i = start + 1; i < ende; ++i) {
        const std::string z = anfang(doc, i);
        if (IstStartZeile(z))
            break;
        TDateTime stempel;
        if (IstZeitstempelZeile(z))
            return TryZeitstempelAusZeile(z, stempel) ? std::optional(stempel) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace infemora
