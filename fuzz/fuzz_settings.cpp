// A settings file as a support person may leave it: any bytes, in any code page, with relative
// paths, a byte order mark, stray lines. Reading it must not fail, and every folder and file it
// names must come out as an absolute path in UTF-8, the form the file system is asked with.
#include "fuzz_support.h"
#include "host/codec1252.h"
#include "host/settings.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace infemora;

namespace {

void Pruefen(const std::string& pfad, bool leerErlaubt) {
    if (pfad.empty() ? !leerErlaubt : (pfad.front() != '/' || !IsValidUtf8(pfad)))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string datei = fuzz::Site::Get().root() + "/infemora.ini";
    {
        std::ofstream out(datei, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ::setenv("INFEMORA_CONFIG", datei.c_str(), 1);
    const Settings s = LoadSettings();
    // A regular file is read whatever it holds; lines that are no INI lines are only warnings.
    if (!s.sourceExists || !s.problems.empty())
        std::abort();
    Pruefen(s.infoprot, false);
    Pruefen(s.statemp, false);
    Pruefen(s.einstellungen, false);
    Pruefen(s.buchungsDatei, false);
    Pruefen(s.caFile, true);
    return 0;
}
