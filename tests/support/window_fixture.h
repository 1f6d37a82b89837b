#pragma once
// Builds small log directories and starts the main window on them, offscreen.
#include "shell/parallel_window.h"
#include "support/test_env.h"

#include <QStringList>
#include <memory>
#include <string>
#include <vector>

class QListWidget;

namespace infemora {
class LogTextView;
}

namespace infemora::testenv {

// What a view and the file list show, line by line.
Lines ViewLines(const LogTextView* view);
QStringList ListTexts(const QListWidget* list);

// One entry: start line, time-stamp line, a text line.
Lines Entry(const std::string& yyyymmdd, const std::string& hhmmss, const std::string& text);

struct WindowSite : TempSite {
    std::unique_ptr<TfrmParallel> start(const std::vector<std::string>& args);
};

} // namespace infemora::testenv
