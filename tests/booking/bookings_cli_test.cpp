// infemora-cli bookings, run as a user runs it: the same rows and the same export file as the
// window's routines, German messages and the documented exit codes.
#include "booking/pkpf_generator.h"
#include "booking/pkpf_import.h"
#include "booking_fixture.h"
#include "host/codec1252.h"
#include "host/fileutil.h"

#include <cstdlib>
#include <regex>
#include <sys/wait.h>

using namespace infemora;
using namespace infemora::booktest;

namespace {

struct Lauf {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CliTest : public BookingTest {
protected:
    void SetUp() override {
        BookingTest::SetUp();
        config = site.path("infemora.ini");
        const Settings s = site.settings();
        site.writeLines(config, {"[Verzeichnisse]", "INFOPROT=" + s.infoprot, "STATEMP=" + s.statemp,
                                 "EINSTELLUNGEN=" + s.einstellungen, "[Buchungsprotokoll]",
                                 "Datei=" + s.buchungsDatei, "[Programm]", "RId=5"});
    }

    Lauf Cli(const std::vector<std::string>& args) {
        std::string cmd = "INFEMORA_CONFIG=" + Quote(config) + " " +
                          Quote(testenv::BinaryDir() + "/app/infemora-cli/infemora-cli");
        for (const auto& a : args)
            cmd += " " + Quote(a);
        cmd += " >" + Quote(site.path("out.txt")) + " 2>" + Quote(site.path("err.txt"));
        Lauf l;
        int status = std::system(cmd.c_str());
        l.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        l.out = site.readFile(site.path("out.txt"));
        l.err = site.readFile(site.path("err.txt"));
        return l;
    }

    std::string Jsonl(const std::vector<TPKPF_Buchung>& buchungen) {
        std::string text;
        for (const auto& b : buchungen)
            text += PkpfBuchungAlsJson(b) + "\n";
        const std::string path = site.path("buchungen.jsonl");
        site.writeFile(path, text);
        return path;
    }

    // The rows as the window loads them, printed as the command line prints them.
    static std::string Erwartet(const std::vector<TPKPFKopfZeile>& zeilen) {
        std::string out;
        for (const auto& z : zeilen)
            out += z.BuchungsNr + "\t" + Win1252ToUtf8(z.DatumZeit) + "\t" +
                   FormatDateTime("yyyy-MM-dd HH:mm:ss", z.DatumZeitSort) + "\t" + Win1252ToUtf8(z.Programm) +
                   "\t" + Win1252ToUtf8(z.Vorfall) + "\t" + Win1252ToUtf8(z.Benutzer) + "\t" + z.SatzAnzahl +
                   "\t" + std::to_string(z.SatzAnzahlSort) + "\t" + z.GesLaenge + "\t" +
                   std::to_string(z.GesLaengeSort) + "\n";
        return out;
    }

    std::string config;
};

TEST_F(CliTest, ImportThenListAndExportGiveWhatTheWindowGives) {
    PkpfGeneratorOptionen o;
    o.anzahl = 60;
    o.saetzeJeBuchung = 4;
    o.bisDatum = Tag(2024, 5, 10);
    o.tage = 20;
    Lauf imp = Cli({"bookings", "import", Jsonl(PkpfBuchungenErzeugen(o))});
    ASSERT_EQ(imp.code, 0) << imp.err;
    EXPECT_NE(imp.out.find("60 Buchungen importiert"), std::string::npos);

    TPKPFAuswahl bereich;
    bereich.modus = TPKPFAnzeigeModus::VonBis;
    bereich.von = "01.05.24";
    bereich.bis = "05.05.24";
    TPKPFAuswahl nummern;
    nummern.modus = TPKPFAnzeigeModus::Buchungsnummer;
    nummern.rNr = 1;
    nummern.lNrVon = 10;
    nummern.lNrBis = 30;

    TBuchungsprotokoll protokoll;
    std::vector<TPKPFKopfZeile> zeilen;
    ASSERT_TRUE(protokoll.PKPFAnzeigeAktualisieren(bereich, zeilen));
    ASSERT_FALSE(zeilen.empty());
    Lauf list = Cli({"bookings", "list", "--von", "01.05.24", "--bis", "05.05.24"});
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, Erwartet(zeilen));

    ASSERT_TRUE(protokoll.PKPFAnzeigeAktualisieren(nummern, zeilen));
    ASSERT_EQ(zeilen.size(), 21u);
    list = Cli({"bookings", "list", "--nr", "1-10-30"});
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, Erwartet(zeilen));

    const std::string cliDir = site.path("cli-export");
    ASSERT_TRUE(ForceDirectories(cliDir));
    Lauf exp = Cli({"bookings", "export", "--dir", cliDir, "--nr", "1-10-30"});
    ASSERT_EQ(exp.code, 0) << exp.err;
    std::string pfad = exp.out.substr(0, exp.out.find('\n'));
    EXPECT_TRUE(std::regex_match(pfad, std::regex(cliDir + "/PkpfFileExport_5_1-10-1-30_[0-9]{12}\\.csv")))
        << pfad;
    std::vector<std::string> texte;
    for (const auto& z : zeilen)
        texte.push_back(z.BuchungsNr);
    const std::string eigene = protokoll.PKPFExportieren(site.statemp(), texte);
    EXPECT_EQ(site.readFile(pfad), site.readFile(eigene));
    EXPECT_EQ(site.readFile(pfad).size(), (1 + 21 * 5) * 598u);
}

TEST_F(CliTest, ListWritesUtf8AndKeepsEachBookingOnOneLine) {
    TPKPF_Buchung b = Buchung({3, 1}, Tag(2024, 5, 1));
    b.Programm = "A\tB";
    b.BenutzerName = "J\xF6rg\r\nZweite";
    ASSERT_EQ(Cli({"bookings", "import", Jsonl({b})}).code, 0);
    Lauf list = Cli({"bookings", "list", "--nr", "3-1"});
    EXPECT_EQ(list.code, 0);
    // Control characters are written as blanks: none reaches the terminal.
    EXPECT_EQ(list.out,
              "3-1\t01.05.2024, 12:00:00\t2024-05-01 12:00:00\tA B\tVK\tJ\xC3\xB6rg  Zweite\t2\t2\t40\t40\n");
}

TEST_F(CliTest, WrongSelectionsAreUsageErrors) {
    const std::vector<std::vector<std::string>> falsch = {
        {"bookings", "list"},
        {"bookings", "list", "--last-days", "5", "--nr", "1-1"},
        {"bookings", "list", "--last-days", "1000"},
        {"bookings", "list", "--nr", "1-x"},
        {"bookings", "list", "--nr", "0-5"},
        {"bookings", "list", "--nr", "12345-1"},
        {"bookings", "list", "--von", "1.5.24", "--bis", "10.05.24"},
        {"bookings", "list", "--von", "01.05.2024", "--bis", "10.05.2024"},
        {"bookings", "list", "--von", "01.05.24"},
        {"bookings", "export", "--nr", "1-1"},
    };
    for (const auto& args : falsch) {
        Lauf l = Cli(args);
        EXPECT_EQ(l.code, 2) << args.back() << "\n" << l.err;
        EXPECT_TRUE(l.out.empty());
    }
}

TEST_F(CliTest, BadImportLineImportsNothingAndSaysWhere) {
    std::string path = Jsonl({Buchung({1, 1}, Tag(2024, 5, 1))});
    site.writeFile(path, site.readFile(path) + "{\"BuchungsNr\": [1, 2]}\n");
    Lauf l = Cli({"bookings", "import", path});
    EXPECT_EQ(l.code, 1);
    EXPECT_NE(l.err.find("Zeile 2: Feld \"BuchDatum\": fehlt"), std::string::npos) << l.err;
    EXPECT_FALSE(FileExists(db()));
}

TEST_F(CliTest, MissingBookingFileFailsWithAGermanMessage) {
    Lauf l = Cli({"bookings", "list", "--last-days", "30"});
    EXPECT_EQ(l.code, 1);
    EXPECT_TRUE(l.out.empty());
    EXPECT_NE(l.err.find("ist nicht vorhanden"), std::string::npos) << l.err;
    EXPECT_FALSE(FileExists(db())); // the viewer never creates the file
}

} // namespace
