#pragma once
// The time stamp of the info-log entry a line belongs to, for the status line: the entry starts
// at the nearest "<<" line at or above it, and its stamp is the first "##" line of that entry.
#include "host/datetime.h"
#include "textview/log_document.h"

#include <cstdint>
#include <optional>

namespace infemora {

// nullopt for a line before the first entry, an entry without a valid stamp, or when no entry
// start lies within maxZurueck lines above (a text that is no info log is not searched whole).
std::optional<TDateTime> EintragsStempelBei(const LogDocument& doc, std::int64_t zeile,
                                            std::int64_t maxZurueck = 2000);

} // namespace infemora
