#include "shell/dialog_buttons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace infemora {

QBoxLayout* OkAbbruchZeile(QDialog* dialog, QPushButton*& ok, QPushButton*& abbruch) {
    ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    abbruch = new QPushButton(QStringLiteral("Abbruch"), dialog);
    abbruch->setObjectName("btnAbbruch");
    QObject::connect(abbruch, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(abbruch);
    return row;
}

} // namespace infemora
