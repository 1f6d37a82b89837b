#pragma once
// TfrmSelektion: asks for the date-time window of the merged view. Created once and kept, so
// its fields keep what was typed.
#ifndef Q_MOC_RUN
#include "host/datetime.h"
#endif

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace infemora {

class TfrmSelektion : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelektion(QWidget* parent = nullptr);

    TDateTime Von, Bis;

    QLineEdit* edtVonDatum;
    QLineEdit* edtVonZeit;
    QLineEdit* edtBisDatum;
    QLineEdit* edtBisZeit;
    QPushButton* btnOK;
    QPushButton* btnAbbruch;

    void OKClick();

private:
    void updateTimeFields();
};

} // namespace infemora
