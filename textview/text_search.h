#pragma once
// Case-insensitive plain-text search over a log document, in blocks of lines so that hundreds
// of megabytes are searched without copying the whole text.
#include "textview/log_document.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace infemora {

// The stored search text: blanks around removed, upper-cased as the locale does it.
std::string SuchtextNormalisieren(std::string_view typed);

// First occurrence at or after character position `start`; -1 when there is none.
std::int64_t SucheVorwaerts(const LogDocument& doc, std::string_view upperNeedle, std::int64_t start);

// Walks the lines from the last to the first, passing over lines that start after `caret`; in
// every other line the first occurrence counts unless it begins exactly at `caret`. -1 when no
// line gives a hit.
std::int64_t SucheRueckwaerts(const LogDocument& doc, std::string_view upperNeedle, std::int64_t caret);

} // namespace infemora
