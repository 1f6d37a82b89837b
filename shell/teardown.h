#pragma once
// The main window's teardown: each step protected by itself, a failing step never stops the
// later ones, and the last step runs whatever happened before.
#include <functional>
#include <string>
#include <vector>

namespace infemora {

struct TeardownStep {
    std::function<void()> run;
};

// Failures are registered under `context` with the flag false (no notice: the window is going).
void RunTeardown(const std::vector<TeardownStep>& steps, const std::function<void()>& finalStep,
                 const std::string& context);

} // namespace infemora
