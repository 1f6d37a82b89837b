#pragma once
// The overview ruler beside the vertical scroll bar of a log view: a mark at the height of
// every shown error entry (red for "Fehler-Meldung", amber for "NONE-Meldung"), over the whole
// text; a click goes to the error entry nearest to where it was.
#include <QWidget>

#include <cstdint>
#include <vector>

namespace infemora {

class LogTextView;

class ErrorRuler : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 10;

    explicit ErrorRuler(LogTextView* view);

    // Reads the marks again (the entries or the lines shown changed).
    void refresh();
    // Per pixel row: 0 no mark, 1 a "NONE-Meldung", 2 a "Fehler-Meldung" there.
    const std::vector<std::uint8_t>& marks() const { return marks_; }
    // The shown line a pixel row stands for.
    std::int64_t lineAtRow(int row) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    LogTextView* view_;
    std::vector<std::uint8_t> marks_;
};

} // namespace infemora
