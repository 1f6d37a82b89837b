#include "textview/suchen_dialog.h"

#include "shell/dialog_buttons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace infemora {

TfrmSuchen::TfrmSuchen(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSuchen");
    setWindowTitle(QStringLiteral("Suchen ..."));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    auto* label = new QLabel(QStringLiteral("Suchen nach"), this);
    edtSuchen = new QLineEdit(this);
    edtSuchen->setObjectName("edtSuchen");
    edtSuchen->setMinimumWidth(260);
    label->setBuddy(edtSuchen);
    QBoxLayout* buttons = OkAbbruchZeile(this, btnOK, btnAbbruch);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edtSuchen);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept); // no checks
}

void TfrmSuchen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edtSuchen->setFocus();
}

} // namespace infemora
