#include "app/infemora-cli/commands.h"

#include "host/messages.h"

#include <iostream>

namespace infemora::cli {

void HinweiseAufStderr::Note(const std::string& textUtf8) {
    if (textUtf8.empty() || textUtf8 == last_)
        return;
    last_ = textUtf8;
    std::cerr << "infemora-cli: " << textUtf8 << std::endl;
}

RunMark MarkRun() {
    return {Info().failureCount(), Info().warningCount()};
}

bool FailedSince(const RunMark& mark) {
    return Info().failureCount() > mark.failures;
}

int ExitCodeAfterRun(bool ok) {
    return ok ? ExitOk : ExitFailed;
}

int FinishRun(const RunMark& mark, int commandCode) {
    int code = commandCode;
    if (code == ExitOk && FailedSince(mark))
        code = ExitFailed;
    const std::size_t warnungen = Info().warningCount() - mark.warnings;
    if (warnungen > 0) {
        std::string log;
        try {
            log = Info().errorLogPath();
        } catch (...) {
        }
        std::cerr << "infemora-cli: " << warnungen << (warnungen == 1 ? " Warnung" : " Warnungen")
                  << (code == ExitOk ? " (übersprungen nach den Regeln; das Ergebnis ist vollständig)" : "")
                  << (log.empty() ? std::string() : "; Einzelheiten in " + log) << std::endl;
    }
    return code;
}

int UsageError(const std::string& message, const std::string& command) {
    std::cerr << "infemora-cli: " << message << "\n"
              << "Hilfe: infemora-cli " << (command.empty() ? std::string() : command + " ") << "--help"
              << std::endl;
    return ExitUsage;
}

} // namespace infemora::cli
