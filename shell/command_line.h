#pragma once
// What the main window does with its command line. Kept apart from the window so that every
// rule can be checked without one.
#include <string>
#include <vector>

namespace infemora {

// A switch begins with a dash, a slash or a backslash, and its rest equals the word without
// regard to case. The bare word is no switch.
bool IsSwitch(const std::string& arg, const std::string& word);
bool HasSwitch(const std::vector<std::string>& args, const std::string& word);

enum class StartMode {
    NoMora,   // start idle, nothing loaded
    AutoSend, // unattended evaluation and upload, then end
    Kuerzen,  // unattended merge and shorten, then end
    Default,  // all-files search and merge
    Unknown,  // one argument that is nothing of the above: idle, with a notice
};

struct StartDecision {
    StartMode mode = StartMode::Default;
    int kuerzTage = 10;   // only for Kuerzen
    std::string argument; // the one unknown argument
};

// The days of a "-A=" argument: the rest read as a decimal integer, 0 when it is no number;
// 0 gives 2, everything else (negatives too) is taken as it is.
int KuerzTageAusArgument(const std::string& arg);

// Rules in their order; the first that applies wins.
StartDecision FormCreate_Decide(const std::vector<std::string>& args);

} // namespace infemora
