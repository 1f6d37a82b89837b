// Cutting error entries out of an info log: the header, the blocks, the file scan and the gate.
#include "eval_fixtures.h"

#include "evaluation/text_buffer.h"
#include "host/codec1252.h"
#include "host/datetime.h"
#include "host/errors.h"
#include "host/fileutil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace infemora;
using namespace infemora::evaltest;

namespace {

TDateTime Zeitpunkt(int y, int mo, int d, int h, int mi, int s) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0);
}

} // namespace

TEST(Kopfzeile, FieldsOfWellFormedAndOddHeaders) {
    struct Fall {
        const char* name;
        std::string zeile;
        std::string user, programm, code;
        TDateTime zeit;
    } faelle[] = {
        {"worked example", "## 20240311 142501 KASSE2 (Rec 17) TESTPRG Fehler-Meldung: STANDARD.993",
         "KASSE2 (Rec 17)", "TESTPRG", "STANDARD.993", Zeitpunkt(2024, 3, 11, 14, 25, 1)},
        {"without (Rec", "## 20240311 142501 KASSE2 TESTPRG Fehler-Meldung: STANDARD.993", "KASSE2",
         "TESTPRG", "STANDARD.993", Zeitpunkt(2024, 3, 11, 14, 25, 1)},
        {"prefix before the number signs", "14:25:0## 20240311 142501 KASSE2 TESTPRG NONE-Meldung: X.1",
         "KASSE2", "TESTPRG", "X.1", Zeitpunkt(2024, 3, 11, 14, 25, 1)},
        {"(Rec without closing parenthesis", "## 20240311 142501 KASSE2 (Rec17 TESTPRG Fehler-Meldung: A.1",
         "KASSE2", "(Rec17", "A.1", Zeitpunkt(2024, 3, 11, 14, 25, 1)},
        {"(rec in lower case is no record part",
         "## 20240311 142501 KASSE2 (rec 17) TESTPRG Fehler-Meldung: A.1", "KASSE2", "(rec", "A.1",
         Zeitpunkt(2024, 3, 11, 14, 25, 1)},
        {"no 'Meldung: ' takes the code from the ninth character",
         "## 20240311 142501 KASSE2 TESTPRG Warnung ABC.7", "KASSE2", "TESTPRG", "Warnung ABC.7",
         Zeitpunkt(2024, 3, 11, 14, 25, 1)},
        {"code trimmed of blanks and control characters",
         "## 20240311 142501 U P Fehler-Meldung: \t STANDARD.5 \t", "U", "P", "STANDARD.5",
         Zeitpunkt(2024, 3, 11, 14, 25, 1)},
        {"no number signs with blank: first two characters dropped",
         "##20240311 000000 U P Fehler-Meldung: C", "U", "P", "C", Zeitpunkt(2024, 3, 11, 0, 0, 0)},
        {"nothing after the user", "## 20241231 235959 KASSE2", "", "", "",
         Zeitpunkt(2024, 12, 31, 23, 59, 59)},
        {"program without blank after it", "## 20240311 142501 KASSE2 TESTPRG", "KASSE2", "", "",
         Zeitpunkt(2024, 3, 11, 14, 25, 1)},
    };
    for (auto& f : faelle) {
        TFehlerRec rec;
        rec.Zeile = f.zeile;
        ASSERT_NO_THROW(InfoProtParser::Kopfzeile_Zerlegen(rec)) << f.name;
        EXPECT_EQ(rec.User, f.user) << f.name;
        EXPECT_EQ(rec.Programm, f.programm) << f.name;
        EXPECT_EQ(rec.FehlerCode, f.code) << f.name;
        EXPECT_EQ(rec.DateTime, f.zeit) << f.name;
        EXPECT_EQ(rec.Zeile, f.zeile) << f.name;
    }
}

TEST(Kopfzeile, DateOrTimeThatIsNoNumberOrNoValidValueFails) {
    for (const char* zeile : {
             "## 2024AB11 142501 U P Fehler-Meldung: C", // month not a number
             "## 20240230 142501 U P Fehler-Meldung: C", // no such day
             "## 20240311 246001 U P Fehler-Meldung: C", // hour 24
             "## 20240311 1425xx U P Fehler-Meldung: C", // seconds not a number
             "## 2024",                                  // cut short
         }) {
        TFehlerRec rec;
        rec.Zeile = zeile;
        EXPECT_THROW(InfoProtParser::Kopfzeile_Zerlegen(rec), EConvertError) << zeile;
    }
}

namespace {

// Parses `lines` as one file from its first entry start and returns the parser for inspection.
struct Zerlegt {
    testenv::TempSite site;
    Parser parser{site};
    TextBuffer text;
    std::size_t index = 0;

    explicit Zerlegt(const Lines& lines, const std::string& zeilenende = "\r\n") {
        std::string bytes;
        for (const auto& l : lines)
            bytes += l + zeilenende;
        text = TextBuffer::FromBytes(bytes);
        std::size_t next = 0;
        while (text.HasLine(index)) {
            auto line = text.LineAt(index, next);
            if (line.find("Fehler-Meldung") != std::string_view::npos ||
                line.find("NONE-Meldung") != std::string_view::npos)
                break;
            index = next;
        }
        parser.p.Fehler_Hinzufuegen(text, index);
    }
    std::string zeileBeiIndex() {
        std::size_t next;
        return text.HasLine(index) ? std::string(text.LineAt(index, next)) : std::string("<Dateiende>");
    }
};

const std::string kKopf = FehlerKopf("20240311", "142501", "KASSE2", "TESTPRG", "STANDARD.5");
const std::string kFolgeKopf = Kopf("20240311", "142502", "KASSE2 TESTPRG Info-Meldung");

} // namespace

TEST(EintragZerlegen, BlocksWithAdditionalInformation) {
    Zerlegt z(LogZeilen({{kKopf,
                          {"0x00401000 Modul.Proc", "0x00402000 Modul.Caller"},
                          {"Zusatzinfo: Tisch 4", "Bon 17"},
                          {"Erste Textzeile", "Zweite Textzeile"}},
                         {kFolgeKopf}}));
    ASSERT_EQ(z.parser.p.FFehlerList.Count(), 1);
    const TFehlerRec& r = z.parser.p.FFehlerList[0];
    EXPECT_EQ(r.Zeile, kKopf);
    EXPECT_EQ(r.CallStack, "0x00401000 Modul.Proc\r\n0x00402000 Modul.Caller");
    EXPECT_EQ(r.ZusatzInfo, "Zusatzinfo: Tisch 4\r\nBon 17");
    // The next entry's start line stands before its time-stamp line and so ends the text.
    EXPECT_EQ(r.Text, "Erste Textzeile\r\nZweite Textzeile\r\n12345<< Start");
    EXPECT_TRUE(r.FehlerTyp.empty());
    EXPECT_EQ(z.zeileBeiIndex(), kFolgeKopf);
    EXPECT_TRUE(RegistrierteKontexte().empty());
}

TEST(EintragZerlegen, WithoutAdditionalInformationTheFirstLineStartsTheText) {
    Zerlegt z(LogZeilen({{kKopf, {"cs"}, {}, {"Zusatz fehlt hier", "mehr"}}}));
    ASSERT_EQ(z.parser.p.FFehlerList.Count(), 1);
    EXPECT_EQ(z.parser.p.FFehlerList[0].ZusatzInfo, "");
    EXPECT_EQ(z.parser.p.FFehlerList[0].Text, "Zusatz fehlt hier\r\nmehr");
    EXPECT_EQ(z.zeileBeiIndex(), "<Dateiende>");
}

TEST(EintragZerlegen, SeparatorsAndNextEntryLinesInsideTheBlocks) {
    // The first line after a separator is taken whatever it holds; later separator lines in
    // the text are dropped, and a separator may stand inside a longer line.
    Lines lines = {"12345<< Start",
                   kKopf,
                   "Lücke vor dem Trenner",
                   "xx" + kTrenner + "xx",
                   kTrenner,
                   "cs2",
                   kTrenner,
                   "## 2099 erste Zeile ist Text",
                   "a",
                   kTrenner,
                   "b",
                   "  " + kTrenner,
                   "c"};
    lines.push_back(kFolgeKopf);
    Zerlegt z(lines);
    ASSERT_EQ(z.parser.p.FFehlerList.Count(), 1);
    const TFehlerRec& r = z.parser.p.FFehlerList[0];
    EXPECT_EQ(r.CallStack, kTrenner + "\r\ncs2");
    EXPECT_EQ(r.Text, "## 2099 erste Zeile ist Text\r\na\r\nb\r\nc");
    EXPECT_EQ(z.zeileBeiIndex(), kFolgeKopf);

    Zerlegt t({"12345<< Start", kKopf, kTrenner, "cs", kTrenner, kTrenner, "Text", kFolgeKopf});
    ASSERT_EQ(t.parser.p.FFehlerList.Count(), 1);
    EXPECT_EQ(t.parser.p.FFehlerList[0].Text, kTrenner + "\r\nText");
}

TEST(EintragZerlegen, EntryCutShortAtTheEndOfTheFile) {
    struct Fall {
        const char* name;
        Lines lines;
        bool registriert;
    } faelle[] = {
        {"ends inside the call stack: still being written", {kKopf, kTrenner, "cs1", "cs2"}, false},
        {"ends before the call stack's first separator", {kKopf, "Lücke"}, true},
        {"ends right after the opening separator", {kKopf, kTrenner}, true},
        {"ends right after the call stack's closing separator", {kKopf, kTrenner, "cs", kTrenner}, true},
        {"ends after the additional information's separator",
         {kKopf, kTrenner, "cs", kTrenner, "Zusatzinfo: x", kTrenner},
         true},
        {"ends inside the additional information",
         {kKopf, kTrenner, "cs", kTrenner, "Zusatzinfo: x", "y"},
         true},
    };
    for (auto& f : faelle) {
        Zerlegt z(f.lines);
        EXPECT_EQ(z.parser.p.FFehlerList.Count(), 0) << f.name;
        EXPECT_FALSE(z.text.HasLine(z.index)) << f.name;
        EXPECT_TRUE(RegistrierteKontexte().empty()) << f.name << ": a cut entry is no failure";
        auto kontexte = RegistrierteWarnungen();
        if (f.registriert) {
            ASSERT_EQ(kontexte.size(), 1u) << f.name;
            EXPECT_EQ(kontexte[0], "TVKT_InfoProtParser.Fehler_Hinzufuegen") << f.name;
        } else {
            EXPECT_TRUE(kontexte.empty()) << f.name;
        }
    }
}

TEST(EintragZerlegen, BadHeaderDropsOnlyThatEntryAndTheScanGoesOn) {
    testenv::TempSite site;
    Parser parser(site);
    std::string kaputt = FehlerKopf("20241399", "142501", "U", "P", "C.1");
    site.writeLines(site.logFile("INFOPROT.001"),
                    LogZeilen({{kaputt, {"cs"}, {}, {"t"}},
                               {FehlerKopf("20240311", "142501", "U", "P", "C.2"), {"cs"}, {}, {"t"}}}));
    parser.p.Parse_InfoFile(site.logFile("INFOPROT.001"));
    ASSERT_EQ(parser.p.FFehlerList.Count(), 1);
    EXPECT_EQ(parser.p.FFehlerList[0].FehlerCode, "C.2");
    EXPECT_TRUE(RegistrierteKontexte().empty());
    EXPECT_EQ(RegistrierteWarnungen(), std::vector<std::string>{"TVKT_InfoProtParser.Fehler_Hinzufuegen"});
}

TEST(DateiLesen, LineEndsAndEncodingsGiveTheSameRecords) {
    Lines log = LogZeilen({{FehlerKopf("20240311", "142501", "K\xC4SSE", "P", "C.1"),
                            {"cs"},
                            {"Zusatzinfo: \xFC"},
                            {"Gr\xFC\xDF"
                             "e"}},
                           {FehlerKopf("20240311", "142502", "U", "P", "C.2"), {"cs"}, {}, {"t"}}});
    std::string crlf, lf, cr, utf8, utf16;
    for (auto& l : log) {
        crlf += l + "\r\n";
        lf += l + "\n";
        cr += l + "\r";
    }
    utf8 = "\xEF\xBB\xBF" + Win1252ToUtf8(crlf);
    // The letters used here are Latin-1, so each byte is its own UTF-16 code unit.
    utf16 = "\xFF\xFE";
    for (char c : crlf) {
        utf16 += c;
        utf16 += '\0';
    }
    std::vector<std::pair<std::string, std::string>> varianten = {
        {"CR LF", crlf}, {"LF", lf}, {"CR", cr}, {"UTF-8 with BOM", utf8}, {"UTF-16 LE with BOM", utf16}};
    for (auto& [name, bytes] : varianten) {
        testenv::TempSite site;
        Parser parser(site);
        site.writeFile(site.logFile("INFOPROT.001"), bytes);
        parser.p.Parse_InfoFile(site.logFile("INFOPROT.001"));
        ASSERT_EQ(parser.p.FFehlerList.Count(), 2) << name;
        EXPECT_EQ(parser.p.FFehlerList[0].User, "K\xC4SSE") << name;
        EXPECT_EQ(parser.p.FFehlerList[0].ZusatzInfo, "Zusatzinfo: \xFC") << name;
        EXPECT_EQ(parser.p.FFehlerList[0].Text, "Gr\xFC\xDF"
                                                "e\r\n12345<< Start")
            << name;
        EXPECT_EQ(parser.p.FFehlerList[1].FehlerCode, "C.2") << name;
        EXPECT_EQ(parser.memo, Lines{site.logFile("INFOPROT.001")}) << name;
    }
}

TEST(DateiLesen, FileWithoutEntriesStillGetsItsLine) {
    testenv::TempSite site;
    Parser parser(site);
    site.writeLines(site.logFile("INFOPROT.001"), {"12345<< Start", Kopf("20240311", "101010", "U P Info")});
    site.writeFile(site.logFile("leer"), "");
    parser.p.Parse_InfoFile(site.logFile("INFOPROT.001"));
    parser.p.Parse_InfoFile(site.logFile("leer"));
    EXPECT_EQ(parser.p.FFehlerList.Count(), 0);
    EXPECT_EQ(parser.memo, (Lines{site.logFile("INFOPROT.001"), site.logFile("leer")}));
}

TEST(DateiLesen, UnreadableFileIsListedNotReported) {
    testenv::TempSite site;
    Parser parser(site);
    ForceDirectories(site.logFile("ordner"));
    parser.p.Parse_InfoFile(site.logFile("fehlt"));
    parser.p.Parse_InfoFile(site.logFile("ordner"));
    EXPECT_TRUE(parser.memo.empty());
    EXPECT_EQ(parser.p.FListeNichtGelesen, (Lines{site.logFile("fehlt"), site.logFile("ordner")}));
    EXPECT_TRUE(RegistrierteKontexte().empty());
}

TEST(DateiLesen, BinaryBytesAndEntryStartWithoutHeader) {
    testenv::TempSite site;
    Parser parser(site);
    std::string bytes(5000, '\0');
    bytes += "\r\n" + std::string(3000, '\x01') + "\r\n";
    // An entry start without a time stamp: cut like any entry, its header fails and is reported,
    // and the scan goes on at the entry that ended it.
    for (auto& l : Lines{"\xFF\xFExNONE-Meldung ohne Kopf", kTrenner, "cs", kTrenner, "text"})
        bytes += l + "\r\n";
    for (auto& l : LogZeilen({{FehlerKopf("20240311", "142501", "U", "P", "C.1"), {"cs"}, {}, {"t"}}}))
        bytes += l + "\r\n";
    site.writeFile(site.logFile("binaer"), bytes);
    parser.p.Parse_InfoFile(site.logFile("binaer"));
    ASSERT_EQ(parser.p.FFehlerList.Count(), 1);
    EXPECT_EQ(parser.p.FFehlerList[0].FehlerCode, "C.1");
    EXPECT_EQ(parser.memo, Lines{site.logFile("binaer")});
    EXPECT_TRUE(RegistrierteKontexte().empty());
    EXPECT_EQ(RegistrierteWarnungen(), std::vector<std::string>{"TVKT_InfoProtParser.Fehler_Hinzufuegen"});
}

namespace {

void GroesseSetzen(const std::string& path, off_t groesse, const std::string& inhalt) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, inhalt.data(), inhalt.size()), static_cast<ssize_t>(inhalt.size()));
    ASSERT_EQ(::ftruncate(fd, groesse), 0);
    ::close(fd);
}

} // namespace

TEST(DateiTor, SizeLimitWithTheExceptionOfTheLogBeingWritten) {
    testenv::TempSite site;
    std::string eintrag;
    for (auto& l : LogZeilen({{FehlerKopf("20240311", "142501", "U", "P", "C.1"), {"cs"}, {}, {"t"}}}))
        eintrag += l + "\r\n";
    struct Fall {
        const char* name;
        off_t groesse;
        bool gelesen, ergebnis;
    } faelle[] = {
        {"infoprot.001", 15'000'000, true, true},   {"infoprot.002", 15'000'001, false, false},
        {"infoprot.tmp", 15'000'001, true, true},   {"INFOPROT.TMP", 15'000'001, false, false},
        {"Infoprot.tmp", 15'000'001, false, false},
    };
    for (auto& f : faelle) {
        Parser parser(site);
        std::string pfad = site.logFile(f.name);
        GroesseSetzen(pfad, f.groesse, eintrag);
        TSearchRec rec;
        rec.name = f.name;
        rec.size = f.groesse;
        rec.time = EncodeDate(2024, 3, 20);
        EXPECT_EQ(parser.p.Datei_Parsen(rec), f.ergebnis) << f.name;
        EXPECT_EQ(parser.memo.size(), f.gelesen ? 1u : 0u) << f.name;
        EXPECT_EQ(parser.p.FFehlerList.Count(), f.gelesen ? 1 : 0) << f.name;
        ::unlink(pfad.c_str());
    }
}

TEST(DateiTor, ModificationTimeAgainstTheFirstDayOfThePeriod) {
    testenv::TempSite site;
    std::string eintrag;
    for (auto& l : LogZeilen({{FehlerKopf("20240201", "142501", "U", "P", "ALT.1"), {"cs"}, {}, {"t"}}}))
        eintrag += l + "\r\n";
    site.writeFile(site.logFile("vorher"), eintrag);
    site.writeFile(site.logFile("mitternacht"), eintrag);
    site.writeFile(site.logFile("spaeter"), eintrag);
    SetzeAenderungszeit(site.logFile("vorher"), 2024, 2, 29, 23, 59, 59);
    SetzeAenderungszeit(site.logFile("mitternacht"), 2024, 3, 1, 0, 0, 0);
    SetzeAenderungszeit(site.logFile("spaeter"), 2024, 4, 15, 12, 0, 0); // after the last day

    Parser parser(site, "01.03.2024", "31.03.2024");
    parser.p.Auswerten();
    // Entries dated before the period are read with their file; the last day plays no part.
    EXPECT_EQ(parser.memo[0], site.logFile("mitternacht"));
    EXPECT_EQ(parser.memo[1], site.logFile("spaeter"));
    EXPECT_EQ(parser.memo[2].rfind("Das Programm wurde", 0), 0u);
    EXPECT_EQ(parser.p.FFehlerList.Count(), 1);
    EXPECT_EQ(parser.p.FDoppeltError, 1);
}

TEST(DateiTor, InvalidFirstDayIsReportedAndRefusesTheFile) {
    testenv::TempSite site;
    Parser parser(site, "31.02.2024", "31.03.2024");
    TSearchRec rec;
    rec.name = "x";
    EXPECT_FALSE(parser.p.Datei_Parsen(rec));
    EXPECT_EQ(RegistrierteKontexte(), std::vector<std::string>{"TVKT_InfoProtParser.Datei_Parsen"});
}

TEST(DateiLesen, ReadingThroughTheWindowGivesTheSameRecordsAsInMemory) {
    // Several MB with entries of every size at every distance from the window's block borders,
    // one entry longer than a block, and line ends of all three kinds.
    std::string bytes;
    std::uint32_t zufall = 12345;
    auto naechste = [&](std::uint32_t n) {
        zufall = zufall * 1103515245u + 12345u;
        return (zufall >> 8) % n;
    };
    const char* enden[] = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
    int nummer = 0;
    while (bytes.size() < 5'000'000) {
        const char* ende = enden[naechste(5)];
        const int fueller = static_cast<int>(naechste(40));
        for (int k = 0; k < fueller; ++k)
            bytes += "12345<< Start" + std::string(ende) + "12345## 20240311 101010 U P Info " +
                     std::string(naechste(200), 'x') + ende;
        Lines text = {"Text " + std::to_string(nummer)};
        if (nummer == 50)
            text.push_back(std::string(1'500'000, 'l'));
        const std::string sekunde = std::to_string(10 + nummer % 50);
        for (const auto& l :
             EintragZeilen({FehlerKopf("20240311", "1425" + sekunde, "U" + std::to_string(nummer), "P",
                                       nummer % 3 ? "C.1" : "C.2"),
                            {"cs " + std::to_string(nummer), "zweite"},
                            nummer % 2 ? Lines{"Zusatzinfo: " + std::to_string(nummer)} : Lines{},
                            text}))
            bytes += l + ende;
        ++nummer;
    }
    testenv::TempSite site;
    site.writeFile(site.logFile("gross"), bytes);
    Parser ausDatei(site);
    ausDatei.p.Parse_InfoFile(site.logFile("gross"));

    Parser imSpeicher(site);
    TextBuffer alles = TextBuffer::FromBytes(bytes);
    std::size_t index = 0, next = 0;
    while (alles.HasLine(index)) {
        std::string_view line = alles.LineAt(index, next);
        if (line.find("Fehler-Meldung") != std::string_view::npos)
            imSpeicher.p.Fehler_Hinzufuegen(alles, index);
        else
            index = next;
    }
    ASSERT_GT(imSpeicher.p.FFehlerList.Count(), 100);
    ASSERT_EQ(ausDatei.p.FFehlerList.Count(), imSpeicher.p.FFehlerList.Count());
    for (int k = 0; k < imSpeicher.p.FFehlerList.Count(); ++k) {
        const TFehlerRec& a = ausDatei.p.FFehlerList[k];
        const TFehlerRec& b = imSpeicher.p.FFehlerList[k];
        ASSERT_EQ(a.Zeile, b.Zeile) << k;
        ASSERT_EQ(a.CallStack, b.CallStack) << k;
        ASSERT_EQ(a.ZusatzInfo, b.ZusatzInfo) << k;
        ASSERT_EQ(a.Text, b.Text) << k;
    }
    EXPECT_EQ(ausDatei.p.FFehlerList[50].Text.size(), std::string("Text 50\r\n").size() + 1'500'000 + 15);
    EXPECT_TRUE(RegistrierteKontexte().empty());
}

TEST(DateiLesen, WindowHoldsOnlyWhatIsStillNeeded) {
    testenv::TempSite site;
    const std::string zeile = "12345## 20240311 101010 U P Info Zeile ohne Fehler\r\n";
    std::string bytes;
    while (bytes.size() < 8'000'000)
        bytes += zeile;
    site.writeFile(site.path("datei"), bytes);
    TextBuffer t = TextBuffer::Open(site.path("datei"));
    std::size_t next = 0, zeilen = 0;
    for (std::size_t pos = 0; t.HasLine(pos); pos = next, ++zeilen) {
        t.Release(pos);
        t.LineAt(pos, next);
    }
    EXPECT_EQ(zeilen * zeile.size(), bytes.size());
    EXPECT_LE(t.Held(), 2u << 20);

    TextBuffer suche = TextBuffer::Open(site.path("datei"));
    EXPECT_EQ(suche.Find("Fehler-Meldung", 0), std::string_view::npos);
    EXPECT_LE(suche.Held(), 2u << 20);
}
