// The transfer and menu logs, loaded the first time their tab is shown, and the single-file view.
#include "host/codec1252.h"
#include "host/directories.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "shell/parallel_window.h"
#include "textview/log_text_view.h"

#include <QFileDialog>
#include <QLabel>
#include <QTabWidget>

namespace infemora {

void TfrmParallel::loadLogTab(LogTextView* view, const char* fileName) {
    // A log shown once is not read again; only an (almost) empty view is.
    if (view->lineCount() >= 2)
        return;
    view->clear();
    std::string path = GetDirWwsByName("INFOPROT", fileName, true);
    if (FileExists(path) && !CheckFileInUse(path, false))
        view->loadCopy(path);
}

void TfrmParallel::pgcDateienChange() {
    try {
        QWidget* tab = pgcDateien->currentWidget();
        if (tab == tshTransfer)
            loadLogTab(memTransfer, "TRANSFER.LOG");
        else if (tab == tshMenu)
            loadLogTab(memMenu, "MENU.LOG");
        else if (tab == tshPkpfFile)
            tshPkpfFileShow();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.pgcDateienChange");
    }
}

void TfrmParallel::spbOpenFileClick() {
    try {
        QString chosen;
        if (pickSingleFile) {
            chosen = pickSingleFile();
        } else {
            QFileDialog dialog(this);
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setNameFilters({QStringLiteral("Alle Dateien (*)")});
            if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
                chosen = dialog.selectedFiles().first();
        }
        if (chosen.isEmpty())
            return;
        memAnsicht->clear();
        lblAnsichtDateiName->clear();
        std::string path = chosen.toStdString();
        if (CheckFileInUse(path, false))
            return;
        // The label shows the path upper-cased; the file itself is opened under its real name,
        // as this platform's names are case-sensitive.
        lblAnsichtDateiName->setText(chosen.toUpper());
        memAnsicht->loadCopy(path, true);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.spbOpenFileClick");
    }
}

} // namespace infemora
