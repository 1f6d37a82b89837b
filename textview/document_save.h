#pragma once
// Writes what a log view holds to a text file, line by line with CR LF, without holding the
// whole text in memory. The chosen name never holds a half-written file: a temp file beside it
// is written, flushed, and then renamed over the target.
#include "textview/log_document.h"

#include <string>

namespace infemora {

// A document shown decoded is saved as the bytes it was read from.
void SaveDocumentLines(const LogDocument& doc, const std::string& path); // EFileError

// The save dialog's rule: a name without extension gets ".txt"; "name." keeps its point.
std::string MitTxtEndung(const std::string& path);

// Why a save must not go to this target, in German; empty when it may. A file in the log
// directory whose name the all-files search lists ("inf*.*") would be merged as one more log
// (every entry twice) and deleted by the next consolidation; the transfer and menu logs would be
// replaced by the view's text.
std::string SpeicherzielAbgelehnt(const std::string& path, const std::string& logDir);

} // namespace infemora
