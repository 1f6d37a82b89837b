#include "textview/print_lines.h"

#include "host/errors.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace infemora {

namespace {

QFont druckSchrift() {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// The first line's baseline lies at the ascent; a line is drawn while its baseline is on the page.
std::int64_t zeilenAufSeite(int seitenHoehe, const QFontMetrics& metrics) {
    const int lineHeight = std::max(1, metrics.lineSpacing());
    return std::max(1, (seitenHoehe - metrics.ascent()) / lineHeight + 1);
}

} // namespace

std::int64_t ZeilenJeSeite(QPrinter& printer) {
    const QFontMetrics metrics(druckSchrift(), &printer);
    return zeilenAufSeite(printer.height(), metrics);
}

void PrintTextLines(QPrinter& printer, std::int64_t count, const std::function<QString(std::int64_t)>& line) {
    QPainter painter;
    if (!painter.begin(&printer))
        throw EInfemora("Der Drucker kann nicht gestartet werden");
    painter.setFont(druckSchrift());
    const QFontMetrics metrics(painter.font(), &printer);
    const int lineHeight = metrics.lineSpacing();
    const std::int64_t jeSeite = zeilenAufSeite(painter.viewport().height(), metrics);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t aufSeite = i % jeSeite;
        if (i > 0 && aufSeite == 0 && !printer.newPage()) {
            painter.end();
            throw EInfemora("Der Drucker hat den Seitenwechsel abgelehnt");
        }
        painter.drawText(0, metrics.ascent() + static_cast<int>(aufSeite) * lineHeight, line(i));
    }
    if (!painter.end())
        throw EInfemora("Der Druckauftrag konnte nicht abgeschlossen werden");
}

} // namespace infemora
