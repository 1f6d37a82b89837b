// The transfer and menu logs, loaded the first time their tab is shown, and the single-file view.
#include "host/codec1252.h"
#include "host/directories.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/user_state.h"
#include "shell/dialog_folders.h"
#include "shell/parallel_window.h"
#include "shell/view_hint.h"
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
    const QString name = QString::fromLatin1(fileName);
    const std::string dir = GetDirWwsByName("INFOPROT", "", true);
    // The programs that write the logs do not agree on the letter case of their names.
    const std::string path = FindFileIgnoringCase(dir, fileName);
    if (path.empty()) {
        SetViewHint(view, name + QStringLiteral(" ist im Protokollverzeichnis ") +
                              QString::fromStdString(dir) + QStringLiteral(" nicht vorhanden."));
        return;
    }
    // A program that only reads the log (a "tail -f") is no reason to show nothing.
    if (CheckFileOpenForWriting(path)) {
        SetViewHint(view, name + QStringLiteral(" wird gerade von einem anderen Programm geschrieben und "
                                                "kann deshalb nicht angezeigt werden. Beim nächsten Wechsel "
                                                "auf diesen Reiter wird es wieder versucht."));
        return;
    }
    try {
        view->loadCopy(path);
    } catch (...) {
        SetViewHint(view, name + QStringLiteral(" kann nicht gelesen werden; Einzelheiten stehen in der "
                                                "Fehlermeldung."));
        throw;
    }
    SetViewHint(view, view->lineCount() == 0 ? name + QStringLiteral(" ist leer.") : QString());
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
            dialog.setDirectory(DialogOrdner(UserState::Instance(), kOrdnerEinzeldatei,
                                             QString::fromStdString(GetCurrentDir())));
            if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
                chosen = dialog.selectedFiles().first();
                DialogOrdnerMerken(UserState::Instance(), kOrdnerEinzeldatei, chosen);
            }
        }
        if (chosen.isEmpty())
            return;
        memAnsicht->clear();
        lblAnsichtDateiName->clear();
        std::string path = chosen.toStdString();
        if (CheckFileOpenForWriting(path)) {
            SetViewHint(memAnsicht, QStringLiteral("Die Datei ") + chosen +
                                        QStringLiteral(" wird gerade von einem anderen Programm geschrieben "
                                                       "und kann deshalb nicht angezeigt werden."));
            return;
        }
        // The label shows the path upper-cased; the file itself is opened under its real name,
        // as this platform's names are case-sensitive.
        lblAnsichtDateiName->setText(chosen.toUpper());
        memAnsicht->loadCopy(path, true);
        SetViewHint(memAnsicht,
                    memAnsicht->lineCount() == 0 ? QStringLiteral("Die Datei ist leer.") : QString());
        StatusAktualisieren();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.spbOpenFileClick");
    }
}

} // namespace infemora
