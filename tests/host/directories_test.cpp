#include "host/directories.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace infemora;

TEST(Directories, NamesAndFolderCodesGiveTheConfiguredFolders) {
    testenv::TempSite site;
    EXPECT_EQ(GetDirWwsByName("INFOPROT", ""), site.logDir());
    EXPECT_EQ(GetDirWwsByName("infoprot", "TRANSFER.LOG"), site.logDir() + "/TRANSFER.LOG");
    EXPECT_EQ(GetDirWwsByName("STATEMP", "\\"), site.statemp() + "/");
    EXPECT_EQ(GetDirWwsByName(TQVRFolder::InfoProt, ""), site.logDir());
    EXPECT_EQ(GetDirWwsByName(TQVRFolder::StaTemp, "TEMOSORT.TXT"), site.statemp() + "/TEMOSORT.TXT");
    EXPECT_EQ(GetDirWwsByName(TQVRFolder::Einstellungen, "infopars.ini"),
              site.settingsDir() + "/infopars.ini");
    EXPECT_THROW(GetDirWwsByName("NIRGENDS", ""), EFileError);
}

TEST(Directories, MissingFolderIsCreatedOnDemandOnlyWithTheFlag) {
    testenv::TempSite site;
    Settings s = site.settings();
    s.statemp = site.path("neu/statemp");
    SetSettingsForTesting(s);
    GetDirWwsByName("STATEMP", "x", false);
    EXPECT_FALSE(DirectoryExists(s.statemp));
    GetDirWwsByName("STATEMP", "x", true);
    EXPECT_TRUE(DirectoryExists(s.statemp));
}

TEST(Directories, FolderThatCannotBeMadeIsAnError) {
    testenv::TempSite site;
    site.writeFile(site.path("datei"), "x");
    Settings s = site.settings();
    s.statemp = site.path("datei/unter");
    SetSettingsForTesting(s);
    EXPECT_THROW(GetDirWwsByName("STATEMP", ""), EFileError);
}
