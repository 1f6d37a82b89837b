// infemora: the desktop program. Creates the main window and its dialogs and runs the event loop.
#include "archive/kuerzen_dialog.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/program.h"
#include "merge/selektion_dialog.h"
#include "shell/command_line.h"
#include "shell/german_ui.h"
#include "shell/notice_display.h"
#include "shell/parallel_window.h"
#include "textview/suchen_dialog.h"

#include <QApplication>
#include <iostream>
#include <memory>

using namespace infemora;

int main(int argc, char** argv) {
    RaiseOpenFileLimit();
    QApplication app(argc, argv);
    std::unique_ptr<TfrmParallel> frmParallel;
    std::unique_ptr<TfrmSelektion> frmSelektion;
    std::unique_ptr<TfrmSuchen> frmSuchen;
    std::unique_ptr<TfrmKuerzen> frmKuerzen;
    StartMode mode = StartMode::Default;
    try {
        Programm().Init("INFEMORA", 0, 0, true);
        // No display name: the platform would append it to every dialog's caption. The main
        // window's caption is the program's title.
        QApplication::setApplicationName(QStringLiteral("infemora"));
        if (!DeutscheOberflaeche(app))
            std::cerr << "infemora: Qts deutsche Texte (qtbase_de.qm) fehlen; Dialoge bleiben englisch. "
                         "Abhilfe: Paket qt6-translations-l10n installieren."
                      << std::endl;
        std::vector<std::string> args;
        const QStringList all = QCoreApplication::arguments();
        for (int i = 1; i < all.size(); ++i)
            args.push_back(all[i].toStdString());
        mode = FormCreate_Decide(args).mode;
        // Unattended runs never show a window, not even for a failure.
        if (mode != StartMode::AutoSend && mode != StartMode::Kuerzen)
            InstallGuiNotices(nullptr);
        frmParallel = std::make_unique<TfrmParallel>(args);
        frmSelektion = std::make_unique<TfrmSelektion>(frmParallel.get());
        frmSuchen = std::make_unique<TfrmSuchen>(frmParallel.get());
        frmKuerzen = std::make_unique<TfrmKuerzen>(frmParallel.get());
        frmParallel->frmSelektion = frmSelektion.get();
        frmParallel->frmSuchen = frmSuchen.get();
        frmParallel->frmKuerzen = frmKuerzen.get();
    } catch (...) {
        Programm().ShowException(std::current_exception(), false);
    }
    if (!frmParallel)
        return 1; // without its window nobody could end the program
    // An unattended run that ended before the loop says by its exit code whether it completed.
    int rc = frmParallel->exitCode();
    if (!frmParallel->terminateRequested()) {
        if (mode != StartMode::AutoSend && !frmParallel->isVisible())
            frmParallel->show();
        rc = QApplication::exec();
    }
    (void)frmSelektion.release(); // owned by the main window as Qt parent
    (void)frmSuchen.release();
    (void)frmKuerzen.release();
    frmParallel.reset();
    RemoveGuiNotices();
    return rc;
}
