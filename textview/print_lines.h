#pragma once
// Plain text lines to a printer: one line per output line, a new page when the page is full,
// in a fixed-pitch font. The lines are asked for one at a time, so that only what is printed
// is ever decoded.
#include <QString>

#include <cstdint>
#include <functional>

class QPrinter;

namespace infemora {

// How many lines fit on one page of this printer: what a page range counts in.
std::int64_t ZeilenJeSeite(QPrinter& printer);

// EInfemora when the printer cannot be started or fails while printing.
void PrintTextLines(QPrinter& printer, std::int64_t count, const std::function<QString(std::int64_t)>& line);

} // namespace infemora
