// Merge and shorten, and its settings dialog.
#include "archive/kuerzen_dialog.h"
#include "archive/kuerzen_run.h"
#include "host/directories.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/discovery.h"
#include "shell/parallel_window.h"
#include "shell/progress_window.h"
#include "textview/log_text_view.h"

#include <QLineEdit>
#include <QListWidget>

namespace infemora {

namespace {

// The list shows upper-cased paths; the real name travels with the item.
std::string realPathOf(const QListWidgetItem* item) {
    QVariant real = item->data(Qt::UserRole);
    return (real.isValid() ? real.toString() : item->text()).toStdString();
}

// A log view holds its file's text only after its tab was shown; one line or none is not a
// loaded log (the tab reads such a view again). A view of another spelling of the log's name
// (the tab finds it whatever its letter case) is not the file the run replaces.
std::optional<Lines> geladeneZeilen(const LogTextView* view, std::string_view name) {
    if (view->lineCount() < 2 || ExtractFileName(view->document().path()) != name)
        return std::nullopt;
    Lines lines;
    lines.reserve(static_cast<std::size_t>(view->lineCount()));
    for (std::int64_t i = 0; i < view->lineCount(); ++i)
        lines.push_back(view->line(i));
    return lines;
}

} // namespace

void TfrmParallel::ZusammenfhrenundKrzen1Click(QObject* sender) {
    // From the menu it asks first and reports afterwards; the unattended run says nothing.
    if (sender && !KuerzenFragen())
        return;
    SetStatus(true);
    GuiProgress progress(prgDialog);
    bool ok = false;
    KuerzenErgebnis ergebnis;
    try {
        KuerzenEingabe in;
        in.stichtag = KuerzStichtag(FKuerzTage);
        PumpWindowMessages();
        in.logDir = GetDirWwsByName("INFOPROT", "", true);
        in.staTemp = GetDirWwsByName("STATEMP", "", true);
        // The logs as they are before the reload reads them: one that a program writes to
        // meanwhile is not deleted.
        in.infoStempelVorher = StempelVon(AlleInfoDateien(in.logDir));
        const std::size_t registriertVorher = Info().registered().size();
        AlleDateien1Click(nullptr);
        in.infoTextVollstaendig = Info().registered().size() == registriertVorher;
        in.infoText = &memInfoWork->document();
        for (int i = 0; i < lbInfodateien->count(); ++i)
            in.infoDateien.push_back(realPathOf(lbInfodateien->item(i)));
        in.transferAnsicht = geladeneZeilen(memTransfer, TransferLogName);
        in.menuAnsicht = geladeneZeilen(memMenu, MenuLogName);
        ergebnis = ZusammenfuehrenUndKuerzen(in, progress);
        ok = ergebnis.success;
    } catch (...) {
        RegisterCurrentException("CheckTransferDatum");
    }
    progress.Close();
    if (ok) {
        // The two views showed the logs as they were; the next visit of their tabs reads the
        // files left now, and a later run does not archive the old text a second time.
        memTransfer->clear();
        memMenu->clear();
        AlleDateien1Click(nullptr);
    }
    // Also after a failure: a window left disabled could not even be closed.
    SetStatus(false);
    if (sender && ok)
        KuerzenBerichten(ergebnis);
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
