// The evaluation behind "Protokolle auswerten" and the unattended AUTOSEND run.
#include "host/messages.h"
#include "shell/parallel_window.h"
#include "shell/password_dialog.h"

namespace infemora {

void TfrmParallel::AuswertenClick() {
    try {
        bool allowed = askPassword ? askPassword() : Execute_Passwort(this);
        if (!allowed)
            return;
        Info().RegisterMessage("TfrmParallel.AuswertenClick",
                               "Das Auswertungsfenster ist in dieser Version noch nicht enthalten; "
                               "bitte \"infemora-cli evaluate\" verwenden.");
    } catch (...) {
        RegisterCurrentException("TfrmParallel.AuswertenClick");
    }
}

void TfrmParallel::RunAutoSend(const std::vector<std::string>&) {
    Info().RegisterMessage("TfrmParallel.FormCreate_DoJob",
                           "Die automatische Auswertung ist in dieser Version noch nicht enthalten.");
}

} // namespace infemora
