#include "textview/timeline_strip.h"

#include "textview/log_text_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace infemora {

namespace {

constexpr int kHeight = 46;
constexpr int kLabelHeight = 12; // the dates along the foot

const QColor kEntries(120, 150, 190);
const QColor kFehler(210, 30, 30);
const QColor kNone(235, 160, 20);
const QColor kSpan(255, 246, 200);

QString text1252(const std::string& bytes) {
    return LogTextView::decode(bytes);
}

} // namespace

TimelineStrip::TimelineStrip(QWidget* parent) : QWidget(parent) {
    setObjectName("timelineStrip");
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize TimelineStrip::sizeHint() const {
    return {400, kHeight};
}

QSize TimelineStrip::minimumSizeHint() const {
    return {100, kHeight};
}

void TimelineStrip::setTimeline(Zeitachse achse) {
    achse_ = std::move(achse);
    update();
}

void TimelineStrip::setSpan(bool on, TDateTime von, TDateTime bis) {
    spanOn_ = on;
    von_ = von;
    bis_ = bis;
    update();
}

int TimelineStrip::columns() const {
    const auto bars = static_cast<std::int64_t>(achse_.balken.size());
    return static_cast<int>(std::min<std::int64_t>(bars, std::max(1, width())));
}

std::pair<std::int64_t, std::int64_t> TimelineStrip::barsAt(int x) const {
    const auto bars = static_cast<std::int64_t>(achse_.balken.size());
    const int cols = columns();
    if (bars == 0 || x < 0 || x >= width())
        return {0, 0};
    const std::int64_t column = static_cast<std::int64_t>(x) * cols / width();
    return {column * bars / cols, (column + 1) * bars / cols};
}

QString TimelineStrip::describe(std::int64_t first, std::int64_t end) const {
    if (first >= end)
        return {};
    std::int64_t eintraege = 0, fehler = 0, none = 0;
    for (std::int64_t b = first; b < end; ++b) {
        const ZeitBalken& bar = achse_.balken[static_cast<std::size_t>(b)];
        eintraege += bar.eintraege;
        fehler += bar.fehler;
        none += bar.none;
    }
    const std::string format = achse_.raster == ZeitRaster::Stunde
                                   ? Formats().shortDate + " " + Formats().longTime
                                   : Formats().shortDate;
    QString when = text1252(FormatDateTime(format, achse_.balken[static_cast<std::size_t>(first)].start));
    if (end - first > 1)
        when += QStringLiteral(" bis ") +
                text1252(FormatDateTime(format, achse_.balken[static_cast<std::size_t>(end - 1)].start));
    return QStringLiteral("%1: %2 Einträge, %3 Fehler-Meldung, %4 NONE-Meldung")
        .arg(when)
        .arg(eintraege)
        .arg(fehler)
        .arg(none);
}

void TimelineStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const int cols = columns();
    if (achse_.balken.empty() || cols == 0) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Keine Einträge mit Zeitstempel"));
        return;
    }
    struct Column {
        std::int64_t eintraege = 0, fehler = 0, none = 0;
        bool inSpan = false;
    };
    std::vector<Column> column(static_cast<std::size_t>(cols));
    std::int64_t highest = 1;
    const auto bars = static_cast<std::int64_t>(achse_.balken.size());
    for (int c = 0; c < cols; ++c) {
        Column& col = column[static_cast<std::size_t>(c)];
        for (std::int64_t b = c * bars / cols; b < (c + 1) * bars / cols; ++b) {
            const ZeitBalken& bar = achse_.balken[static_cast<std::size_t>(b)];
            col.eintraege += bar.eintraege;
            col.fehler += bar.fehler;
            col.none += bar.none;
            // A bar lies in the span when its hour (or day) overlaps it.
            const TDateTime barEnd(bar.start.ms +
                                   (achse_.raster == ZeitRaster::Stunde ? 3'600'000 : MsPerDay));
            col.inSpan = col.inSpan || (spanOn_ && bar.start <= bis_ && von_ < barEnd);
        }
        highest = std::max(highest, col.eintraege);
    }
    const int plot = height() - kLabelHeight - 2;
    const double step = double(width()) / cols;
    for (int c = 0; c < cols; ++c) {
        const Column& col = column[static_cast<std::size_t>(c)];
        const int x0 = static_cast<int>(c * step);
        const int w = std::max(1, static_cast<int>((c + 1) * step) - x0 - (step >= 4 ? 1 : 0));
        if (col.inSpan)
            painter.fillRect(QRect(x0, 0, static_cast<int>((c + 1) * step) - x0, plot + 1), kSpan);
        auto h = [&](std::int64_t n) {
            return n == 0 ? 0 : std::max(1, static_cast<int>(double(n) * plot / double(highest)));
        };
        const int total = h(col.eintraege);
        // Error entries keep at least two pixels, so that a few among thousands still show.
        const int fehler = col.fehler ? std::max(2, h(col.fehler)) : 0;
        const int none = col.none ? std::max(2, h(col.none)) : 0;
        QColor base = kEntries;
        if (spanOn_ && !col.inSpan)
            base = base.lighter(150);
        painter.fillRect(QRect(x0, plot - total + 1, w, total), base);
        painter.fillRect(QRect(x0, plot - fehler + 1, w, fehler), kFehler);
        painter.fillRect(QRect(x0, plot - fehler - none + 1, w, none), kNone);
    }
    painter.setPen(palette().color(QPalette::Text));
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    painter.setFont(small);
    const QRect foot(2, height() - kLabelHeight, width() - 4, kLabelHeight);
    painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter,
                     text1252(FormatDateTime(Formats().shortDate, achse_.balken.front().start)));
    painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter,
                     text1252(FormatDateTime(Formats().shortDate, achse_.balken.back().start)));
}

void TimelineStrip::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const auto [first, end] = barsAt(at.x());
    if (first < end)
        QToolTip::showText(event->globalPosition().toPoint(), describe(first, end), this);
    else
        QToolTip::hideText();
}

void TimelineStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const auto [first, end] = barsAt(event->position().toPoint().x());
    if (first < end)
        emit barClicked(achse_.balken[static_cast<std::size_t>(first)].start);
}

} // namespace infemora
