#include "textview/eintragsfilter_dialog.h"

#include "host/codec1252.h"
#include "shell/dialog_buttons.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace infemora {

TfrmEintragsFilter::TfrmEintragsFilter(QWidget* parent) : QDialog(parent) {
    setObjectName("frmEintragsFilter");
    setWindowTitle(QStringLiteral("Einträge filtern"));
    auto* label = new QLabel(QStringLiteral("Text"), this);
    edtText = new QLineEdit(this);
    edtText->setObjectName("edtText");
    edtText->setMinimumWidth(280);
    label->setBuddy(edtText);
    rbnMit = new QRadioButton(QStringLiteral("nur Einträge mit diesem Text"), this);
    rbnMit->setObjectName("rbnMit");
    rbnOhne = new QRadioButton(QStringLiteral("nur Einträge ohne diesen Text"), this);
    rbnOhne->setObjectName("rbnOhne");
    rbnMit->setChecked(true);
    chkErweitern = new QCheckBox(QStringLiteral("den bestehenden Filter weiter einschränken"), this);
    chkErweitern->setObjectName("chkErweitern");
    QBoxLayout* buttons = OkAbbruchZeile(this, btnOK, btnAbbruch);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edtText);
    layout->addWidget(rbnMit);
    layout->addWidget(rbnOhne);
    layout->addWidget(chkErweitern);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, [this] { OKClick(); });
    setFilterInForce(false);
}

void TfrmEintragsFilter::setFilterInForce(bool inForce) {
    chkErweitern->setEnabled(inForce);
    if (!inForce)
        chkErweitern->setChecked(false);
}

EintragsBedingung TfrmEintragsFilter::Bedingung() const {
    return {Utf8ToWin1252(edtText->text().toStdString()), rbnMit->isChecked()};
}

bool TfrmEintragsFilter::Erweitern() const {
    return chkErweitern->isEnabled() && chkErweitern->isChecked();
}

void TfrmEintragsFilter::OKClick() {
    if (edtText->text().trimmed().isEmpty()) {
        edtText->setFocus();
        return;
    }
    accept();
}

void TfrmEintragsFilter::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edtText->setFocus();
    edtText->selectAll();
}

} // namespace infemora
