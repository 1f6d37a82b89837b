#include "textview/timeline.h"

#include <algorithm>

namespace infemora {

namespace {

constexpr std::int64_t kMsPerHour = 3'600'000;

std::int64_t width(ZeitRaster raster) {
    return raster == ZeitRaster::Stunde ? kMsPerHour : MsPerDay;
}

std::int64_t floorTo(std::int64_t ms, std::int64_t step) {
    const std::int64_t q = ms / step;
    return (ms % step < 0 ? q - 1 : q) * step;
}

void count(Zeitachse& achse, const EntryIndex& entries, std::int64_t entry) {
    const std::int64_t key = entries.key(entry);
    if (key == EntryIndex::kNoKey)
        return;
    const std::int64_t step = width(achse.raster);
    const std::int64_t start = floorTo(key, step);
    if (achse.balken.empty())
        achse.balken.push_back({TDateTime(start)});
    // Keys never fall, so a new entry belongs to the last bar or one behind it.
    while (achse.balken.back().start.ms < start)
        achse.balken.push_back({TDateTime(achse.balken.back().start.ms + step)});
    ZeitBalken& b = achse.balken[static_cast<std::size_t>((start - achse.balken.front().start.ms) / step)];
    ++b.eintraege;
    if (b.ersterEintrag < 0)
        b.ersterEintrag = entry;
    switch (entries.kind(entry)) {
    case EntryKind::Fehler:
        ++b.fehler;
        break;
    case EntryKind::None:
        ++b.none;
        break;
    case EntryKind::Plain:
        break;
    }
}

} // namespace

std::int64_t Zeitachse::balkenBei(TDateTime t) const {
    if (balken.empty() || t < balken.front().start || t >= ende())
        return -1;
    return (t.ms - balken.front().start.ms) / width(raster);
}

TDateTime Zeitachse::ende() const {
    return balken.empty() ? TDateTime() : TDateTime(balken.back().start.ms + width(raster));
}

Zeitachse BuildTimeline(const EntryIndex& entries, std::optional<ZeitRaster> raster) {
    Zeitachse achse;
    if (raster) {
        achse.raster = *raster;
    } else {
        const std::int64_t first = entries.firstAtOrAfter(TDateTime(EntryIndex::kNoKey + 1));
        const bool anyKey = first < entries.count();
        const std::int64_t span = anyKey ? entries.key(entries.count() - 1) - entries.key(first) : 0;
        achse.raster = span > ZeitachseTageFuerStunden * MsPerDay ? ZeitRaster::Tag : ZeitRaster::Stunde;
    }
    for (std::int64_t e = 0; e < entries.count(); ++e)
        count(achse, entries, e);
    return achse;
}

std::vector<std::string> TimelineCsvLines(const Zeitachse& achse) {
    std::vector<std::string> lines;
    lines.reserve(achse.balken.size() + 1);
    lines.emplace_back("Zeitpunkt;Eintr\xE4ge;Fehler-Meldung;NONE-Meldung");
    const std::string format = achse.raster == ZeitRaster::Stunde
                                   ? Formats().shortDate + " " + Formats().longTime
                                   : Formats().shortDate;
    for (const ZeitBalken& b : achse.balken)
        lines.push_back(FormatDateTime(format, b.start) + ";" + std::to_string(b.eintraege) + ";" +
                        std::to_string(b.fehler) + ";" + std::to_string(b.none));
    return lines;
}

} // namespace infemora
