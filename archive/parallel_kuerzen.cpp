// Merge and shorten, and its settings dialog.
#include "archive/kuerzen_dialog.h"
#include "host/messages.h"
#include "shell/parallel_window.h"

#include <QLineEdit>

namespace infemora {

void TfrmParallel::ZusammenfhrenundKrzen1Click(QObject*) {
    Info().RegisterMessage("TfrmParallel.ZusammenfhrenundKrzen1Click",
                           "Zusammenführen und Kürzen ist in dieser Version noch nicht enthalten.");
}

void TfrmParallel::Autofilter1Click() {
    try {
        frmKuerzen->edtKuerzen->setText(QString::number(FKuerzTage));
        if (frmKuerzen->exec() == QDialog::Accepted)
            FKuerzTage = KuerzTageAusText(frmKuerzen->edtKuerzen->text());
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Autofilter1Click");
    }
}

} // namespace infemora
