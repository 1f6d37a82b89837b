#include "textview/suchen_dialog.h"

#include "host/user_state.h"
#include "shell/dialog_buttons.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace infemora {

namespace {

const char* const kSection = "Suchen";
const char* const kKey = "Text";

} // namespace

TfrmSuchen::TfrmSuchen(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSuchen");
    setWindowTitle(QStringLiteral("Suchen ..."));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    auto* label = new QLabel(QStringLiteral("Suchen nach"), this);
    cbxSuchen = new QComboBox(this);
    cbxSuchen->setObjectName("cbxSuchen");
    cbxSuchen->setEditable(true);
    cbxSuchen->setInsertPolicy(QComboBox::NoInsert);
    cbxSuchen->setMaxCount(kGemerkteTexte);
    cbxSuchen->setMinimumWidth(260);
    edtSuchen = cbxSuchen->lineEdit();
    edtSuchen->setObjectName("edtSuchen");
    label->setBuddy(cbxSuchen);
    QBoxLayout* buttons = OkAbbruchZeile(this, btnOK, btnAbbruch);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(cbxSuchen);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        remember();
        accept(); // no checks
    });
}

void TfrmSuchen::remember() {
    const QString text = edtSuchen->text().trimmed();
    if (text.isEmpty())
        return;
    UserState& state = UserState::Instance();
    state.Remember(kSection, kKey, text.toStdString(), kGemerkteTexte);
    state.Save();
}

void TfrmSuchen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The list as the state file has it now; the field keeps what was typed last.
    const QString typed = edtSuchen->text();
    cbxSuchen->clear();
    for (const std::string& text : UserState::Instance().List(kSection, kKey))
        cbxSuchen->addItem(QString::fromStdString(text));
    edtSuchen->setText(typed);
    edtSuchen->selectAll();
    edtSuchen->setFocus();
}

} // namespace infemora
