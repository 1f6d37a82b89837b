// Bookings as JSON lines: the format both ways, and an import that is all or nothing.
#include "booking/pkpf_generator.h"
#include "booking/pkpf_import.h"
#include "booking_fixture.h"
#include "host/fileutil.h"

using namespace infemora;
using namespace infemora::booktest;

namespace {

const char* const kGut =
    R"({"BuchungsNr":[12,345],"BuchDatum":"2024-03-11","BuchZeit":"14:25:01","Programm":"KASSE","Vorfall":"VK",)"
    R"("SatzAnzahl":1,"GesLaenge":20,"ProzessId":4711,"StartDatum":"2024-03-11","StartZeit":"14:24:59",)"
    R"("EndeDatum":"2024-03-11","EndeZeit":"14:25:01","Terminal":"KASSE3","BenutzerId":[2,17],)"
    R"("BenutzerName":"Müller","Version":"7.1","VersionDatum":"2023-06-01",)"
    R"("Saetze":[{"Kennung":"S1","WRDON":"RW","Beschreibung":"Preis; 4,99 €"}]})";

// The good line with one field replaced (or removed, with an empty value).
std::string Mit(const std::string& feld, const std::string& wert) {
    std::string line = kGut;
    const std::string key = "\"" + feld + "\":";
    size_t pos = line.find(key);
    EXPECT_NE(pos, std::string::npos) << feld;
    size_t start = pos + key.size();
    size_t end = start;
    int depth = 0;
    bool inString = false;
    for (; end < line.size(); ++end) {
        char c = line[end];
        if (inString) {
            if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"')
            inString = true;
        else if (c == '[' || c == '{')
            ++depth;
        else if (c == ']' || c == '}') {
            if (depth == 0)
                break;
            --depth;
        } else if (c == ',' && depth == 0)
            break;
    }
    if (wert.empty()) {
        size_t from = pos;
        size_t to = end;
        if (line[end] == ',')
            ++to;
        else if (line[pos - 1] == ',')
            --from;
        return line.substr(0, from) + line.substr(to);
    }
    return line.substr(0, start) + wert + line.substr(end);
}

class ImportTest : public BookingTest {
protected:
    std::string Datei(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& l : lines)
            text += l + "\n";
        const std::string path = site.path("buchungen.jsonl");
        site.writeFile(path, text);
        return path;
    }
    std::string Fehler(const std::vector<std::string>& lines) {
        try {
            PkpfJsonlImportieren(Datei(lines), db());
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(importiert)";
    }
    std::vector<std::string> Alle() {
        TBuchungsprotokoll p;
        TPKPFAuswahl a;
        a.modus = TPKPFAnzeigeModus::VonBis;
        a.von = "01.01.00";
        a.bis = "31.12.24";
        std::vector<TPKPFKopfZeile> zeilen;
        p.PKPFAnzeigeAktualisieren(a, zeilen);
        return Nummern(zeilen);
    }
};

TEST_F(ImportTest, GoodLineBecomesTheBookingWithTextsInWindows1252) {
    TPKPF_Buchung b = PkpfBuchungAusJson(kGut);
    EXPECT_EQ(b.BuchungsNr, (TIntPair{12, 345}));
    EXPECT_EQ(b.BuchDatum, Tag(2024, 3, 11));
    EXPECT_EQ(b.BuchZeit, Uhr(14, 25, 1));
    EXPECT_EQ(b.BenutzerName, "M\xFCller");
    EXPECT_EQ(b.BenutzerId, (TIntPair{2, 17}));
    ASSERT_EQ(b.Saetze.size(), 1u);
    EXPECT_EQ(b.Saetze[0].Beschreibung, "Preis; 4,99 \x80");
    EXPECT_FALSE(b.Blob.has_value());
}

TEST_F(ImportTest, GeneratedBookingsSurviveTheRoundTrip) {
    PkpfGeneratorOptionen o;
    o.anzahl = 20;
    o.saetzeJeBuchung = 3;
    o.bisDatum = Tag(2024, 5, 10);
    auto buchungen = PkpfBuchungenErzeugen(o);
    buchungen[3].Blob = std::string("\x00\xFF roh", 6);
    buchungen[3].Saetze.clear();
    for (const TPKPF_Buchung& b : buchungen) {
        TPKPF_Buchung zurueck = PkpfBuchungAusJson(PkpfBuchungAlsJson(b));
        EXPECT_EQ(PkpfBuchungAlsJson(zurueck), PkpfBuchungAlsJson(b));
        EXPECT_EQ(PkpfBlobBytes(zurueck), b.Blob ? *b.Blob : PkpfBlobBytes(b));
    }
    // The generator makes the same bookings every time.
    EXPECT_EQ(PkpfBuchungAlsJson(PkpfBuchungenErzeugen(o)[7]), PkpfBuchungAlsJson(buchungen[7]));
}

TEST_F(ImportTest, BadLinesAreRejectedWithLineNumberAndNothingIsImported) {
    struct Fall {
        std::string line;
        std::string erwartet;
    };
    const Fall faelle[] = {
        {Mit("BuchDatum", ""), "\"BuchDatum\": fehlt"},
        {Mit("SatzAnzahl", "\"9\""), "\"SatzAnzahl\": ganze Zahl erwartet"},
        {Mit("GesLaenge", "1.5"), "\"GesLaenge\": ganze Zahl erwartet"},
        {Mit("ProzessId", "4294967296"), "\"ProzessId\": Zahl außerhalb von 32 Bit"},
        {Mit("BuchDatum", "\"2024-02-30\""), "\"BuchDatum\": \"2024-02-30\" ist kein Datum"},
        {Mit("BuchDatum", "\"11.03.2024\""), "\"BuchDatum\""},
        {Mit("EndeZeit", "\"24:00:00\""), "\"EndeZeit\""},
        {Mit("BuchungsNr", "[12]"), "\"BuchungsNr\": Paar"},
        {Mit("BuchungsNr", "[-1,5]"), "\"BuchungsNr\": die Teile dürfen nicht negativ sein"},
        {Mit("BenutzerId", "\"2-17\""), "\"BenutzerId\": Paar"},
        {Mit("Terminal", "\"Kasse Ω\""), "\"Terminal\": enthält Zeichen"},
        {Mit("Terminal", "7"), "\"Terminal\": Text erwartet"},
        {Mit("Saetze", ""), "genau eines der Felder"},
        {Mit("Saetze", "[{\"Kennung\":\"S1\",\"WRDON\":\"RW\",\"Beschreibung\":\"a\\nb\"}]"),
         "Zeilenumbruch"},
        {Mit("Saetze", "[{\"Kennung\":\"S1\",\"WRDON\":\"RW\"}]"), "\"Saetze[1].Beschreibung\": fehlt"},
        {std::string(kGut).insert(1, "\"Extra\":1,"), "\"Extra\": unbekanntes Feld"},
        {std::string(kGut).insert(1, "\"BlobBase64\":\"AAAA\","), "genau eines der Felder"},
        {Mit("Saetze", "").insert(1, "\"BlobBase64\":\"A*==\","), "\"BlobBase64\": kein gültiges Base64"},
        {"{\"BuchungsNr\":", "kein gültiges JSON"},
        {"[1,2]", "JSON-Objekt"},
    };
    const std::string zweite = Mit("BuchungsNr", "[12,346]");
    for (const Fall& f : faelle) {
        const std::string fehler = Fehler({kGut, f.line, zweite});
        EXPECT_NE(fehler.find("Zeile 2: "), std::string::npos) << f.line << "\n" << fehler;
        EXPECT_NE(fehler.find(f.erwartet), std::string::npos) << f.line << "\n" << fehler;
        EXPECT_FALSE(FileExists(db())) << f.line;
    }
}

TEST_F(ImportTest, ImportIsAllOrNothingAlsoForNumbersAlreadyThere) {
    ASSERT_EQ(PkpfJsonlImportieren(Datei({kGut, "", Mit("BuchungsNr", "[12,346]")}), db()), 2u);
    EXPECT_EQ(Alle(), (std::vector<std::string>{"12-345", "12-346"}));

    const std::string fehler = Fehler({Mit("BuchungsNr", "[12,400]"), Mit("BuchungsNr", "[12,401]"), kGut});
    EXPECT_NE(fehler.find("Zeile 3: Die Buchungsnummer 12-345 ist schon im Buchungsprotokoll."),
              std::string::npos)
        << fehler;
    EXPECT_EQ(Alle(), (std::vector<std::string>{"12-345", "12-346"}));

    // Twice the same number in one file: the second is the bad line; a fresh file is not left.
    Ensure_DeleteFile(db());
    EXPECT_NE(Fehler({Mit("BuchungsNr", "[1,1]"), Mit("BuchungsNr", "[1,1]")}).find("Zeile 2: "),
              std::string::npos);
    EXPECT_FALSE(FileExists(db()));
}

TEST_F(ImportTest, RawBlobIsStoredAsItIsAndReadsAsDefekt) {
    ASSERT_EQ(
        PkpfJsonlImportieren(Datei({Mit("Saetze", "").insert(1, "\"BlobBase64\":\"a2FwdXR0\",")}), db()), 1u);
    TBuchungsprotokoll p;
    TPKPFDetails d;
    const std::string nr = "12-345";
    p.TrvPKPFSaetzeEinstellen(&nr, d);
    ASSERT_TRUE(d.gefunden);
    ASSERT_EQ(d.Saetze.size(), 1u);
    EXPECT_EQ(d.Saetze[0].Kennung, "defekt");
}

TEST_F(ImportTest, ImportIntoAFileThatIsNoBookingProtocolLeavesItAlone) {
    site.writeFile(db(), "Notizen, keine Datenbank");
    const std::string fehler = Fehler({kGut});
    EXPECT_NE(fehler.find("keine SQLite-Datenbank"), std::string::npos) << fehler;
    EXPECT_EQ(site.readFile(db()), "Notizen, keine Datenbank");
}

} // namespace
