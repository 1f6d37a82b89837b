// The question before a merge and shorten from the menu and the report after it.
#include "archive/kuerzen_bericht.h"
#include "host/directories.h"
#include "shell/parallel_window.h"

#include <QMessageBox>

namespace infemora {

bool TfrmParallel::KuerzenFragen() {
    const QString text = QString::fromStdString(
        KuerzenFrageText(GetDirWwsByName("INFOPROT", "", true), FKuerzTage, KuerzStichtag(FKuerzTage)));
    if (askKuerzen)
        return askKuerzen(text);
    QMessageBox frage(QMessageBox::Question, QStringLiteral("Zusammenführen und Kürzen"), text,
                      QMessageBox::Yes | QMessageBox::No, this);
    frage.setObjectName("msgKuerzenFrage");
    frage.setDefaultButton(QMessageBox::Yes);
    return frage.exec() == QMessageBox::Yes;
}

void TfrmParallel::KuerzenBerichten(const KuerzenErgebnis& ergebnis) {
    auto* bericht = new QMessageBox(
        QMessageBox::Information, QStringLiteral("Zusammenführen und Kürzen"),
        QString::fromStdString(KuerzenBerichtText(ergebnis, FKuerzTage, KuerzStichtag(FKuerzTage))),
        QMessageBox::Ok, this);
    bericht->setObjectName("msgKuerzenBericht");
    bericht->setAttribute(Qt::WA_DeleteOnClose);
    // Modal to the window without a loop of its own: the work is done, nothing waits for it.
    bericht->open();
}

} // namespace infemora
