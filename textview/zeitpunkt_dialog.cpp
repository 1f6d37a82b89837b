#include "textview/zeitpunkt_dialog.h"

#include "host/codec1252.h"
#include "shell/dialog_buttons.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace infemora {

TfrmZeitpunkt::TfrmZeitpunkt(QWidget* parent) : QDialog(parent) {
    setObjectName("frmZeitpunkt");
    setWindowTitle(QStringLiteral("Gehe zu Zeitpunkt"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Datum (tt.mm.jj)"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Zeit (hh:mm:ss)"), this), 1, 0);
    edtDatum = new QLineEdit(this);
    edtDatum->setObjectName("edtDatum");
    edtZeit = new QLineEdit(this);
    edtZeit->setObjectName("edtZeit");
    for (QLineEdit* e : {edtDatum, edtZeit}) {
        e->setMaxLength(10);
        e->setMinimumWidth(100);
    }
    grid->addWidget(edtDatum, 0, 1);
    grid->addWidget(edtZeit, 1, 1);
    QBoxLayout* buttons = OkAbbruchZeile(this, btnOK, btnAbbruch);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] { OKClick(); });
}

void TfrmZeitpunkt::OKClick() {
    TDateTime datum, zeit;
    if (!TryStrToDate(Utf8ToWin1252(edtDatum->text().toStdString()), datum)) {
        edtDatum->clear();
        edtDatum->setFocus();
        return;
    }
    const std::string zeitText = Utf8ToWin1252(edtZeit->text().trimmed().toStdString());
    if (!zeitText.empty() && !TryStrToTime(zeitText, zeit)) {
        edtZeit->clear();
        edtZeit->setFocus();
        return;
    }
    Zeitpunkt = datum + (zeitText.empty() ? TDateTime() : zeit);
    accept();
}

} // namespace infemora
