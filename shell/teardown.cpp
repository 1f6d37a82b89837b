#include "shell/teardown.h"

#include "host/messages.h"

namespace infemora {

void RunTeardown(const std::vector<TeardownStep>& steps, const std::function<void()>& finalStep,
                 const std::string& context) {
    for (const auto& step : steps) {
        try {
            if (step.run)
                step.run();
        } catch (...) {
            RegisterCurrentException(context, false);
        }
    }
    try {
        if (finalStep)
            finalStep();
    } catch (...) {
        RegisterCurrentException(context, false);
    }
}

} // namespace infemora
