// The merge's parts of the main window: discovery, the merged view, the filter menu entries.
#include "host/codec1252.h"
#include "host/direxplorer.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/user_state.h"
#include "merge/list_after_merge.h"
#include "merge/merge_run.h"
#include "merge/selektion_dialog.h"
#include "shell/dialog_folders.h"
#include "shell/parallel_window.h"
#include "shell/progress_window.h"
#include "textview/log_text_view.h"

#include <QAction>
#include <QFileDialog>
#include <QListWidget>
#include <QTabWidget>

namespace infemora {

namespace {

const char* const kKeineDateien = "Keine Dateien gefunden";

// The list shows upper-cased paths; the real name, under which the file is opened, renamed and
// deleted, travels with the item.
QListWidgetItem* listItem(const std::string& realPath) {
    auto* item = new QListWidgetItem(QString::fromStdString(realPath).toUpper());
    item->setData(Qt::UserRole, QString::fromStdString(realPath));
    return item;
}

std::string realPathOf(const QListWidgetItem* item) {
    QVariant real = item->data(Qt::UserRole);
    return (real.isValid() ? real.toString() : item->text()).toStdString();
}

} // namespace

void TfrmParallel::createReaders() {
    // The streams choose their buffers by the number of files (64 KiB to 1 MiB each, 16 MiB in
    // all): fixed small buffers would send every entry above them down the slow path.
    FInfoProtStream = std::make_unique<TBufferedFileStreams>();
}

void TfrmParallel::releaseReaders() {
    FInfoProtStream.reset();
}

void TfrmParallel::OnFileFound(const std::string& name, const std::string& dir) {
    try {
        lbInfodateien->addItem(listItem(ConcatPathNames(dir, name)));
    } catch (...) {
        RegisterCurrentException("TfrmParallel.OnFileFound");
    }
}

void TfrmParallel::AlleDateien1Click(QObject* sender) {
    if (sender)
        SetStatus(true);
    try {
        lbInfodateien->clear();
        memInfoWork->clear();
        FAlleDateien = true;
        // The search itself runs inside the merge, once no other run changes the folder: a list
        // made before could name logs another run has folded meanwhile.
        DateienSortieren(false);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.AlleDateien1Click");
    }
    // Also after a failure: a window left disabled could not even be closed.
    if (sender)
        SetStatus(false);
}

void TfrmParallel::Dateienoeffnen1Click(QObject*) {
    try {
        QStringList chosen;
        if (pickInfoFiles) {
            chosen = pickInfoFiles();
        } else {
            QFileDialog dialog(this);
            dialog.setFileMode(QFileDialog::ExistingFiles);
            dialog.setFilter(QDir::AllDirs | QDir::Files |
                             QDir::NoDotAndDotDot); // masks without regard to case
            dialog.setNameFilters(
                {QStringLiteral("Textdateien (inf*.txt)"), QStringLiteral("Alle Dateien (inf*.*)")});
            dialog.selectNameFilter(QStringLiteral("Alle Dateien (inf*.*)"));
            dialog.setDirectory(DialogOrdner(UserState::Instance(), kOrdnerInfoprotokolle,
                                             QString::fromStdString(GetCurrentDir())));
            if (dialog.exec() == QDialog::Accepted) {
                chosen = dialog.selectedFiles();
                if (!chosen.isEmpty())
                    DialogOrdnerMerken(UserState::Instance(), kOrdnerInfoprotokolle, chosen.first());
            }
        }
        if (chosen.isEmpty())
            return;
        if (FAlleDateien) {
            FAlleDateien = false;
            lbInfodateien->clear();
        }
        for (auto it = chosen.crbegin(); it != chosen.crend(); ++it)
            lbInfodateien->addItem(listItem(it->toStdString()));
        DateienSortieren(false);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Dateienoeffnen1Click");
    }
}

void TfrmParallel::DateienSortieren(bool AFilter) {
    GuiProgress progress(prgDialog);
    try {
        MergeRunInput input;
        if (FAlleDateien)
            input.discoverIn = std::string(); // the log folder, the current directory
        else
            for (int i = 0; i < lbInfodateien->count(); ++i)
                input.files.push_back(realPathOf(lbInfodateien->item(i)));
        input.AFilter = AFilter;
        input.allowConsolidation = !FNichtKonsolidieren;
        input.FSelVon = FSelVon;
        input.FSelBis = FSelBis;
        memInfoWork->clear();
        MergeRunResult result = infemora::DateienSortieren(input, progress, *FInfoProtStream);
        for (const auto& u : result.skipped)
            Info().RegisterWarning("TfrmParallel.AlleDateien1Click", u);
        const std::vector<std::string> liste = DateilisteNachLauf(input.files, result);
        if (FAlleDateien && result.success) {
            // The search ran inside the merge: the list is what it found, as it stands now.
            lbInfodateien->clear();
            for (const auto& f : liste)
                OnFileFound(ExtractFileName(f), ExtractFilePath(f));
            if (liste.empty())
                lbInfodateien->addItem(QString::fromUtf8(kKeineDateien));
        } else if (liste != input.files) {
            lbInfodateien->clear();
            for (const auto& f : liste)
                lbInfodateien->addItem(listItem(f));
        }
        if (result.viewText)
            memInfoWork->loadDescriptor(result.viewText->get(), result.viewFile);
        if (memInfoWork->lineCount() > 1) {
            Selektion1->setEnabled(true);
            AlleDatenAnzeigen1->setEnabled(true);
            Speichern1->setEnabled(true);
            Drucken1->setEnabled(true);
        }
    } catch (...) {
        RegisterCurrentException("DateienSortieren");
    }
    progress.Close();
    pgcDateien->setCurrentWidget(tshInfoprotokolle);
    memInfoWork->setFocus();
    memInfoWork->moveCaretToStart();
    memInfoWork->moveCaretToEnd();
    AnsichtGeladen(AFilter);
}

void TfrmParallel::Selektion1Click() {
    try {
        bool confirmed =
            askSelektion ? askSelektion() : (frmSelektion && frmSelektion->exec() == QDialog::Accepted);
        if (!confirmed)
            return;
        SetStatus(true);
        FSelVon = frmSelektion->Von;
        FSelBis = frmSelektion->Bis;
        Selektion1->setChecked(true);
        DateienSortieren(true);
        SetStatus(false);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Selektion1Click");
    }
}

void TfrmParallel::AlleDatenAnzeigen1Click() {
    try {
        SetStatus(true);
        FSelVon = TDateTime();
        FSelBis = TDateTime();
        DateienSortieren(false);
        Selektion1->setChecked(false);
        SetStatus(false);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.AlleDatenAnzeigen1Click");
    }
}

} // namespace infemora
