#include "support/window_fixture.h"

#include "host/fileutil.h"

namespace infemora::testenv {

Lines Entry(const std::string& yyyymmdd, const std::string& hhmmss, const std::string& text) {
    return {"00001<< Eintrag", "00001## " + yyyymmdd + " " + hhmmss + " KASSE1 TESTPRG", "     " + text};
}

std::unique_ptr<TfrmParallel> WindowSite::start(const std::vector<std::string>& args) {
    SetSettingsForTesting(settings());
    return std::make_unique<TfrmParallel>(args);
}

} // namespace infemora::testenv
