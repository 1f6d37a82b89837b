// Where "Speichern unter" must not write: names in the log directory that the all-files search
// would merge as one more log, and the live logs beside them.
#include "textview/document_save.h"

#include "support/test_env.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace infemora {
namespace {

TEST(Speicherziel, NamesTheLogSearchListsAreRefusedInTheLogDirectoryOnly) {
    testenv::TempSite site;
    std::filesystem::create_directories(site.path("dokumente"));
    std::filesystem::create_directory_symlink(site.logDir(), site.path("verweis"));
    struct Fall {
        const char* name;
        std::string ziel;
        bool abgelehnt;
    };
    const Fall faelle[] = {
        {"the extract name in the log directory", site.logFile("Infoprotokolle_Auszug.txt"), true},
        {"upper case", site.logFile("INFO.TXT"), true},
        {"no point, as the mask's .* allows", site.logFile("infodatei"), true},
        {"the transfer log", site.logFile("transfer.log"), true},
        {"the menu log", site.logFile("MENU.LOG"), true},
        {"another name in the log directory", site.logFile("Auszug.txt"), false},
        {"the same name elsewhere", site.path("dokumente/Infoprotokolle_Auszug.txt"), false},
        {"through a link to the log directory", site.path("verweis/info.txt"), true},
        {"through .. into the log directory", site.path("dokumente/../infoprot/info.txt"), true},
        {"a folder that does not exist", site.path("fehlt/info.txt"), false},
    };
    for (const auto& f : faelle) {
        const std::string grund = SpeicherzielAbgelehnt(f.ziel, site.logDir());
        EXPECT_EQ(!grund.empty(), f.abgelehnt) << f.name << ": " << grund;
    }
}

TEST(Speicherziel, TheReasonSaysWhy) {
    testenv::TempSite site;
    const std::string grund = SpeicherzielAbgelehnt(site.logFile("Infoprotokolle_Auszug.txt"), site.logDir());
    EXPECT_NE(grund.find("Infoprotokolle_Auszug.txt"), std::string::npos);
    EXPECT_NE(grund.find("doppelt"), std::string::npos);
    EXPECT_NE(grund.find("gel\u00f6scht"), std::string::npos);
}

} // namespace
} // namespace infemora
