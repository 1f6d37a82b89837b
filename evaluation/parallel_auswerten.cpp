// The evaluation behind "Protokolle auswerten" and the unattended AUTOSEND run.
#include "evaluation/autosend.h"
#include "evaluation/infoprot_parser_window.h"
#include "host/messages.h"
#include "host/program.h"
#include "shell/parallel_window.h"
#include "shell/password_dialog.h"

#include <QCoreApplication>
#include <memory>

namespace infemora {

void TfrmParallel::AuswertenClick() {
    try {
        const bool allowed = askPassword ? askPassword() : Execute_Passwort(this);
        if (!allowed)
            return;
        // One window per use; it goes with everything it collected when it is closed.
        auto frm = std::make_unique<TVKT_InfoProtParser>(this);
        frm->exec();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.AuswertenClick");
    }
}

// AutoSend: the program ends afterwards, whatever happened here.
void TfrmParallel::RunAutoSend(const std::vector<std::string>& args) {
    try {
        Programm().autoRun = true;
        std::vector<std::string> argumente;
        // Argument 0, the program path, is read like every other argument.
        argumente.push_back(QCoreApplication::instance()
                                ? QCoreApplication::applicationFilePath().toStdString()
                                : std::string());
        argumente.insert(argumente.end(), args.begin(), args.end());
        const AutoSendParameter p = AutoSendParameterLesen(argumente);
        if (!p.Ausfuehren())
            return;
        auto frm = std::make_unique<TVKT_InfoProtParser>(nullptr);
        frm->AutoExecute(p.VonTage, p.BisTage, p.Kunde, p.Empf);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.AutoSend");
    }
}

} // namespace infemora
