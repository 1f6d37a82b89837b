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

} // namespace infemora
