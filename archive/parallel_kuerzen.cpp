// Merge and shorten, and its settings dialog.
#include "archive/kuerzen_dialog.h"
#include "archive/kuerzen_run.h"
#include "host/dir_lock.h"
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

// While merge and shorten runs, its reloads only read: a consolidation in between would fold the
// logs into parts that the shorten then could not tell from the logs themselves.
class OhneKonsolidierung {
public:
    explicit OhneKonsolidierung(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~OhneKonsolidierung() { flag_ = before_; }
    OhneKonsolidierung(const OhneKonsolidierung&) = delete;
    OhneKonsolidierung& operator=(const OhneKonsolidierung&) = delete;

private:
    bool& flag_;
    bool before_;
};

} // namespace

void TfrmParallel::ZusammenfhrenundKrzen1Click(QObject* sender) {
    // From the menu it asks first and reports afterwards; the unattended run says nothing.
    if (sender && !KuerzenFragen())
        return;
    SetStatus(true);
    GuiProgress progress(prgDialog);
    bool ok = false;
    FKuerzenVollstaendig = false;
    KuerzenErgebnis ergebnis;
    try {
        // A view filtered by a text shows a selection of its log; what is archived is the whole.
        for (LogTextView* view : {memInfoWork, memTransfer, memMenu})
            view->clearEntryFilter();
        KuerzenEingabe in;
        in.stichtag = KuerzStichtag(FKuerzTage);
        PumpWindowMessages();
        in.logDir = GetDirWwsByName("INFOPROT", "", true);
        OhneKonsolidierung lesen(FNichtKonsolidieren);
        // The folder is this run's from the reload before to the reload after: another run in
        // between could fold what this one is about to split.
        progress.Show(std::string(KuerzenCaption));
        KuerzenErgebnis gesperrt;
        std::vector<DirLock> sperre = KuerzenSperre(in.logDir, progress, gesperrt);
        if (sperre.empty()) {
            Info().RegisterMessage("TfrmParallel.ZusammenfhrenundKrzen1Click", gesperrt.hinweise.back());
        } else {
            // The logs as they are before the reload reads them: one that a program writes to
            // meanwhile is not deleted.
            in.infoStempelVorher = StempelVon(AlleInfoDateien(in.logDir));
            const std::size_t registriertVorher = Info().registered().size();
            AlleDateien1Click(nullptr);
            in.infoTextVollstaendig = Info().registered().size() == registriertVorher;
            in.infoText = &memInfoWork->document();
            for (int i = 0; i < lbInfodateien->count(); ++i)
                in.infoDateien.push_back(realPathOf(lbInfodateien->item(i)));
            ergebnis = ZusammenfuehrenUndKuerzen(in, progress);
            ok = ergebnis.success;
            FKuerzenVollstaendig = ergebnis.vollstaendig();
            // From the menu the report names them; the unattended run leaves them in the error log.
            if (!sender)
                for (const auto& hinweis : ergebnis.hinweise)
                    Info().RegisterMessage("TfrmParallel.ZusammenfhrenundKrzen1Click", hinweis);
            progress.Close();
            if (ok) {
                // The next visit of the two log tabs reads the files left now.
                memTransfer->clear();
                memMenu->clear();
                AlleDateien1Click(nullptr);
            }
        }
    } catch (...) {
        RegisterCurrentException("CheckTransferDatum");
    }
    progress.Close();
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
