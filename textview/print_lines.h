#pragma once
// Plain text lines to a printer: one line per output line, a new page when the page is full,
// in the printer's standard font.
#include <QStringList>

class QPrinter;

namespace infemora {

// EInfemora when the printer cannot be started or fails while printing.
void PrintTextLines(QPrinter& printer, const QStringList& lines);

} // namespace infemora
