#pragma once
// What a merge and shorten started from the menu asks before it runs and reports after it
// (UTF-8). The unattended run says nothing.
#include "archive/kuerzen_run.h"

#include <string>

namespace infemora {

// The folder, the days kept and the day from which entries stay.
std::string KuerzenFrageText(const std::string& logDir, int kuerzTage, TDateTime stichtag);
// Archive parts written, live logs replaced or deleted, what was left alone, the days kept.
std::string KuerzenBerichtText(const KuerzenErgebnis& ergebnis, int kuerzTage, TDateTime stichtag);

} // namespace infemora
