#include "host/errors.h"
#include "host/inifile.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace infemora;

TEST(IniFile, SectionsKeepFileOrderAndKeysIgnoreCase) {
    TQVRMemIniFile ini(Lines{"[Zweite]", "Kennung=7", "WRDON=RW", "[Erste]", "kennung = a b ", "[Dritte]",
                             "Beschreibung=Preis; 3 Stück"});
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Zweite", "Erste", "Dritte"}));
    EXPECT_EQ(ini.ReadString("zweite", "KENNUNG", "-"), "7");
    EXPECT_EQ(ini.ReadString("Erste", "Kennung", "-"), "a b");
    EXPECT_EQ(ini.ReadString("Erste", "WRDON", "leer"), "leer");
    EXPECT_EQ(ini.ReadString("Fehlt", "x", "d"), "d");
    EXPECT_EQ(ini.ReadSection("Zweite"), (std::vector<std::string>{"Kennung", "WRDON"}));
}

TEST(IniFile, SectionWithoutKeysIsStillListed) {
    TQVRMemIniFile ini(Lines{"[Leer]", "[Voll]", "a=1"});
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Leer", "Voll"}));
}

TEST(IniFile, TextWithoutSectionsHasNone) {
    EXPECT_TRUE(TQVRMemIniFile(Lines{"kein ini", "text"}).ReadSections().empty());
    EXPECT_TRUE(TQVRMemIniFile(Lines{}).ReadSections().empty());
}

TEST(IniFile, ReadFromFileWithUtf8Mark) {
    testenv::TempSite site;
    site.writeFile(site.path("r.ini"), "\xEF\xBB\xBF[Kasse]\r\nTEXT=Men\xC3\xBC\r\n");
    TQVRMemROIniFile ini(site.path("r.ini"));
    EXPECT_EQ(ini.ReadString("Kasse", "TEXT", ""), "Men\xFC");
    EXPECT_THROW(TQVRMemROIniFile(site.path("fehlt.ini")), EFileError);
}
