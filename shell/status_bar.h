#pragma once
// The status line of the main window. Each fact is a field of its own on the right, so that a
// field can be added beside the others; a passing message (a search without a hit) takes the
// space on the left and goes by itself.
#include <QStatusBar>

class QLabel;

namespace infemora {

class TStatusZeile : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusZeile(QWidget* parent = nullptr);

    // A further permanent field, right of the existing ones; the caller sets its text.
    QLabel* addField(const char* objectName, int stretch = 0);

    QLabel* lblDateienZeilen = nullptr; // how many files and lines the active tab shows
    QLabel* lblFilter = nullptr;        // the filter in force for the merged view
    QLabel* lblCursor = nullptr;        // the line at the cursor and its entry's time stamp

public slots:
    void setDateienZeilen(const QString& text);
    void setFilter(const QString& text);
    void setCursorText(const QString& text);
    // A message that goes by itself after a while or with the next one.
    void meldung(const QString& text);
};

} // namespace infemora
