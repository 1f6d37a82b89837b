#pragma once
// TfrmEintragsFilter: asks for the text of the entry filter, whether the entries with it or
// those without it are shown, and whether it narrows a filter already in force. Kept between
// uses, so it keeps what was typed.
#ifndef Q_MOC_RUN
#include "textview/entry_filter.h"
#endif

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace infemora {

class TfrmEintragsFilter : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEintragsFilter(QWidget* parent = nullptr);

    // Before showing: whether a filter is in force (only then can it be narrowed).
    void setFilterInForce(bool inForce);
    // After OK: the condition typed, and whether it is added to the filter in force.
    EintragsBedingung Bedingung() const;
    bool Erweitern() const;

    QLineEdit* edtText;
    QRadioButton* rbnMit;
    QRadioButton* rbnOhne;
    QCheckBox* chkErweitern;
    QPushButton* btnOK;
    QPushButton* btnAbbruch;

    // A text of blanks only leaves the dialog open with the field focused.
    void OKClick();

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace infemora
