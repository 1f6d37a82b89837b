// INI text as the blobs and the rule file hold it: no crash, and what was read is found again
// by the names it was read under.
#include "host/inifile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace infemora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TQVRMemIniFile ini = TQVRMemIniFile::FromText(text);
    for (const auto& section : ini.ReadSections()) {
        if (!ini.SectionExists(section))
            std::abort();
        for (const auto& key : ini.ReadSection(section))
            (void)ini.ReadString(section, key, "");
    }
    return 0;
}
