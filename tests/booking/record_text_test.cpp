// The rules by which a booking's record text becomes record lines, as the details grid shows them
// and as the export writes them: one row per text, each read by the usual and by the full reader.
#include "booking_fixture.h"

#include "host/textfile.h"

using namespace infemora;
using namespace infemora::booktest;

namespace {

const TPKPF_Blob_Arr kDefekt = {{"defekt", "", ""}};

struct Fall {
    const char* name;
    std::string blob; // as stored
    TPKPF_Blob_Arr saetze;
};

std::vector<Fall> Faelle() {
    const char nul[] = "[S]\r\nKennung=a\0b\r\n";
    return {
        {"a line that is neither section, comment nor key=value is passed over",
         Zip("[S]\r\nKennung=A\r\nirgendein Text ohne Gleichheitszeichen\r\nWRDON=RW\r\n"),
         {{"A", "RW", ""}}},
        {"a stray line before the first section",
         Zip("Kopfzeile der Kasse\r\n[S]\r\nBeschreibung=B\r\n"),
         {{"", "", "B"}}},
        {"lines but no section: no record line, nothing damaged", Zip("nur Text\r\nnoch eine Zeile\r\n"), {}},
        {"keys before any section belong to no record line", Zip("Kennung=A\r\nWRDON=RW\r\n"), {}},
        {"sections of the same name are each a record line, in order",
         Zip("[Satz]\r\nKennung=1\r\n[Satz]\r\nKennung=2\r\nWRDON=DE\r\n[SATZ]\r\nKennung=3\r\n"),
         {{"1", "", ""}, {"2", "DE", ""}, {"3", "", ""}}},
        {"a key given twice in a section: the first counts",
         Zip("[S]\r\nKennung=1\r\nkennung=2\r\n"),
         {{"1", "", ""}}},
        {"a bracket line without its end is no section",
         Zip("[S]\r\nKennung=1\r\n[abgebrochen\r\nWRDON=RW\r\n"),
         {{"1", "RW", ""}}},
        {"a section without a name is a record line", Zip("[]\r\nKennung=1\r\n"), {{"1", "", ""}}},
        {"a long line stays one line, whatever stands at its end",
         Zip("[S]\r\nKennung=1\r\n" + std::string(199, 'x') + "[Satz]\r\nWRDON=RW\r\n"),
         {{"1", "RW", ""}}},
        {"text with a NUL byte is no text", Zip(std::string(nul, sizeof nul - 1)), kDefekt},
        {"not compressed", "kein zlib", kDefekt},
        {"an empty blob", "", kDefekt},
    };
}

class RecordText : public BookingTest {
protected:
    // The record lines of each case through the details grid and through the export.
    void Pruefen(const std::vector<Fall>& faelle, const char* variante) {
        std::vector<TPKPF_Buchung> buchungen;
        std::vector<std::string> nummern;
        for (std::size_t i = 0; i < faelle.size(); ++i) {
            TPKPF_Buchung b = Buchung({1, static_cast<std::int32_t>(i + 1)}, Tag(2024, 5, 1));
            b.Blob = faelle[i].blob;
            buchungen.push_back(b);
            nummern.push_back("1-" + std::to_string(i + 1));
        }
        Schreiben(buchungen);
        TBuchungsprotokoll protokoll;
        const std::string datei = protokoll.PKPFExportieren(site.statemp(), nummern);
        ASSERT_FALSE(datei.empty()) << variante;
        const Lines export_ = SplitLines(site.readFile(datei));
        std::size_t zeile = 1; // after the title line
        for (std::size_t i = 0; i < faelle.size(); ++i) {
            const Fall& f = faelle[i];
            TPKPFDetails details;
            protokoll.TrvPKPFSaetzeEinstellen(&nummern[i], details);
            EXPECT_EQ(details.Saetze, f.saetze) << variante << ": " << f.name;

            ASSERT_LT(zeile, export_.size()) << variante << ": " << f.name;
            EXPECT_TRUE(export_[zeile].starts_with("0001-")) << variante << ": " << f.name;
            ++zeile;
            for (const TPKPF_Blob_Rec& s : f.saetze) {
                std::string erwartet;
                PKPFExportSatzAnhaengen(erwartet, s.Kennung, s.WRDON, s.Beschreibung);
                ASSERT_LT(zeile, export_.size()) << variante << ": " << f.name;
                EXPECT_EQ(export_[zeile] + "\r\n", erwartet) << variante << ": " << f.name;
                ++zeile;
            }
        }
        EXPECT_EQ(zeile, export_.size()) << variante;
        EXPECT_TRUE(Info().registered().empty()) << variante;
    }
};

TEST_F(RecordText, TheSameRulesInTheGridAndTheExport) {
    Pruefen(Faelle(), "usual text");
}

// A control character in a comment sends the text past the quick reader to inih: the rules must
// not depend on which reader takes a text.
TEST_F(RecordText, TheFullReaderFollowsTheSameRules) {
    std::vector<Fall> faelle;
    for (const Fall& f : Faelle()) {
        if (f.saetze == kDefekt)
            continue;
        TMemoryStream gepackt(f.blob);
        TMemoryStream text;
        UnzipStream(text, gepackt);
        faelle.push_back({f.name, Zip(text.Bytes() + "; \x01\r\n"), f.saetze});
    }
    Pruefen(faelle, "text for the full reader");
}

} // namespace
