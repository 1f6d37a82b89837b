// The record database file: conditions, keys, typed fields, and files that are not what they
// should be.
#include "booking/pkpf_file.h"
#include "booking/pkpf_schema.h"
#include "booking_fixture.h"
#include "host/fileutil.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace infemora;
using namespace infemora::booktest;

namespace {

class PkpfFileTest : public BookingTest {
protected:
    std::vector<std::string> Scan(Tpkpffile& f) {
        std::vector<std::string> out;
        f.Get_first_extMode();
        while (f.Found()) {
            out.push_back(qvr_TIntPair2String(f.BuchungsNr.GetWert()));
            f.Get_next_extMode();
        }
        return out;
    }
    std::vector<std::string> NummernZwischen(Tpkpffile& f, TIntPair von, TIntPair bis) {
        f.ExtendedFilterClear();
        f.SelectKey(KeyBuchungsNr);
        f.BuchungsNr.SetWert(von);
        f.ExtendedFilterAdd(f.BuchungsNr, TDBComparisonCode::GroesserGleich, TDBLogicConnection::Und);
        f.BuchungsNr.SetWert(bis);
        f.ExtendedFilterAdd(f.BuchungsNr, TDBComparisonCode::KleinerGleich, TDBLogicConnection::Letzte);
        return Scan(f);
    }
    std::string Fehler(const std::function<void()>& fn) {
        try {
            fn();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(kein Fehler)";
    }
};

TEST_F(PkpfFileTest, PairConditionsCompareFirstPartThenSecond) {
    Schreiben({Buchung({1, 900}, Tag(2024, 1, 1)), Buchung({2, 5}, Tag(2024, 1, 2)),
               Buchung({2, 100}, Tag(2024, 1, 3)), Buchung({2, 1000}, Tag(2024, 1, 4)),
               Buchung({3, 1}, Tag(2024, 1, 5))});
    Tpkpffile f;
    f.OpenNew(-1);
    // A plain comparison of the second parts would take 1-900 and 3-1 as well.
    EXPECT_EQ(NummernZwischen(f, {2, 50}, {2, 999}), (std::vector<std::string>{"2-100"}));
    EXPECT_EQ(NummernZwischen(f, {1, 900}, {3, 0}),
              (std::vector<std::string>{"1-900", "2-5", "2-100", "2-1000"}));
    EXPECT_EQ(NummernZwischen(f, {2, 1001}, {9, 0}), (std::vector<std::string>{"3-1"}));
    EXPECT_TRUE(NummernZwischen(f, {3, 2}, {2, 1}).empty());

    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    f.BuchungsNr.SetWert({2, 5});
    f.ExtendedFilterAdd(f.BuchungsNr, TDBComparisonCode::Gleich, TDBLogicConnection::Letzte);
    EXPECT_EQ(Scan(f), (std::vector<std::string>{"2-5"}));
}

TEST_F(PkpfFileTest, ListingKeyOrdersByDateThenTimeThenNumber) {
    // Written in an order that is none of the three.
    Schreiben({Buchung({1, 3}, Tag(2024, 1, 2), Uhr(8, 0, 0)), Buchung({1, 9}, Tag(2024, 1, 1), Uhr(9, 0, 0)),
               Buchung({1, 2}, Tag(2024, 1, 1), Uhr(9, 0, 0)),
               Buchung({1, 7}, Tag(2024, 1, 1), Uhr(7, 30, 0))});
    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    EXPECT_EQ(Scan(f), (std::vector<std::string>{"1-7", "1-2", "1-9", "1-3"}));
    f.ExtendedFilterClear();
    f.SelectKey(KeyBuchungsNr);
    EXPECT_EQ(Scan(f), (std::vector<std::string>{"1-2", "1-3", "1-7", "1-9"}));
}

TEST_F(PkpfFileTest, DateConditionsTakeBothBoundsAndEveryTimeOfTheLastDay) {
    Schreiben(
        {Buchung({1, 1}, Tag(2024, 2, 28), Uhr(23, 59, 59)), Buchung({1, 2}, Tag(2024, 2, 29), Uhr(0, 0, 0)),
         Buchung({1, 3}, Tag(2024, 3, 1), Uhr(23, 59, 59)), Buchung({1, 4}, Tag(2024, 3, 2), Uhr(0, 0, 0))});
    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    f.BuchDatum.SetWert(Tag(2024, 2, 29));
    f.ExtendedFilterAdd(f.BuchDatum, TDBComparisonCode::GroesserGleich, TDBLogicConnection::Und);
    f.BuchDatum.SetWert(Tag(2024, 3, 1));
    f.ExtendedFilterAdd(f.BuchDatum, TDBComparisonCode::KleinerGleich, TDBLogicConnection::Letzte);
    EXPECT_EQ(Scan(f), (std::vector<std::string>{"1-2", "1-3"}));
}

TEST_F(PkpfFileTest, ConditionValuesAreBoundNotPastedIntoTheQuery) {
    TPKPF_Buchung a = Buchung({1, 1}, Tag(2024, 1, 1));
    a.Programm = "x' OR '1'='1";
    Schreiben({a, Buchung({1, 2}, Tag(2024, 1, 1))});
    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    f.Programm.SetWert("x' OR '1'='1");
    f.ExtendedFilterAdd(f.Programm, TDBComparisonCode::Gleich, TDBLogicConnection::Letzte);
    EXPECT_EQ(Scan(f), (std::vector<std::string>{"1-1"}));
}

TEST_F(PkpfFileTest, ConditionsAfterTheLastOneAndUnknownCodesAreRefused) {
    Schreiben({Buchung({1, 1}, Tag(2024, 1, 1))});
    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear();
    f.ExtendedFilterAdd(f.SatzAnzahl, TDBComparisonCode::Gleich, TDBLogicConnection::Letzte);
    EXPECT_THROW(f.ExtendedFilterAdd(f.SatzAnzahl, TDBComparisonCode::Gleich, TDBLogicConnection::Letzte),
                 EPkpfError);
    f.ExtendedFilterClear();
    EXPECT_THROW(
        f.ExtendedFilterAdd(f.SatzAnzahl, static_cast<TDBComparisonCode>(3), TDBLogicConnection::Letzte),
        EPkpfError);
    EXPECT_THROW(f.SelectKey(99), EPkpfError);
    EXPECT_THROW(f.OpenNew(0), EPkpfError); // the viewer never opens for writing
}

TEST_F(PkpfFileTest, KeyReadGivesEveryFieldAsWritten) {
    TPKPF_Buchung b = Buchung({12, 345}, Tag(2024, 3, 11), Uhr(14, 25, 1));
    b.Programm = "KASSE";
    b.Vorfall = "R\xFC";
    b.SatzAnzahl = 9;
    b.GesLaenge = -3;
    b.ProzessId = 2147483647;
    b.StartDatum = Tag(2024, 3, 10);
    b.StartZeit = Uhr(23, 59, 59);
    b.EndeDatum = Tag(2024, 3, 11);
    b.EndeZeit = Uhr(0, 0, 1);
    b.Terminal = "T\xE4rm; 2";
    b.BenutzerId = {-4, 2000000000};
    b.BenutzerName = "Wei\xDF, \x80-Kasse";
    b.Version = "7.0";
    b.VersionDatum = Tag(1999, 12, 31);
    Schreiben({Buchung({12, 344}, Tag(2024, 3, 11)), b});

    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear();
    f.SelectKey(KeyBuchungsNr);
    f.BuchungsNr.SetKeyWert({12, 345});
    f.Get_equal();
    ASSERT_TRUE(f.Found());
    EXPECT_EQ(f.BuchungsNr.GetWert(), (TIntPair{12, 345}));
    EXPECT_EQ(f.BuchDatum.GetWert(), b.BuchDatum);
    EXPECT_EQ(f.BuchZeit.GetWert(), b.BuchZeit);
    EXPECT_EQ(f.Programm.GetWert(), b.Programm);
    EXPECT_EQ(f.Vorfall.GetWert(), b.Vorfall);
    EXPECT_EQ(f.SatzAnzahl.GetWert(), 9);
    EXPECT_EQ(f.GesLaenge.GetWert(), -3);
    EXPECT_EQ(f.ProzessId.GetWert(), 2147483647);
    EXPECT_EQ(f.StartDatum.GetWert(), b.StartDatum);
    EXPECT_EQ(f.StartZeit.GetWert(), b.StartZeit);
    EXPECT_EQ(f.EndeDatum.GetWert(), b.EndeDatum);
    EXPECT_EQ(f.EndeZeit.GetWert(), b.EndeZeit);
    EXPECT_EQ(f.Terminal.GetWert(), b.Terminal);
    EXPECT_EQ(f.BenutzerId.GetWert(), b.BenutzerId);
    EXPECT_EQ(f.BenutzerName.GetWert(), b.BenutzerName);
    EXPECT_EQ(f.Version.GetWert(), b.Version);
    EXPECT_EQ(f.VersionDatum.GetWert(), b.VersionDatum);

    f.ExtendedFilterClear();
    f.SelectKey(KeyBuchungsNr);
    f.BuchungsNr.SetKeyWert({12, 346});
    f.Get_equal();
    EXPECT_FALSE(f.Found());
}

TEST_F(PkpfFileTest, ScanReadsEachRecordsOwnValues) {
    TPKPF_Buchung a = Buchung({1, 1}, Tag(2024, 1, 1));
    a.Programm = "EINS";
    TPKPF_Buchung b = Buchung({1, 2}, Tag(2024, 1, 2));
    b.Programm = "ZWEI";
    Schreiben({a, b});
    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    f.Get_first_extMode();
    ASSERT_TRUE(f.Found());
    EXPECT_EQ(f.Programm.GetWert(), "EINS");
    f.Get_next_extMode();
    ASSERT_TRUE(f.Found());
    // Read for the first record only now, the number must still be that of the second.
    EXPECT_EQ(f.BuchungsNr.GetWert(), (TIntPair{1, 2}));
    EXPECT_EQ(f.Programm.GetWert(), "ZWEI");
    f.Get_next_extMode();
    EXPECT_FALSE(f.Found());
}

TEST_F(PkpfFileTest, NarrowedScanReadsItsFieldsFromTheirOwnColumnsAndRefusesTheRest) {
    TPKPF_Buchung a = Buchung({1, 7}, Tag(2024, 1, 2));
    a.Programm = "EINS";
    a.Terminal = "T1";
    TPKPF_Buchung b = Buchung({2, 3}, Tag(2024, 1, 1));
    b.Programm = "ZWEI";
    b.Terminal = "T2";
    Schreiben({a, b});
    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    // Listed out of the order the file declares them: each must still get its own column.
    f.NurFelderLesen({&f.Terminal, &f.BuchungsNr});
    f.Get_first_extMode();
    ASSERT_TRUE(f.Found());
    EXPECT_EQ(f.BuchungsNr.GetWert(), (TIntPair{2, 3}));
    EXPECT_EQ(f.Terminal.GetWert(), "T2");
    EXPECT_NE(Fehler([&] { (void)f.Programm.GetWert(); }).find("nicht gelesen"), std::string::npos);
    f.Get_next_extMode();
    ASSERT_TRUE(f.Found());
    EXPECT_EQ(f.Terminal.GetWert(), "T1");
    EXPECT_EQ(f.BuchungsNr.GetWert(), (TIntPair{1, 7}));

    // A key read on the way reads every field again.
    f.SelectKey(KeyBuchungsNr);
    f.BuchungsNr.SetKeyWert({2, 3});
    f.Get_equal();
    ASSERT_TRUE(f.Found());
    EXPECT_EQ(f.Programm.GetWert(), "ZWEI");

    // The next selection reads every field unless it narrows again.
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    f.Get_first_extMode();
    ASSERT_TRUE(f.Found());
    EXPECT_EQ(f.Programm.GetWert(), "ZWEI");
    EXPECT_EQ(f.BuchungsNr.GetWert(), (TIntPair{2, 3}));
}

// A blockwise scan goes on after the last key of each block: ties on date and time, which the
// number breaks, must neither repeat nor lose a record, and each record brings its own blob.
TEST_F(PkpfFileTest, BlockwiseScanGivesEveryRecordOnceInKeyOrderWithItsBlob) {
    std::vector<TPKPF_Buchung> buchungen;
    for (std::int32_t n = 40; n >= 1; --n) {
        TPKPF_Buchung b = Buchung({1 + n % 3, n}, Tag(2024, 1, 1 + n % 2), Uhr(12, 0, n % 4));
        b.Saetze = {{"K" + std::to_string(n), "RW", "x"}};
        buchungen.push_back(b);
    }
    Schreiben(buchungen);
    Tpkpffile f;
    f.OpenNew(-1);
    for (const TDBKeyNr key : {KeyListe, KeyBuchungsNr}) {
        std::vector<std::string> gesamt = [&] {
            f.ExtendedFilterClear();
            f.SelectKey(key);
            return Scan(f);
        }();
        f.ExtendedFilterClear();
        f.SelectKey(key);
        f.BlockweiseMitBlobLesen(3);
        std::vector<std::string> blockweise;
        for (f.Get_first_extMode(); f.Found(); f.Get_next_extMode()) {
            blockweise.push_back(qvr_TIntPair2String(f.BuchungsNr.GetWert()));
            std::string blob;
            f.BlobKopieren(blob);
            TPKPF_Blob_Arr saetze;
            PKPFSaetzeAusBlob(saetze, blob);
            ASSERT_EQ(saetze.size(), 1u);
            EXPECT_EQ(saetze[0].Kennung, "K" + std::to_string(f.BuchungsNr.GetWert().L));
        }
        EXPECT_EQ(blockweise.size(), 40u);
        EXPECT_EQ(blockweise, gesamt) << "key " << key;
    }

    // With conditions: a range of numbers across blocks, as an export without a grid reads it.
    f.ExtendedFilterClear();
    f.SelectKey(KeyBuchungsNr);
    f.BuchungsNr.SetWert({2, 10});
    f.ExtendedFilterAdd(f.BuchungsNr, TDBComparisonCode::GroesserGleich, TDBLogicConnection::Und);
    f.BuchungsNr.SetWert({2, 31});
    f.ExtendedFilterAdd(f.BuchungsNr, TDBComparisonCode::KleinerGleich, TDBLogicConnection::Letzte);
    f.BlockweiseMitBlobLesen(2);
    EXPECT_EQ(Scan(f),
              (std::vector<std::string>{"2-10", "2-13", "2-16", "2-19", "2-22", "2-25", "2-28", "2-31"}));
}

TEST_F(PkpfFileTest, MissingFileNotADatabaseAndForeignDatabasesAreRefusedInGerman) {
    Tpkpffile f;
    EXPECT_NE(Fehler([&] { f.OpenNew(-1); }).find("ist nicht vorhanden"), std::string::npos);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_NE(Fehler([&] { f.Get_first_extMode(); }).find("nicht geöffnet"), std::string::npos);

    site.writeFile(db(), std::string(4096, 'x'));
    EXPECT_NE(Fehler([&] { f.OpenNew(-1); }).find("keine SQLite-Datenbank"), std::string::npos);

    Ensure_DeleteFile(db());
    {
        SqliteDb fremd = SqliteDb::Open(db(), false, true, 0);
        fremd.exec("CREATE TABLE kunden (id INTEGER)");
    }
    EXPECT_NE(Fehler([&] { f.OpenNew(-1); }).find("keine Buchungsprotokoll-Datenbank"), std::string::npos);

    Ensure_DeleteFile(db());
    Schreiben({Buchung({1, 1}, Tag(2024, 1, 1))});
    {
        SqliteDb alt = SqliteDb::Open(db(), false, false, 0);
        alt.exec("PRAGMA user_version = 2");
    }
    EXPECT_NE(Fehler([&] { f.OpenNew(-1); }).find("Schema-Version 2"), std::string::npos);
    EXPECT_FALSE(f.IsOpen());
}

TEST_F(PkpfFileTest, LockedFileFailsAfterTheWaitAndIsReadOnceTheWriterIsDone) {
    Schreiben({Buchung({1, 1}, Tag(2024, 1, 1))});
    Tpkpffile f;
    f.SetBusyTimeout(100);
    f.OpenNew(-1);

    SqliteDb writer = SqliteDb::Open(db(), false, false, 0);
    writer.exec("BEGIN EXCLUSIVE");
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    EXPECT_NE(Fehler([&] { f.Get_first_extMode(); }).find("gesperrt"), std::string::npos);
    writer.exec("COMMIT");

    // A writer that holds the file for less than the wait does not disturb the viewer.
    f.SetBusyTimeout(5000);
    f.Close();
    f.OpenNew(-1);
    writer.exec("BEGIN EXCLUSIVE");
    std::thread release([&writer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        writer.exec("COMMIT");
    });
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    EXPECT_EQ(Scan(f), (std::vector<std::string>{"1-1"}));
    release.join();
}

TEST_F(PkpfFileTest, OpeningWhileAWriterHoldsTheFileChecksTheFileAtTheFirstRead) {
    Schreiben({Buchung({1, 1}, Tag(2024, 1, 1))});
    SqliteDb writer = SqliteDb::Open(db(), false, false, 0);
    writer.exec("BEGIN EXCLUSIVE");
    Tpkpffile f;
    f.SetBusyTimeout(50);
    EXPECT_NO_THROW(f.OpenNew(-1));
    EXPECT_TRUE(f.IsOpen());
    writer.exec("COMMIT");
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    EXPECT_EQ(Scan(f), (std::vector<std::string>{"1-1"}));
}

TEST_F(PkpfFileTest, ViewerHoldsNoReadLockWhileShowingABooking) {
    Schreiben({Buchung({1, 1}, Tag(2024, 1, 1)), Buchung({1, 2}, Tag(2024, 1, 2))});
    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear();
    f.SelectKey(KeyBuchungsNr);
    f.BuchungsNr.SetKeyWert({1, 1});
    f.Get_equal();
    ASSERT_TRUE(f.Found());
    auto blob = f.CreateBlobStream();

    // A point-of-sale program must be able to write at once (no waiting allowed here).
    BookingWriter writer(db(), 0);
    writer.begin();
    writer.insert(Buchung({1, 3}, Tag(2024, 1, 3)));
    EXPECT_NO_THROW(writer.commit());

    // And after a completed scan as well.
    f.ExtendedFilterClear();
    f.SelectKey(KeyListe);
    EXPECT_EQ(Scan(f).size(), 3u);
    writer.begin();
    writer.insert(Buchung({1, 4}, Tag(2024, 1, 4)));
    EXPECT_NO_THROW(writer.commit());
}

TEST(PkpfSchema, WriterRefusesForeignFilesAndLeavesThemAlone) {
    testenv::TempSite site;
    const std::string path = site.path("fremd.db");
    site.writeFile(path, "kein SQLite");
    EXPECT_THROW(BookingWriter w(path), EPkpfError);
    EXPECT_EQ(site.readFile(path), "kein SQLite");
}

} // namespace
