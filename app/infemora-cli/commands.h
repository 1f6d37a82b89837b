#pragma once
// Each subsystem adds its subcommand here. A command's action returns its exit code by the one
// rule of cmd_common.cpp; usage errors found while parsing are CLI11's (exit 2).
#include "host/progress.h"

#include <CLI/CLI.hpp>

#include <cstddef>
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

// The exit codes of every command:
//   0  the result is complete by its rules; entries the rules skip are warnings (stderr, error
//      log) and counted at the end
//   1  the result is missing or incomplete: the command says so, or a failure was registered
//      with the message service during the run
//   2  wrong usage, found before anything was done
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

// What the message service held when a command's work began.
struct RunMark {
    std::size_t failures = 0;
    std::size_t warnings = 0;
};
RunMark MarkRun();
// Failures registered since the mark.
bool FailedSince(const RunMark& mark);
// The command's own verdict: 0 when it holds its result complete, else 1.
int ExitCodeAfterRun(bool ok);
// Applies the rule to the command's code: a failure registered since the mark turns 0 into 1.
// Prints the count of warnings since the mark to stderr. Returns the process's exit code.
int FinishRun(const RunMark& mark, int commandCode);

// A usage error found by a command's own checks: printed with the hint to --help; returns 2.
int UsageError(const std::string& message, const std::string& command);

} // namespace infemora::cli
