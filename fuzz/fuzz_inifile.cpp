// INI text as the blobs and the rule file hold it: no crash, what was read is found again by the
// names it was read under, and reading section by section agrees with the quick reader.
#include "host/inifile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace infemora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TQVRMemIniFile ini = TQVRMemIniFile::FromText(text);
    const std::vector<std::string> sections = ini.ReadSections();
    for (const auto& section : sections) {
        if (!ini.SectionExists(section))
            std::abort();
        for (const auto& key : ini.ReadSection(section))
            (void)ini.ReadString(section, key, "");
    }
    // Read section by section (a booking's record text), no section is merged away: there are
    // at least as many, and the quick one-pass reading gives what the full reading gives.
    const TQVRMemIniFile einzeln = TQVRMemIniFile::FromText(text, TIniAbschnitte::Einzeln);
    if (einzeln.SectionCount() < sections.size())
        std::abort();
    const std::vector<std::string_view> keys = {"Kennung", "WRDON", "Beschreibung"};
    if (std::vector<std::string_view> values; TQVRMemIniFile::ReadSectionValuesDirect(text, keys, values)) {
        if (values.size() != einzeln.SectionCount() * keys.size())
            std::abort();
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i] != einzeln.ReadStringAt(i / keys.size(), std::string(keys[i % keys.size()]), ""))
                std::abort();
    }
    return 0;
}
