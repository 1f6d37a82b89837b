#pragma once
// The timeline strip above the merged view: a bar per hour (or day) with the entries of that
// time, the error entries stacked at its foot in red ("Fehler-Meldung") and amber
// ("NONE-Meldung"); the counts under the mouse as a tool tip; a click asks for the first entry
// of that bar. The date filter in force shows as the highlighted span. When there are more bars
// than pixels, a column stands for several bars.
#ifndef Q_MOC_RUN
#include "textview/timeline.h"
#endif

#include <QWidget>

namespace infemora {

class TimelineStrip : public QWidget {
    Q_OBJECT
public:
    explicit TimelineStrip(QWidget* parent = nullptr);

    void setTimeline(Zeitachse achse);
    const Zeitachse& timeline() const { return achse_; }
    // The date filter in force (on false: none).
    void setSpan(bool on, TDateTime von, TDateTime bis);
    bool hasSpan() const { return spanOn_; }

    // The bars [first, end) a pixel column stands for; empty when none.
    std::pair<std::int64_t, std::int64_t> barsAt(int x) const;
    // "08.12.2026 14:00:00: 123 Einträge, 2 Fehler-Meldung, 1 NONE-Meldung" for those bars.
    QString describe(std::int64_t first, std::int64_t end) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The start of the first bar under the click.
    void barClicked(TDateTime start);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int columns() const;
    Zeitachse achse_;
    bool spanOn_ = false;
    TDateTime von_, bis_;
};

} // namespace infemora
