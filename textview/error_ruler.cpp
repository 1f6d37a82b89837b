#include "textview/error_ruler.h"

#include "textview/log_text_view.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace infemora {

ErrorRuler::ErrorRuler(LogTextView* view) : QWidget(view), view_(view) {
    setObjectName("errorRuler");
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Fehlereinträge im ganzen Text; ein Klick springt zum nächstgelegenen"));
}

void ErrorRuler::refresh() {
    marks_.assign(static_cast<std::size_t>(std::max(0, height())), 0);
    const EntryIndex* entries = view_->entries();
    const std::int64_t lines = view_->lineCount();
    if (!entries || lines == 0 || marks_.empty()) {
        update();
        return;
    }
    const auto rows = static_cast<std::int64_t>(marks_.size());
    for (std::int64_t e : view_->shownErrors()) {
        const std::int64_t line = view_->shownLineOf(entries->firstLine(e));
        auto& mark = marks_[static_cast<std::size_t>(std::min(rows - 1, line * rows / lines))];
        mark = std::max(mark, static_cast<std::uint8_t>(entries->kind(e)));
    }
    update();
}

std::int64_t ErrorRuler::lineAtRow(int row) const {
    const std::int64_t lines = view_->lineCount();
    if (height() <= 0)
        return 0;
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(row) * lines / height(), 0,
                                    std::max<std::int64_t>(0, lines - 1));
}

void ErrorRuler::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, 0, height());
    static const QColor colours[] = {QColor(), QColor(235, 160, 20), QColor(210, 30, 30)};
    for (std::size_t row = 0; row < marks_.size(); ++row)
        if (marks_[row] != 0)
            painter.fillRect(QRect(2, static_cast<int>(row), width() - 3, 2), colours[marks_[row]]);
}

void ErrorRuler::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    refresh();
}

void ErrorRuler::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (view_->goToErrorNear(lineAtRow(event->position().toPoint().y())))
        view_->setFocus();
}

} // namespace infemora
