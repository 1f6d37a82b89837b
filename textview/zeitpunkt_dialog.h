#pragma once
// TfrmZeitpunkt: asks for the date and time to go to in a log view, in the formats of the
// filter dialog. Kept between uses, so its fields keep what was typed.
#ifndef Q_MOC_RUN
#include "host/datetime.h"
#endif

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace infemora {

class TfrmZeitpunkt : public QDialog {
    Q_OBJECT
public:
    explicit TfrmZeitpunkt(QWidget* parent = nullptr);

    TDateTime Zeitpunkt;

    QLineEdit* edtDatum;
    QLineEdit* edtZeit;
    QPushButton* btnOK;
    QPushButton* btnAbbruch;

    // Reads the fields: the date must be one, an empty time is 00:00:00. An unreadable field is
    // emptied and focused and the dialog stays open.
    void OKClick();
};

} // namespace infemora
