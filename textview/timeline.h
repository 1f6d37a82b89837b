#pragma once
// The timeline of a log text: entries per hour, or per day when the text spans more than two
// weeks, with the error entries of each kind counted apart. Every hour (or day) from the first
// stamp to the last has its bar, also an empty one. Entries count at their key (see EntryIndex):
// an entry without a stamp of its own at the time of the entry before it.
#include "host/datetime.h"
#include "textview/entry_index.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace infemora {

enum class ZeitRaster { Stunde, Tag };

struct ZeitBalken {
    TDateTime start;
    std::int64_t eintraege = 0;
    std::int64_t fehler = 0;         // "Fehler-Meldung"
    std::int64_t none = 0;           // "NONE-Meldung"
    std::int64_t ersterEintrag = -1; // -1 for an empty bar
};

struct Zeitachse {
    ZeitRaster raster = ZeitRaster::Stunde;
    std::vector<ZeitBalken> balken;
    // The bar holding a time; -1 outside.
    std::int64_t balkenBei(TDateTime t) const;
    TDateTime ende() const; // end of the last bar
};

inline constexpr std::int64_t ZeitachseTageFuerStunden = 14;

// Without a raster: hours, days when the stamps span more than two weeks.
Zeitachse BuildTimeline(const EntryIndex& entries, std::optional<ZeitRaster> raster = std::nullopt);

// "Zeitpunkt;Einträge;Fehler-Meldung;NONE-Meldung" and one line per bar (Windows-1252); the
// time in the short date format, for hours followed by the long time format.
std::vector<std::string> TimelineCsvLines(const Zeitachse& achse);

} // namespace infemora
