// The booking tab's parts of the main window. The tab's content is made when the tab is first
// shown; until then no booking file or grid exists.
#include "shell/parallel_window.h"

#include "booking/pkpf_tab_widget.h"
#include "host/messages.h"

#include <QTableView>
#include <QVBoxLayout>

namespace infemora {

namespace {

TPKPFTab* pkpfTab(QWidget* tsh) {
    return tsh ? tsh->findChild<TPKPFTab*>("pnlPkpfTab", Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace

void TfrmParallel::tshPkpfFileShow() {
    try {
        TPKPFTab* tab = pkpfTab(tshPkpfFile);
        if (!tab) {
            tab = new TPKPFTab(tshPkpfFile);
            connect(tab, &TPKPFTab::listeGeladen, this, [this] { StatusAktualisieren(); });
            auto* layout = tshPkpfFile->layout() ? tshPkpfFile->layout() : new QVBoxLayout(tshPkpfFile);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(tab);
        }
        tab->tshPkpfFileShow();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.tshPkpfFileShow");
    }
}

QWidget* TfrmParallel::bookingFocusWidget() const {
    TPKPFTab* tab = pkpfTab(tshPkpfFile);
    return tab ? tab->trvPKPFKopf : nullptr;
}

int TfrmParallel::bookingRowCount() const {
    TPKPFTab* tab = pkpfTab(tshPkpfFile);
    return tab ? tab->kopfModel->rowCount() : 0;
}

void TfrmParallel::bookingTeardownFocus() {
    if (TPKPFTab* tab = pkpfTab(tshPkpfFile))
        tab->teardownFocus();
}

void TfrmParallel::bookingTeardownClose() {
    if (TPKPFTab* tab = pkpfTab(tshPkpfFile))
        tab->teardownClose();
}

} // namespace infemora
