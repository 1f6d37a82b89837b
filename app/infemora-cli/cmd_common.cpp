#include "app/infemora-cli/commands.h"

#include <iostream>

namespace infemora::cli {

void HinweiseAufStderr::Note(const std::string& textUtf8) {
    if (textUtf8.empty() || textUtf8 == last_)
        return;
    last_ = textUtf8;
    std::cerr << "infemora-cli: " << textUtf8 << std::endl;
}

int ExitCodeAfterRun(bool ok) {
    return ok ? 0 : 1;
}

} // namespace infemora::cli
