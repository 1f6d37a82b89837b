#include "booking/pkpf_generator.h"

#include <algorithm>
#include <random>

namespace infemora {

std::vector<TPKPF_Buchung> PkpfBuchungenErzeugen(const PkpfGeneratorOptionen& o) {
    // std::mt19937 is specified exactly, unlike the standard distributions; values are taken
    // from it by modulo so that every platform makes the same bookings.
    std::mt19937 rng(o.seed);
    auto zahl = [&rng](std::uint32_t n) { return n == 0 ? 0u : static_cast<std::uint32_t>(rng() % n); };
    static const char* const programme[] = {"KASSE", "WWS", "BACKOF", "FILIAL"};
    static const char* const vorfaelle[] = {"VK", "RT", "STO", "EK", "UMB"};
    static const char* const benutzer[] = {"M\xFCller, J\xF6rg", "Schr\366der, Anna", "Wei\xDF, Karl",
                                           "B\344cker; Filiale 2", "Kasse 1"};
    static const char* const arten[] = {"RW", "DE", "AR", "ZA", "BO"};
    static const char* const texte[] = {
        "Artikel verkauft", "R\374ckgabe Kunde", "Preis ge\xE4ndert; alt 4,99",
        "Zahlung bar",      "Bon gedruckt",      "Gutschein eingel\xF6st"};

    const TDateTime bis = o.bisDatum.isZero() ? Today() : o.bisDatum.dateOnly();
    const int tage = std::max(1, o.tage);
    const std::int64_t spanne = static_cast<std::int64_t>(tage) * MsPerDay;
    const std::int64_t anfang = bis.ms - (tage - 1) * MsPerDay;

    std::vector<TPKPF_Buchung> out;
    out.reserve(o.anzahl);
    for (std::size_t i = 0; i < o.anzahl; ++i) {
        TPKPF_Buchung b;
        b.BuchungsNr = TIntPair{o.rNr, static_cast<std::int32_t>(o.lNrStart + static_cast<std::int64_t>(i))};
        // Evenly spread over the days, on whole seconds, rising with the number.
        const std::int64_t punkt =
            anfang +
            (o.anzahl <= 1 ? 0 : spanne * static_cast<std::int64_t>(i) / static_cast<std::int64_t>(o.anzahl));
        const TDateTime zeitpunkt(punkt / 1000 * 1000);
        b.BuchDatum = zeitpunkt.dateOnly();
        b.BuchZeit = TDateTime(zeitpunkt.timeMs());
        b.Programm = programme[zahl(4)];
        b.Vorfall = vorfaelle[zahl(5)];
        b.ProzessId = static_cast<std::int32_t>(1000 + zahl(60000));
        b.StartDatum = b.BuchDatum;
        b.StartZeit = TDateTime(std::max<std::int64_t>(0, b.BuchZeit.ms - 1000 * zahl(30)));
        b.EndeDatum = b.BuchDatum;
        b.EndeZeit = b.BuchZeit;
        b.Terminal = "KASSE" + std::to_string(1 + zahl(8));
        b.BenutzerId =
            TIntPair{static_cast<std::int32_t>(1 + zahl(3)), static_cast<std::int32_t>(100 + zahl(900))};
        b.BenutzerName = benutzer[zahl(5)];
        b.Version = "7." + std::to_string(zahl(10)) + "." + std::to_string(zahl(100));
        b.VersionDatum = EncodeDate(2023, 1 + static_cast<int>(zahl(12)), 1 + static_cast<int>(zahl(28)));
        std::int32_t laenge = 0;
        for (std::size_t s = 0; s < o.saetzeJeBuchung; ++s) {
            TPKPF_Blob_Rec rec;
            rec.Kennung = std::string("S").append(std::to_string(100 + s));
            rec.WRDON = arten[zahl(5)];
            rec.Beschreibung = std::string(texte[zahl(6)]) + " " + std::to_string(zahl(100000));
            laenge +=
                static_cast<std::int32_t>(rec.Kennung.size() + rec.WRDON.size() + rec.Beschreibung.size());
            b.Saetze.push_back(std::move(rec));
        }
        b.SatzAnzahl = static_cast<std::int32_t>(o.saetzeJeBuchung);
        b.GesLaenge = laenge;
        out.push_back(std::move(b));
    }
    return out;
}

void PkpfBuchungenSchreiben(const std::string& dbPath, const std::vector<TPKPF_Buchung>& buchungen) {
    BookingWriter writer(dbPath);
    writer.begin();
    for (const TPKPF_Buchung& b : buchungen)
        writer.insert(b);
    writer.commit();
}

} // namespace infemora
