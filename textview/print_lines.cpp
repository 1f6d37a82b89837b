#include "textview/print_lines.h"

#include "host/errors.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace infemora {

void PrintTextLines(QPrinter& printer, const QStringList& lines) {
    QPainter painter;
    if (!painter.begin(&printer))
        throw EInfemora("Der Drucker kann nicht gestartet werden");
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    painter.setFont(font);
    const QFontMetrics metrics(painter.font(), &printer);
    const int lineHeight = metrics.lineSpacing();
    const QRect page = painter.viewport();
    int y = metrics.ascent();
    for (const QString& line : lines) {
        if (y > page.height() && y > metrics.ascent()) {
            if (!printer.newPage()) {
                painter.end();
                throw EInfemora("Der Drucker hat den Seitenwechsel abgelehnt");
            }
            y = metrics.ascent();
        }
        painter.drawText(0, y, line);
        y += lineHeight;
    }
    if (!painter.end())
        throw EInfemora("Der Druckauftrag konnte nicht abgeschlossen werden");
}

} // namespace infemora
