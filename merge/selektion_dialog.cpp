#include "merge/selektion_dialog.h"

#include "host/codec1252.h"
#include "merge/selektion_rules.h"
#include "shell/dialog_buttons.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace infemora {

namespace {

QLineEdit* field(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(8);
    e->setMinimumWidth(90);
    return e;
}

std::string bytesOf(const QLineEdit* e) {
    return Utf8ToWin1252(e->text().toStdString());
}

} // namespace

TfrmSelektion::TfrmSelektion(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSelektion");
    setWindowTitle(QStringLiteral("Filter Infoprotokolle"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("von"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("bis"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Datum (tt.mm.jj)"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Zeit (hh:mm:ss)"), this), 2, 0);
    edtVonDatum = field("edtVonDatum", this);
    edtBisDatum = field("edtBisDatum", this);
    edtVonZeit = field("edtVonZeit", this);
    edtBisZeit = field("edtBisZeit", this);
    grid->addWidget(edtVonDatum, 1, 1);
    grid->addWidget(edtBisDatum, 1, 2);
    grid->addWidget(edtVonZeit, 2, 1);
    grid->addWidget(edtBisZeit, 2, 2);

    QBoxLayout* buttons = OkAbbruchZeile(this, btnOK, btnAbbruch);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, [this] { OKClick(); });
    connect(edtVonDatum, &QLineEdit::textChanged, this, [this] { updateTimeFields(); });
    connect(edtBisDatum, &QLineEdit::textChanged, this, [this] { updateTimeFields(); });
    updateTimeFields();
}

void TfrmSelektion::updateTimeFields() {
    auto apply = [this](QLineEdit* date, QLineEdit* time) {
        bool on = !date->text().trimmed().isEmpty();
        time->setEnabled(on);
        QPalette pal = time->palette();
        pal.setColor(QPalette::Base, palette().color(on ? QPalette::Base : QPalette::Button));
        time->setPalette(pal);
    };
    apply(edtVonDatum, edtVonZeit);
    apply(edtBisDatum, edtBisZeit);
}

void TfrmSelektion::OKClick() {
    SelektionErgebnis r = SelektionPruefen(
        {bytesOf(edtVonDatum), bytesOf(edtVonZeit), bytesOf(edtBisDatum), bytesOf(edtBisZeit)});
    if (r.ok) {
        Von = r.von;
        Bis = r.bis;
        accept();
        return;
    }
    QLineEdit* target = r.leeren == SelektionFeld::VonDatum   ? edtVonDatum
                        : r.leeren == SelektionFeld::VonZeit  ? edtVonZeit
                        : r.leeren == SelektionFeld::BisDatum ? edtBisDatum
                                                              : edtBisZeit;
    target->clear();
    target->setFocus();
}

} // namespace infemora
