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

namespace {

struct IniProbe : TQVRMemIniFile {
    static bool direktLesbar(const std::string& text) {
        IniProbe p;
        return p.parseSimple(text);
    }
    static IniProbe read(const std::string& text, bool nurInih,
                         TIniAbschnitte abschnitte = TIniAbschnitte::Zusammenfassen) {
        IniProbe p;
        p.abschnitte(abschnitte);
        if (nurInih)
            p.parseWithInih(text);
        else
            p.parse(text);
        return p;
    }
    // What a reader of the sections one by one sees: each section's keys' values.
    std::string dumpEinzeln() const {
        std::string out;
        for (std::size_t i = 0; i < SectionCount(); ++i) {
            out += "[" + std::to_string(i) + "]\n";
            for (const char* k : {"a", "B", "Kennung", "Satz", "WRDON", "x"})
                out += std::string(k) + "=" + ReadStringAt(i, k, "<fehlt>") + "\n";
        }
        return out;
    }
    // Everything a reader can see: sections, key order and the value found for each key.
    std::string dump() const {
        std::string out = "E" + std::to_string(parseError()) + (SectionExists("") ? "|leer" : "") + "\n";
        std::vector<std::string> secs = ReadSections();
        secs.insert(secs.begin(), "");
        for (const std::string& s : secs) {
            out += "[" + s + "]\n";
            for (const std::string& k : ReadSection(s))
                out += k + "=" + ReadString(s, k, "<fehlt>") + "\n";
        }
        return out;
    }
};

} // namespace

TEST(IniFile, OnlyAsciiLettersMatchWithoutRegardToCase) {
    // '@' and '`', '[' and '{', Ä and ä (Windows-1252) differ by the case bit but are no pair
    // of ASCII letters; the direct reader and inih's path must both keep them apart.
    const std::string text = "[Satz@]\r\na=1\r\n[Satz`]\r\na=2\r\n[\xC4]\r\na=3\r\n[\xE4]\r\na=4\r\n"
                             "[sATZ@]\r\nA=5\r\nk{=6\r\n";
    for (const bool nurInih : {false, true}) {
        const IniProbe ini = IniProbe::read(text, nurInih);
        EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Satz@", "Satz`", "\xC4", "\xE4"}));
        EXPECT_EQ(ini.ReadString("SATZ@", "A", "-"), "1");
        EXPECT_EQ(ini.ReadString("satz`", "a", "-"), "2");
        EXPECT_EQ(ini.ReadString("\xE4", "a", "-"), "4");
        EXPECT_EQ(ini.ReadString("Satz@", "K{", "-"), "6");
        EXPECT_EQ(ini.ReadString("Satz@", "k[", "-"), "-");
    }
    // Read section by section, the last "[sATZ@]" is a section of its own.
    std::vector<std::string_view> werte;
    ASSERT_TRUE(TQVRMemIniFile::ReadSectionValuesDirect(text, {"A", "K{"}, werte));
    EXPECT_EQ(werte, (std::vector<std::string_view>{"1", "", "2", "", "3", "", "4", "", "5", "6"}));
}

// The direct reader must see every text exactly as inih after the pre-pass does; texts are built
// from the characters that steer either reader.
TEST(IniFile, DirectReaderAgreesWithInihOnEveryText) {
    const std::vector<std::string> teile = {"[",
                                            "]",
                                            "=",
                                            ":",
                                            ";",
                                            "#",
                                            " ",
                                            "\t",
                                            "\r",
                                            "\n",
                                            "\r\n",
                                            "a",
                                            "B",
                                            "Satz",
                                            "Kennung",
                                            "\xFC",
                                            "\x01",
                                            "\v",
                                            "\x0c",
                                            "\x0e",
                                            "\x1f",
                                            "\xEF\xBB\xBF",
                                            std::string(60, 'x'),
                                            std::string(230, 'y'),
                                            "[Satz1]\r\n",
                                            "WRDON=RW\r\n"};
    std::uint32_t zufall = 12345;
    auto naechste = [&zufall] {
        zufall = zufall * 1103515245u + 12345u;
        return zufall >> 8;
    };
    int direkt = 0;
    for (int fall = 0; fall < 20000; ++fall) {
        std::string text;
        const unsigned n = naechste() % 24;
        for (unsigned i = 0; i < n; ++i)
            text += teile[naechste() % teile.size()];
        const std::string schnell = IniProbe::read(text, false).dump();
        const std::string inih = IniProbe::read(text, true).dump();
        ASSERT_EQ(schnell, inih) << "text: " << ::testing::PrintToString(text);
        direkt += IniProbe::direktLesbar(text);
        // The one-pass reading of chosen keys must give what inih gives section by section.
        const std::vector<std::string_view> schluessel = {"a", "kennung", "Satz"};
        if (std::vector<std::string_view> werte;
            TQVRMemIniFile::ReadSectionValuesDirect(text, schluessel, werte)) {
            const IniProbe voll = IniProbe::read(text, true, TIniAbschnitte::Einzeln);
            std::vector<std::string_view> erwartet;
            std::vector<std::string> texte;
            for (std::size_t i = 0; i < voll.SectionCount(); ++i)
                for (const std::string_view k : schluessel)
                    texte.push_back(voll.ReadStringAt(i, std::string(k), ""));
            erwartet.assign(texte.begin(), texte.end());
            ASSERT_EQ(werte, erwartet) << "text: " << ::testing::PrintToString(text);
        } else {
            ASSERT_FALSE(IniProbe::direktLesbar(text));
        }
        // Section by section, both readers agree too.
        ASSERT_EQ(IniProbe::read(text, false, TIniAbschnitte::Einzeln).dumpEinzeln(),
                  IniProbe::read(text, true, TIniAbschnitte::Einzeln).dumpEinzeln())
            << "text: " << ::testing::PrintToString(text);
    }
    EXPECT_GT(direkt, 1000); // the cases must reach the direct reader, not only inih
    const std::string blob = "[Satz1]\r\nKennung=A1\r\nWRDON=RW\r\nBeschreibung=Preis; 3 St\xFC"
                             "ck\r\n[satz1]\r\n  Kennung : B \r\n; Notiz\r\n\r\n[Leer]\r\n";
    EXPECT_TRUE(IniProbe::direktLesbar(blob));
    EXPECT_EQ(IniProbe::read(blob, false).dump(), IniProbe::read(blob, true).dump());
    EXPECT_EQ(IniProbe::read(blob, false).ReadString("SATZ1", "beschreibung", ""), "Preis; 3 St\xFC"
                                                                                   "ck");
}
