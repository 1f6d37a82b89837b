#include "archive/kuerzen_dialog.h"

#include "host/codec1252.h"
#include "host/datetime.h"

#include "shell/dialog_buttons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <climits>

namespace infemora {

int KuerzTageAusText(const QString& text) {
    long long v = 0;
    if (!TryStrToInt(Utf8ToWin1252(text.toStdString()), v) || v < INT_MIN || v > INT_MAX)
        return 0;
    return static_cast<int>(v);
}

TfrmKuerzen::TfrmKuerzen(QWidget* parent) : QDialog(parent) {
    setObjectName("frmKuerzen");
    setWindowTitle(QStringLiteral("Einstellungen zum Kürzen"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    auto* label = new QLabel(QStringLiteral("Kürzen nach wieviel Tagen?"), this);
    edtKuerzen = new QLineEdit(this);
    edtKuerzen->setObjectName("edtKuerzen");
    edtKuerzen->setMaximumWidth(60);
    label->setBuddy(edtKuerzen);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edtKuerzen);
    QBoxLayout* buttons = OkAbbruchZeile(this, btnOK, btnAbbruch);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, [this] { OKClick(); });
}

void TfrmKuerzen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edtKuerzen->setFocus();
}

void TfrmKuerzen::OKClick() {
    setResult(0);
    if (KuerzTageAusText(edtKuerzen->text()) < 1) {
        edtKuerzen->clear();
        edtKuerzen->setFocus();
        return;
    }
    accept();
}

} // namespace infemora
