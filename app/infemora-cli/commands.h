#pragma once
// Each subsystem adds its subcommand here. A command returns the exit code: 0 ok, 1 failure;
// usage errors are CLI11's (exit 2).
#include "host/progress.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace infemora {
struct EintragsFilter;
}

namespace infemora::cli {

// The action runs after parsing; it returns the process exit code.
using Action = std::function<int()>;

void AddMergeCommand(CLI::App& app, Action& action);
void AddShortenCommand(CLI::App& app, Action& action);
void AddEvaluateCommand(CLI::App& app, Action& action);
void AddBookingsCommand(CLI::App& app, Action& action);
void AddTerminateCommand(CLI::App& app, Action& action);
void AddPasswortCommand(CLI::App& app, Action& action);
void AddTimelineCommand(CLI::App& app, Action& action);

// --grep TEXT and --grep-not TEXT, each repeatable, into the entry filter of the view.
void AddGrepOptions(CLI::App* cmd, EintragsFilter& filter);

// Long work on the command line: quiet, but what it waits for (another run in the same folder)
// is said on stderr, once.
class HinweiseAufStderr : public IProgress {
public:
    void Note(const std::string& textUtf8) override;

private:
    std::string last_;
};

// The run failed when anything was registered with the message service during it.
int ExitCodeAfterRun(bool ok);

} // namespace infemora::cli
