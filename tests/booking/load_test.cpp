// Loading the booking list for the three selections, the selection state, the details of one
// booking, and the booking file that is opened once.
#include "booking/pkpf_generator.h"
#include "booking_fixture.h"
#include "host/fileutil.h"

#include <algorithm>

using namespace infemora;
using namespace infemora::booktest;

namespace {

class LoadTest : public BookingTest {
protected:
    std::vector<std::string> Laden(const TPKPFAuswahl& a) {
        std::vector<TPKPFKopfZeile> zeilen;
        EXPECT_TRUE(protokoll.PKPFAnzeigeAktualisieren(a, zeilen));
        return Nummern(zeilen);
    }
    static TPKPFAuswahl LetzteTage(const std::string& n) {
        TPKPFAuswahl a;
        a.letzteTage = n;
        return a;
    }
    static TPKPFAuswahl VonBis(const std::string& von, const std::string& bis) {
        TPKPFAuswahl a;
        a.modus = TPKPFAnzeigeModus::VonBis;
        a.von = von;
        a.bis = bis;
        return a;
    }
    static TPKPFAuswahl Nummer(std::int32_t r, std::int32_t von, std::int32_t bis) {
        TPKPFAuswahl a;
        a.modus = TPKPFAnzeigeModus::Buchungsnummer;
        a.rNr = r;
        a.lNrVon = von;
        a.lNrBis = bis;
        return a;
    }

    TBuchungsprotokoll protokoll;
};

TEST_F(LoadTest, LastDaysCountsTodayAndTheNDaysBefore) {
    // Today is 10.05.2024 (fixture); one booking on each of the days around the bounds.
    const TDateTime heute = Tag(2024, 5, 10);
    Schreiben({Buchung({1, 31}, heute.addDays(-31), Uhr(23, 59, 59)),
               Buchung({1, 30}, heute.addDays(-30), Uhr(0, 0, 0)),
               Buchung({1, 1}, heute.addDays(-1), Uhr(23, 59, 59)), Buchung({1, 0}, heute, Uhr(0, 0, 0)),
               Buchung({1, 99}, heute, Uhr(23, 59, 59)), Buchung({1, 100}, heute.addDays(1), Uhr(0, 0, 0))});

    EXPECT_EQ(Laden(LetzteTage("0")), (std::vector<std::string>{"1-0", "1-99"}));
    EXPECT_EQ(protokoll.FPKPFDatumVon, heute);
    EXPECT_EQ(protokoll.FPKPFDatumBis, heute);

    const std::vector<std::string> dreissig{"1-30", "1-1", "1-0", "1-99"};
    EXPECT_EQ(Laden(LetzteTage("30")), dreissig);
    EXPECT_EQ(protokoll.FPKPFDatumVon, Tag(2024, 4, 10));
    EXPECT_EQ(Laden(LetzteTage("")), dreissig); // an empty field counts as 30
    EXPECT_EQ(Laden(LetzteTage("abc")), dreissig);
    EXPECT_EQ(Laden(LetzteTage("1")), (std::vector<std::string>{"1-1", "1-0", "1-99"}));
}

TEST_F(LoadTest, DateRangeReadsTwoDigitYearsAndTakesBothDays) {
    SetClockForTesting(Tag(2024, 7, 1));
    Schreiben({Buchung({1, 1}, Tag(2024, 3, 4)), Buchung({1, 2}, Tag(2024, 3, 5)),
               Buchung({1, 3}, Tag(2024, 3, 7)), Buchung({1, 4}, Tag(2024, 3, 8)),
               Buchung({2, 1}, Tag(1925, 3, 6)), Buchung({2, 2}, Tag(2025, 3, 6))});

    EXPECT_EQ(Laden(VonBis("05.03.24", "07.03.24")), (std::vector<std::string>{"1-2", "1-3"}));
    EXPECT_EQ(protokoll.FPKPFDatumVon, Tag(2024, 3, 5));
    EXPECT_EQ(protokoll.FPKPFDatumBis, Tag(2024, 3, 7));
    // 2025 lies after the current year 2024: the digits 25 mean 1925.
    EXPECT_EQ(Laden(VonBis("01.03.25", "31.03.25")), (std::vector<std::string>{"2-1"}));
    EXPECT_EQ(protokoll.FPKPFDatumVon, Tag(1925, 3, 1));
    // No check that the range runs forward: it simply finds nothing.
    EXPECT_TRUE(Laden(VonBis("07.03.24", "05.03.24")).empty());
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(LoadTest, DateThatCannotBeEncodedIsRegisteredAndTheListStaysEmpty) {
    Schreiben({Buchung({1, 1}, Tag(2024, 3, 4))});
    std::vector<TPKPFKopfZeile> zeilen(3);
    EXPECT_TRUE(protokoll.PKPFAnzeigeAktualisieren(VonBis("31.02.24", "07.03.24"), zeilen));
    EXPECT_TRUE(zeilen.empty());
    EXPECT_EQ(Kontexte(), (std::vector<std::string>{"TfrmParallel.PKPFAnzeigeAktualisieren"}));
    EXPECT_EQ(protokoll.FPKPFDatumVon, TDateTime());
    // The window goes on working.
    EXPECT_EQ(Laden(VonBis("04.03.24", "04.03.24")), (std::vector<std::string>{"1-1"}));
}

TEST_F(LoadTest, BookingNumberWithAndWithoutUpperBound) {
    Schreiben({Buchung({12, 344}, Tag(2024, 1, 5)), Buchung({12, 345}, Tag(2024, 1, 4)),
               Buchung({12, 400}, Tag(2024, 1, 3)), Buchung({12, 401}, Tag(2024, 1, 2)),
               Buchung({13, 345}, Tag(2024, 1, 1))});

    EXPECT_EQ(Laden(Nummer(12, 345, 0)), (std::vector<std::string>{"12-345"}));
    EXPECT_EQ(protokoll.FPKPFBuchungsNrVon, (TIntPair{12, 345}));
    EXPECT_FALSE(IntPairDefined(protokoll.FPKPFBuchungsNrBis));
    EXPECT_EQ(protokoll.FPKPFDatumVon, TDateTime());

    // Both ends included, listed in booking order (the listing key), not by number.
    EXPECT_EQ(Laden(Nummer(12, 345, 400)), (std::vector<std::string>{"12-400", "12-345"}));
    EXPECT_EQ(protokoll.FPKPFBuchungsNrBis, (TIntPair{12, 400}));
    EXPECT_TRUE(Laden(Nummer(12, 346, 0)).empty());
}

TEST_F(LoadTest, EmptyNumberFieldLeavesListAndSelectionAsTheyWere) {
    Schreiben({Buchung({12, 345}, Tag(2024, 5, 10))});
    std::vector<TPKPFKopfZeile> zeilen;
    ASSERT_TRUE(protokoll.PKPFAnzeigeAktualisieren(LetzteTage("3"), zeilen));
    ASSERT_EQ(zeilen.size(), 1u);

    EXPECT_FALSE(protokoll.PKPFAnzeigeAktualisieren(Nummer(0, 345, 0), zeilen));
    EXPECT_FALSE(protokoll.PKPFAnzeigeAktualisieren(Nummer(12, 0, 400), zeilen));
    EXPECT_EQ(zeilen.size(), 1u);
    EXPECT_EQ(protokoll.FPKPFDatumVon, Tag(2024, 5, 7));
    EXPECT_EQ(protokoll.FPKPFDatumBis, Tag(2024, 5, 10));
    EXPECT_FALSE(IntPairDefined(protokoll.FPKPFBuchungsNrVon));
}

TEST_F(LoadTest, RowsHoldTheTenCellsOfTheGrid) {
    TPKPF_Buchung b = Buchung({12, 345}, Tag(2024, 3, 11), Uhr(14, 25, 1));
    b.Programm = "WWS";
    b.Vorfall = "RT";
    b.BenutzerName = "Sch\xF6n";
    b.SatzAnzahl = 9;
    b.GesLaenge = 1234;
    Schreiben({b});
    std::vector<TPKPFKopfZeile> zeilen;
    ASSERT_TRUE(protokoll.PKPFAnzeigeAktualisieren(Nummer(12, 345, 0), zeilen));
    ASSERT_EQ(zeilen.size(), 1u);
    const TPKPFKopfZeile& z = zeilen[0];
    EXPECT_EQ(z.BuchungsNr, "12-345");
    EXPECT_EQ(z.DatumZeit, "11.03.2024, 14:25:01");
    EXPECT_EQ(z.DatumZeitSort, Tag(2024, 3, 11) + Uhr(14, 25, 1));
    EXPECT_EQ(z.Programm, "WWS");
    EXPECT_EQ(z.Vorfall, "RT");
    EXPECT_EQ(z.Benutzer, "Sch\xF6n");
    EXPECT_EQ(z.SatzAnzahl, "9");
    EXPECT_EQ(z.SatzAnzahlSort, 9);
    EXPECT_EQ(z.GesLaenge, "1234");
    EXPECT_EQ(z.GesLaengeSort, 1234);
}

TEST_F(LoadTest, DetailsOfABookingAndOfOneThatIsGone) {
    TPKPF_Buchung b = Buchung({12, 345}, Tag(2024, 3, 11));
    b.ProzessId = 815;
    b.Terminal = "KASSE7";
    b.StartDatum = Tag(2024, 3, 11);
    b.StartZeit = Uhr(8, 0, 1);
    b.EndeDatum = Tag(2024, 3, 12);
    b.EndeZeit = Uhr(0, 0, 2);
    b.Version = "7.1";
    b.VersionDatum = Tag(2023, 6, 1);
    Schreiben({b});

    TPKPFDetails d;
    const std::string nr = "12-345";
    protokoll.TrvPKPFSaetzeEinstellen(&nr, d);
    EXPECT_TRUE(d.gefunden);
    EXPECT_EQ(d.Prozess, "815");
    EXPECT_EQ(d.Terminal, "KASSE7");
    EXPECT_EQ(d.StartVerarb, "11.03.2024, 08:00:01");
    EXPECT_EQ(d.EndeVerarb, "12.03.2024, 00:00:02");
    EXPECT_EQ(d.Version, "7.1 (01.06.2023)");
    ASSERT_EQ(d.Saetze.size(), 2u);
    EXPECT_EQ(d.Saetze[1].WRDON, "DE");

    const std::string weg = "12-346";
    protokoll.TrvPKPFSaetzeEinstellen(&weg, d);
    EXPECT_FALSE(d.gefunden);
    EXPECT_TRUE(d.Terminal.empty());
    EXPECT_TRUE(d.Saetze.empty());

    protokoll.TrvPKPFSaetzeEinstellen(&nr, d);
    protokoll.TrvPKPFSaetzeEinstellen(nullptr, d);
    EXPECT_FALSE(d.gefunden);
    EXPECT_TRUE(d.Saetze.empty());
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(LoadTest, BookingFileIsCreatedOnceAndAFailedOpenIsNotRetried) {
    EXPECT_FALSE(protokoll.FPKPFFile);
    protokoll.PKPFFile_CiN(); // no file yet
    ASSERT_TRUE(protokoll.FPKPFFile);
    const Tpkpffile* erstes = protokoll.FPKPFFile.get();
    EXPECT_FALSE(erstes->IsOpen());
    EXPECT_EQ(Kontexte(), (std::vector<std::string>{"TfrmParallel.PKPFFile_CiN"}));

    Schreiben({Buchung({1, 1}, Tag(2024, 5, 10))});
    protokoll.PKPFFile_CiN();
    EXPECT_EQ(protokoll.FPKPFFile.get(), erstes);
    EXPECT_FALSE(protokoll.FPKPFFile->IsOpen());

    std::vector<TPKPFKopfZeile> zeilen;
    EXPECT_TRUE(protokoll.PKPFAnzeigeAktualisieren(LetzteTage("1"), zeilen));
    EXPECT_TRUE(zeilen.empty());
    EXPECT_EQ(Kontexte().back(), "TfrmParallel.PKPFAnzeigeAktualisieren");
    EXPECT_NE(Info().registered().back().message.find("nicht geöffnet"), std::string::npos);

    // A fresh window opens it.
    TBuchungsprotokoll neu;
    neu.PKPFFile_CiN();
    ASSERT_TRUE(neu.FPKPFFile);
    EXPECT_TRUE(neu.FPKPFFile->IsOpen());
    neu.PKPFFile_CiN();
    EXPECT_TRUE(neu.FPKPFFile->IsOpen());
}

TEST_F(LoadTest, ManyBookingsLoadInBookingOrder) {
    PkpfGeneratorOptionen o;
    o.anzahl = 2000;
    o.saetzeJeBuchung = 1;
    o.bisDatum = Tag(2024, 5, 10);
    o.tage = 10;
    auto buchungen = PkpfBuchungenErzeugen(o);
    std::reverse(buchungen.begin(), buchungen.end());
    Schreiben(buchungen);
    std::vector<TPKPFKopfZeile> zeilen;
    ASSERT_TRUE(protokoll.PKPFAnzeigeAktualisieren(LetzteTage("30"), zeilen));
    ASSERT_EQ(zeilen.size(), 2000u);
    for (size_t i = 1; i < zeilen.size(); ++i)
        ASSERT_LE(zeilen[i - 1].DatumZeitSort, zeilen[i].DatumZeitSort) << i;
}

} // namespace
