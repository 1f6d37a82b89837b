#pragma once
// Shared pieces of the booking tests: a private site whose settings name a booking file, made-up
// bookings with exactly the fields a test cares about, and a look at what was registered.
#include "booking/buchungsprotokoll.h"
#include "booking/pkpf_blob.h"
#include "booking/pkpf_writer.h"
#include "host/messages.h"
#include "host/settings.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace infemora::booktest {

// A record text compressed as the booking file stores it.
inline std::string Zip(const std::string& text) {
    TMemoryStream in(text);
    TMemoryStream out;
    ZipStream(out, in);
    return out.Bytes();
}

inline TDateTime Tag(int y, int m, int d) {
    return EncodeDate(y, m, d);
}
inline TDateTime Uhr(int h, int mi, int s) {
    return EncodeTime(h, mi, s, 0);
}

inline TPKPF_Buchung Buchung(TIntPair nr, TDateTime datum, TDateTime zeit = Uhr(12, 0, 0)) {
    TPKPF_Buchung b;
    b.BuchungsNr = nr;
    b.BuchDatum = datum;
    b.BuchZeit = zeit;
    b.Programm = "KASSE";
    b.Vorfall = "VK";
    b.SatzAnzahl = 2;
    b.GesLaenge = 40;
    b.ProzessId = 4711;
    b.StartDatum = datum;
    b.StartZeit = Uhr(11, 59, 58);
    b.EndeDatum = datum;
    b.EndeZeit = zeit;
    b.Terminal = "KASSE3";
    b.BenutzerId = {2, 17};
    b.BenutzerName = "M\xFCller";
    b.Version = "7.1.2";
    b.VersionDatum = Tag(2023, 6, 1);
    b.Saetze = {{"S1", "RW", "Artikel verkauft"}, {"S2", "DE", "Zahlung bar"}};
    return b;
}

class BookingTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings s = site.settings();
        s.rid = 5;
        SetSettingsForTesting(s);
        // Tests pin "now" where it matters; a fixed day keeps the others independent of the date too.
        SetClockForTesting(Tag(2024, 5, 10) + Uhr(14, 3, 7));
    }
    void TearDown() override { SetClockForTesting(TDateTime()); }

    std::string db() const { return site.settings().buchungsDatei; }
    void Schreiben(const std::vector<TPKPF_Buchung>& buchungen) {
        BookingWriter w(db());
        w.begin();
        for (const auto& b : buchungen)
            w.insert(b);
        w.commit();
    }
    static std::vector<std::string> Kontexte() {
        std::vector<std::string> out;
        for (const auto& r : Info().registered())
            out.push_back(r.context);
        return out;
    }
    static std::vector<std::string> Nummern(const std::vector<TPKPFKopfZeile>& zeilen) {
        std::vector<std::string> out;
        for (const auto& z : zeilen)
            out.push_back(z.BuchungsNr);
        return out;
    }

    testenv::TempSite site;
};

} // namespace infemora::booktest
