// The fixed-width export: file name, lines, and what happens with bookings that are gone.
#include "booking/sqlite_db.h"
#include "booking_fixture.h"
#include "host/fileutil.h"
#include "host/replacing_file.h"

#include <cstdio>
#include <filesystem>
#include <memory>

using namespace infemora;
using namespace infemora::booktest;

namespace {

std::string S(size_t n) {
    return std::string(n, ' ');
}

class ExportTest : public BookingTest {
protected:
    void Laden(const TPKPFAuswahl& a) {
        std::vector<TPKPFKopfZeile> zeilen;
        ASSERT_TRUE(protokoll.PKPFAnzeigeAktualisieren(a, zeilen));
    }
    static TPKPFAuswahl Nummer(std::int32_t r, std::int32_t von, std::int32_t bis) {
        TPKPFAuswahl a;
        a.modus = TPKPFAnzeigeModus::Buchungsnummer;
        a.rNr = r;
        a.lNrVon = von;
        a.lNrBis = bis;
        return a;
    }
    Lines Exportieren(const std::vector<std::string>& nummern) {
        const std::string datei = protokoll.PKPFExportieren(site.statemp(), nummern);
        EXPECT_FALSE(datei.empty());
        return SplitLines(site.readFile(datei));
    }

    TBuchungsprotokoll protokoll;
};

TEST_F(ExportTest, FileNameNamesTheLastSelection) {
    const std::string dir = site.statemp();
    EXPECT_EQ(protokoll.NamenErmitteln(dir), dir + "/PkpfFileExport_5_240510140307.csv");

    Schreiben({Buchung({12, 345}, Tag(2024, 5, 1))});
    TPKPFAuswahl dreissig;
    Laden(dreissig);
    EXPECT_EQ(protokoll.NamenErmitteln(dir), dir + "/PkpfFileExport_5_240410-240510_240510140307.csv");

    Laden(Nummer(12, 345, 0));
    EXPECT_EQ(protokoll.NamenErmitteln(dir), dir + "/PkpfFileExport_5_12-345_240510140307.csv");
    Laden(Nummer(12, 345, 400));
    EXPECT_EQ(protokoll.NamenErmitteln(dir), dir + "/PkpfFileExport_5_12-345-12-400_240510140307.csv");

    TPKPFAuswahl bereich;
    bereich.modus = TPKPFAnzeigeModus::VonBis;
    bereich.von = "01.12.23";
    bereich.bis = "02.01.24";
    Laden(bereich);
    EXPECT_EQ(protokoll.NamenErmitteln(dir), dir + "/PkpfFileExport_5_231201-240102_240510140307.csv");
}

TEST_F(ExportTest, BookingAndRecordLinesHaveTheFixedLayout) {
    Schreiben({Buchung({12, 345}, Tag(2024, 3, 11), Uhr(14, 25, 1))});
    const Lines lines = Exportieren({"12-345"});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], PKPFExportZeile(PKPFExportTitel()));

    const std::string kopf = "0012-000000345 ; 11.03.2024 ; 14:25:01  ; KASSE   ; VK     ; " + S(10) + "2; " +
                             S(8) + "40; " + S(14) + "4711; 11.03.2024" + S(8) + "; 11:59:58" + S(9) +
                             "; 11.03.2024" + S(6) + "; 14:25:01" + S(7) + "; KASSE3" + S(11) +
                             "; 0002-000000017" + S(3) + "; M\xFCller" + S(66) + "; 7.1.2" + S(8) +
                             "; 01.06.2023" + S(7) + "; " + S(4) + "; " + S(5) + "; " + S(255) + "; ";
    EXPECT_EQ(lines[1], kopf);

    std::string leer;
    for (size_t breite : {15, 11, 10, 8, 7, 11, 10, 18, 18, 17, 16, 15, 17, 17, 72, 13, 17})
        leer += S(breite) + "; ";
    EXPECT_EQ(lines[2], leer + "S1  ; RW   ; Artikel verkauft" + S(255 - 16) + "; ");
    EXPECT_EQ(lines[3], leer + "S2  ; DE   ; Zahlung bar" + S(255 - 11) + "; ");
    for (const std::string& l : lines)
        EXPECT_EQ(l.size(), 596u);
}

TEST_F(ExportTest, FileEndsEveryLineWithCrLfAndFollowsTheGivenOrder) {
    Schreiben({Buchung({1, 1}, Tag(2024, 5, 1)), Buchung({1, 2}, Tag(2024, 5, 2))});
    const std::string datei = protokoll.PKPFExportieren(site.statemp(), {"1-2", "1-1"});
    const std::string bytes = site.readFile(datei);
    ASSERT_EQ(bytes.size(), 7 * 598u);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(bytes.substr(i * 598 + 596, 2), "\r\n") << i;
    EXPECT_TRUE(bytes.substr(598).starts_with("0001-000000002 ;"));
    EXPECT_TRUE(bytes.substr(4 * 598).starts_with("0001-000000001 ;"));
    EXPECT_EQ(Info().meldungCount(1001), 1);
}

TEST_F(ExportTest, VanishedBookingIsSkippedAndTheTitleStandsBeforeTheFirstFound) {
    Schreiben({Buchung({1, 1}, Tag(2024, 5, 1))});
    const Lines lines = Exportieren({"1-7", "1-1", "1-8"});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[0].starts_with("Protokollnummer;"));
    EXPECT_TRUE(lines[1].starts_with("0001-000000001 ;"));
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(ExportTest, EmptyGridWritesAnEmptyFileAndStillReportsCompletion) {
    Schreiben({Buchung({1, 1}, Tag(2024, 5, 1))});
    const std::string datei = protokoll.PKPFExportieren(site.statemp(), {});
    ASSERT_FALSE(datei.empty());
    EXPECT_TRUE(FileExists(datei));
    EXPECT_EQ(FileSize(datei), 0);
    EXPECT_EQ(Info().meldungCount(1001), 1);
}

// Semicolons stay as they are; line breaks and other control characters become blanks, so each
// line keeps its fixed width; a text a spreadsheet would run as a formula gets an apostrophe.
TEST_F(ExportTest, TextsKeepTheirSemicolonsButNoLineBreakAndNoFormula) {
    TPKPF_Buchung b = Buchung({1, 1}, Tag(2024, 5, 1));
    b.Programm = "A\r\nB;C";
    b.Vorfall = "=1+1";
    b.BenutzerName = "Zeile1\r\nZeile2";
    b.Terminal = "@SUM(A1)";
    b.Version = "-7\x1b[2J";
    b.Saetze = {{"S;1", "RW", "Preis; alt ; neu"}, {"+K", "x\ty", "=HYPERLINK(\"http://x\")"}};
    Schreiben({b});
    const std::string datei = protokoll.PKPFExportieren(site.statemp(), {"1-1"});
    const Lines lines = SplitLines(site.readFile(datei));
    ASSERT_EQ(lines.size(), 4u);
    for (const std::string& zeile : lines)
        EXPECT_EQ(zeile.size(), 596u) << zeile;
    EXPECT_NE(lines[1].find("; A  B;C  ; '=1+1  ; "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("; '@SUM(A1)" + S(17 - 9) + "; "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("; Zeile1  Zeile2" + S(72 - 14) + "; '-7 [2J" + S(13 - 7) + "; "),
              std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find("; S;1 ; RW   ; Preis; alt ; neu" + S(255 - 16) + "; "), std::string::npos);
    EXPECT_NE(lines[3].find("; '+K ; x y  ; '=HYPERLINK(\"http://x\")" + S(255 - 23) + "; "),
              std::string::npos)
        << lines[3];
}

TEST_F(ExportTest, DamagedRecordLinesAreExportedAsDefekt) {
    TPKPF_Buchung b = Buchung({1, 1}, Tag(2024, 5, 1));
    b.Blob = "kaputt";
    Schreiben({b});
    const Lines lines = Exportieren({"1-1"});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[2].find(S(17) + "; defekt;" + S(6) + "; " + S(255) + "; "), std::string::npos);
    EXPECT_EQ(lines[2].size(), 598u); // "defekt" is wider than its field
}

TEST_F(ExportTest, UnwritableTargetIsRegisteredAndNotReportedAsDone) {
    Schreiben({Buchung({1, 1}, Tag(2024, 5, 1))});
    EXPECT_EQ(protokoll.PKPFExportieren(site.path("gibt-es-nicht"), {"1-1"}), "");
    EXPECT_EQ(Kontexte(), (std::vector<std::string>{"TfrmParallel.btnPkpfSaveFileClick"}));
    EXPECT_EQ(Info().meldungCount(1001), 0);
}

// An export is written only when every booking asked for was read: a booking file that is
// missing, held by a writer or damaged leaves no file under the export's name and no message
// of success, and the reason is registered.
TEST_F(ExportTest, BookingsThatCannotBeReadLeaveNoExportFile) {
    enum class Zustand { Fehlt, Gesperrt, Beschaedigt };
    struct Fall {
        const char* name;
        Zustand zustand;
        bool auswahl; // exported from the selection, as the command line does; else from the grid
    } faelle[] = {
        {"missing booking file", Zustand::Fehlt, false},
        {"held by a writer, grid export", Zustand::Gesperrt, false},
        {"held by a writer, selection export", Zustand::Gesperrt, true},
        {"damaged in the middle, grid export", Zustand::Beschaedigt, false},
        {"damaged in the middle, selection export", Zustand::Beschaedigt, true},
    };
    std::vector<TPKPF_Buchung> buchungen;
    std::vector<std::string> nummern;
    for (std::int32_t n = 1; n <= 400; ++n) {
        buchungen.push_back(Buchung({1, n}, Tag(2024, 5, 1)));
        nummern.push_back("1-" + std::to_string(n));
    }
    const std::string ziel = site.path("export");
    for (const Fall& fall : faelle) {
        std::filesystem::remove_all(ziel);
        std::filesystem::create_directories(ziel);
        for (const char* endung : {"", "-wal", "-shm"})
            std::filesystem::remove(db() + endung);
        Info().clearRegistered();
        std::unique_ptr<SqliteDb> schreiber;
        if (fall.zustand != Zustand::Fehlt)
            Schreiben(buchungen);
        if (fall.zustand == Zustand::Gesperrt) {
            schreiber = std::make_unique<SqliteDb>(SqliteDb::Open(db(), false, false, 0));
            schreiber->exec("BEGIN EXCLUSIVE");
        }
        if (fall.zustand == Zustand::Beschaedigt) {
            // Garbage over the second half of the file: the first bookings read, the later not.
            std::FILE* f = std::fopen(db().c_str(), "r+b");
            ASSERT_NE(f, nullptr);
            std::fseek(f, 0, SEEK_END);
            const long ende = std::ftell(f);
            std::fseek(f, ende / 2 / 4096 * 4096, SEEK_SET);
            const std::string muell(static_cast<std::size_t>(ende - ende / 2 / 4096 * 4096), '\xAB');
            std::fwrite(muell.data(), 1, muell.size(), f);
            std::fclose(f);
        }
        TBuchungsprotokoll p;
        p.SetBusyTimeout(100);
        TPKPFAuswahl alle;
        alle.letzteTage = "999";
        const std::string datei =
            fall.auswahl ? p.PKPFAuswahlExportieren(ziel, alle) : p.PKPFExportieren(ziel, nummern);
        schreiber.reset();
        EXPECT_EQ(datei, "") << fall.name;
        EXPECT_TRUE(std::filesystem::is_empty(ziel)) << fall.name;
        EXPECT_FALSE(Info().registered().empty()) << fall.name;
        EXPECT_EQ(Info().meldungCount(1001), 0) << fall.name;
    }
}

// Many bookings cross the read blocks and the hand-overs to the writer thread: order, record
// lines, damaged blobs and gaps must come out as if each booking were written in turn, and no
// read may still hold the file afterwards.
TEST_F(ExportTest, ALargeExportKeepsTheGridOrderAndReleasesTheFile) {
    std::vector<TPKPF_Buchung> buchungen;
    for (std::int32_t n = 1; n <= 300; ++n) {
        TPKPF_Buchung b = Buchung({3, n}, Tag(2024, 5, 1));
        b.Saetze.clear();
        for (std::int32_t s = 0; s < n % 5; ++s)
            b.Saetze.push_back({"K" + std::to_string(n) + "-" + std::to_string(s), "RW", "Satz"});
        if (n % 37 == 0)
            b.Blob = "kein zlib";
        if (n % 50 != 7)
            buchungen.push_back(b);
    }
    Schreiben(buchungen);
    std::vector<std::string> nummern;
    for (std::int32_t i = 0; i < 310; ++i)
        nummern.push_back("3-" + std::to_string((i * 113) % 310 + 1)); // 301 to 310 are not in the file
    const Lines lines = Exportieren(nummern);

    Lines erwartet{PKPFExportZeile(PKPFExportTitel())};
    for (const std::string& text : nummern) {
        const std::int32_t n = StringToIntPair(text, '-').L;
        if (n > 300 || n % 50 == 7)
            continue;
        char kopf[32];
        std::snprintf(kopf, sizeof kopf, "0003-%09d ;", static_cast<int>(n));
        erwartet.push_back(kopf);
        if (n % 37 == 0)
            erwartet.push_back("defekt");
        else
            for (std::int32_t s = 0; s < n % 5; ++s)
                erwartet.push_back("K" + std::to_string(n) + "-" + std::to_string(s));
    }
    size_t satzSpalte = 0; // where a record line's own columns begin
    for (size_t breite : {15, 11, 10, 8, 7, 11, 10, 18, 18, 17, 16, 15, 17, 17, 72, 13, 17})
        satzSpalte += breite + 2;
    ASSERT_EQ(lines.size(), erwartet.size());
    EXPECT_EQ(lines[0], erwartet[0]);
    for (size_t i = 1; i < lines.size(); ++i) {
        if (erwartet[i].starts_with("0003-")) {
            EXPECT_TRUE(lines[i].starts_with(erwartet[i])) << i << ": " << lines[i].substr(0, 20);
        } else {
            EXPECT_EQ(lines[i].find_first_not_of(" ;"), satzSpalte) << i;
            EXPECT_EQ(lines[i].substr(satzSpalte, erwartet[i].size()), erwartet[i]) << i;
            EXPECT_NE(std::string(" ;").find(lines[i][satzSpalte + erwartet[i].size()]), std::string::npos)
                << i;
        }
    }
    EXPECT_TRUE(Info().registered().empty());
    EXPECT_EQ(Info().meldungCount(1001), 1);

    // A point-of-sale program writes while the viewer keeps the file open.
    EXPECT_NO_THROW(Schreiben({Buchung({4, 1}, Tag(2024, 5, 2))}));
}

// A batch that takes long to format holds up the file but not the other writer: the batches
// behind it wait, formatted, for their turn, and everything reaches the file in the order it
// was added, however far the quick batches run ahead.
TEST_F(ExportTest, SlowBatchesHoldUpOnlyTheFileAndTheOrderStands) {
    auto blobMit = [](std::size_t anzahl) {
        TPKPF_Blob_Arr saetze;
        for (std::size_t i = 0; i < anzahl; ++i)
            saetze.push_back({"K" + std::to_string(i), "RW", std::string(200, 'x')});
        TMemoryStream text(PkpfSaetzeAlsIniText(saetze));
        TMemoryStream gepackt;
        ZipStream(gepackt, text);
        return std::string(gepackt.Rest());
    };
    const std::string langsam = blobMit(3000);
    const std::string schnell = blobMit(1);
    constexpr std::int32_t kBuchungen = 64 * 40;
    auto istLangsam = [](std::int32_t n) { return (n - 1) % (64 * 7) == 0; };
    const std::string pfad = site.statemp() + "/zeilen.csv";
    {
        ReplacingFileWriter datei(pfad);
        TPKPFExportZeilen zeilen(datei);
        for (std::int32_t n = 1; n <= kBuchungen; ++n) {
            TPKPFExportKopf kopf;
            kopf.BuchungsNr = {7, n};
            zeilen.BuchungAnfuegen(kopf, istLangsam(n) ? langsam : schnell);
        }
        zeilen.Abschliessen();
        datei.Commit();
    }
    const Lines lines = SplitLines(site.readFile(pfad));
    std::int32_t erwartet = 0;
    std::size_t saetze = 0;
    auto buchungPruefen = [&] {
        if (erwartet > 0) {
            EXPECT_EQ(saetze, istLangsam(erwartet) ? 3000u : 1u) << erwartet;
        }
    };
    for (const std::string& zeile : lines) {
        if (zeile.starts_with("0007-")) {
            buchungPruefen();
            char kopf[32];
            std::snprintf(kopf, sizeof kopf, "0007-%09d ;", static_cast<int>(++erwartet));
            ASSERT_TRUE(zeile.starts_with(kopf)) << zeile.substr(0, 20);
            saetze = 0;
        } else {
            ++saetze;
        }
    }
    buchungPruefen();
    EXPECT_EQ(erwartet, kBuchungen);
}

// Without a grid a selection is read in the grid's order straight off an index where it can be:
// the file must be the one the grid's export writes, also where a cash desk booked out of time
// order (the number index then gives another order) and over many read blocks.
TEST_F(ExportTest, ASelectionExportedWithoutAGridIsTheGridsExport) {
    std::vector<TPKPF_Buchung> buchungen;
    for (std::int32_t n = 1; n <= 150; ++n) {
        // Desk 5 books in number order, several bookings to the second; desk 6 books 70 before
        // 69. Desk 7 has its bookings on two days.
        TPKPF_Buchung b5 = Buchung({5, n}, Tag(2024, 5, 1), Uhr(8, n / 60, n % 60 / 3));
        b5.Saetze = {{"K" + std::to_string(n), "RW", "Satz " + std::to_string(n)}};
        if (n % 41 == 0)
            b5.Blob = "kein zlib";
        TPKPF_Buchung b6 = Buchung({6, n}, Tag(2024, 5, 2), Uhr(9, n / 60, n % 60));
        if (n == 70)
            b6.BuchZeit = Uhr(8, 0, 0);
        TPKPF_Buchung b7 = Buchung({7, n}, Tag(2024, 5, 3 + n % 2), Uhr(10, 0, n % 60));
        buchungen.insert(buchungen.end(), {b5, b6, b7});
    }
    Schreiben(buchungen);

    auto wieDasGrid = [this](const TPKPFAuswahl& a) {
        std::vector<TPKPFKopfZeile> zeilen;
        EXPECT_TRUE(protokoll.PKPFAnzeigeAktualisieren(a, zeilen));
        std::vector<std::string> nummern;
        for (const TPKPFKopfZeile& z : zeilen)
            nummern.push_back(z.BuchungsNr);
        const std::string datei = protokoll.PKPFExportieren(site.statemp(), nummern);
        EXPECT_FALSE(datei.empty());
        return site.readFile(datei);
    };
    auto ohneGrid = [this](const TPKPFAuswahl& a) {
        const std::string datei = protokoll.PKPFAuswahlExportieren(site.statemp(), a);
        EXPECT_FALSE(datei.empty());
        return site.readFile(datei);
    };
    TPKPFAuswahl tage;
    tage.modus = TPKPFAnzeigeModus::VonBis;
    tage.von = "02.05.24";
    tage.bis = "04.05.24";
    for (const TPKPFAuswahl& a :
         {Nummer(5, 1, 150), Nummer(6, 2, 149), Nummer(7, 1, 0), Nummer(7, 3, 0), tage}) {
        const int meldungen = Info().meldungCount(1001);
        const std::string erwartet = wieDasGrid(a);
        EXPECT_EQ(ohneGrid(a), erwartet) << a.rNr << "-" << a.lNrVon << "-" << a.lNrBis;
        EXPECT_EQ(Info().meldungCount(1001), meldungen + 2);
    }
    EXPECT_TRUE(Info().registered().empty());
    // A file given up on the way leaves nothing behind; each export above left its one file.
    int dateien = 0;
    for (const auto& e : std::filesystem::directory_iterator(site.statemp()))
        dateien += e.path().filename().string().starts_with(".") ? 100 : 1;
    EXPECT_LE(dateien, 10);
}

} // namespace
