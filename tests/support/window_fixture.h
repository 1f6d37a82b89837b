#pragma once
// Builds small log directories and starts the main window on them, offscreen.
#include "shell/parallel_window.h"
#include "support/test_env.h"

#include <memory>
#include <string>
#include <vector>

namespace infemora::testenv {

// One entry: start line, time-stamp line, a text line.
Lines Entry(const std::string& yyyymmdd, const std::string& hhmmss, const std::string& text);

struct WindowSite : TempSite {
    std::unique_ptr<TfrmParallel> start(const std::vector<std::string>& args);
};

} // namespace infemora::testenv
