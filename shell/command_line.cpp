#include "shell/command_line.h"

#include "host/codec1252.h"
#include "host/datetime.h"

#include <climits>

namespace infemora {

bool IsSwitch(const std::string& arg, const std::string& word) {
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/' && arg[0] != '\\'))
        return false;
    return UpperCase1252(arg.substr(1)) == UpperCase1252(word);
}

bool HasSwitch(const std::vector<std::string>& args, const std::string& word) {
    for (const auto& a : args)
        if (IsSwitch(a, word))
            return true;
    return false;
}

int KuerzTageAusArgument(const std::string& arg) {
    long long days = 0;
    if (arg.size() < 3 || !TryStrToInt(arg.substr(3), days) || days < INT_MIN || days > INT_MAX)
        days = 0;
    return days == 0 ? 2 : static_cast<int>(days);
}

StartDecision FormCreate_Decide(const std::vector<std::string>& args) {
    StartDecision d;
    if (HasSwitch(args, "NOMORA")) {
        d.mode = StartMode::NoMora;
    } else if (HasSwitch(args, "AUTOSEND")) {
        d.mode = StartMode::AutoSend;
    } else if (args.size() == 1 && UpperCase1252(args[0].substr(0, 3)) == "-A=") {
        d.mode = StartMode::Kuerzen;
        d.kuerzTage = KuerzTageAusArgument(args[0]);
    } else if (args.size() != 1) {
        d.mode = StartMode::Default;
    } else {
        d.mode = StartMode::Unknown;
        d.argument = args[0];
    }
    return d;
}

} // namespace infemora
