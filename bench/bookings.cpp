// Bookings in the import format: one JSON object a line, in UTF-8 as JSON wants it.
#include "bench/gensite.h"
#include "bench/logwriter.h"

#include "host/errors.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <map>

namespace infemora::gensite {

namespace {

struct Booking {
    TDateTime when;
    int kasse;
};

std::string IsoDate(TDateTime t) {
    return FormatDateTime("yyyy-MM-dd", t);
}
std::string IsoTime(TDateTime t) {
    return FormatDateTime("HH:mm:ss", t);
}

struct Kind {
    const char* programm;
    std::vector<const char*> vorfall;
};

const std::array<Kind, 3>& Kinds() {
    static const std::array<Kind, 3> k = {{
        {"KASSE", {"Verkauf", "Storno", "Rückgabe", "Gutschein"}},
        {"WAWI", {"Wareneingang", "Umbuchung", "Inventur"}},
        {"FAKTURA", {"Rechnung", "Gutschrift"}},
    }};
    return k;
}

const std::array<const char*, 6>& Users() {
    static const std::array<const char*, 6> u = {"Bediener 1", "Bediener 2", "Müller",
                                                 "Schäfer",    "Büro",       "Chef"};
    return u;
}

nlohmann::ordered_json Satz(EntryWriter& w, int index, int count) {
    static const std::array<const char*, 8> articles = {
        "Jeans Größe 42",       "Hemd weiß",  "Schraube ø 4 mm", "Kaffee 500 g",
        "Tür-Scharnier Maß 80", "Socken 3er", "Mütze grün",      "Kabel 5 m"};
    std::string wrdon, text;
    if (index == 0) {
        wrdon = "KO";
        text = "Kopfsatz Beleg " + std::to_string(w.uniform(10000, 99999));
    } else if (index == count - 1 && count > 2) {
        wrdon = "ZA";
        text = "Zahlung " + std::string(w.uniform(0, 1) ? "Bar" : "EC-Karte") + " " +
               std::to_string(w.uniform(1, 499)) + "," + std::to_string(w.uniform(10, 99)) + " EUR";
    } else {
        static const std::array<const char*, 5> kinds = {"RW", "RW", "DE", "DE", "AR"};
        wrdon = kinds[static_cast<std::size_t>(w.uniform(0, 4))];
        text = std::string(wrdon == "DE" ? "Detail " : "Artikel ") + std::to_string(w.uniform(1000, 9999)) +
               " " + articles[static_cast<std::size_t>(w.uniform(0, 7))] + ", Menge " +
               std::to_string(w.uniform(1, 12));
    }
    char kennung[16];
    std::snprintf(kennung, sizeof kennung, "S%04d", index + 1);
    return {{"Kennung", kennung}, {"WRDON", wrdon}, {"Beschreibung", text}};
}

} // namespace

void WriteBookingsJsonl(const std::string& file, int count, int records, const GenParams& p) {
    if (count < 0 || p.days < 1)
        throw EInfemora("bookings need a count of zero or more and at least one day");
    std::mt19937 rng(p.seed ^ 0x5bd1e995u);
    EntryWriter w(rng);
    const TDateTime firstDay = p.today.dateOnly().addDays(-(p.days - 1));
    std::vector<Booking> bookings(static_cast<std::size_t>(count));
    for (auto& b : bookings) {
        const int d = w.uniform(0, p.days - 1);
        const int end = d == p.days - 1 ? std::max(p.lastDayEndSecond, 7 * 3600) : 21 * 3600;
        const int s = w.uniform(7 * 3600, std::max(7 * 3600, end));
        b.when = firstDay.addDays(d) + TDateTime(s * MsPerSecond);
        b.kasse = w.uniform(1, 4);
    }
    std::sort(bookings.begin(), bookings.end(),
              [](const Booking& a, const Booking& b) { return a.when < b.when; });

    std::map<int, int> nextNr;
    OutFile out(file, std::size_t(1) << 20);
    for (const auto& b : bookings) {
        const Kind& kind = Kinds()[static_cast<std::size_t>(w.uniform(0, 9) < 7 ? 0 : w.uniform(1, 2))];
        const int user = w.uniform(0, int(Users().size()) - 1);
        const int n = records > 0 ? records : w.uniform(2, 12);
        nlohmann::ordered_json saetze = nlohmann::ordered_json::array();
        std::size_t length = 0;
        for (int i = 0; i < n; ++i) {
            saetze.push_back(Satz(w, i, n));
            length += saetze.back()["Beschreibung"].get_ref<const std::string&>().size() + 16;
        }
        const TDateTime start = b.when + TDateTime(w.uniform(0, 3) * MsPerSecond);
        const TDateTime ende = start + TDateTime(w.uniform(0, 5) * MsPerSecond);
        auto [it, fresh] = nextNr.try_emplace(b.kasse, 100001);
        (void)fresh;
        nlohmann::ordered_json j = {
            {"BuchungsNr", {b.kasse, it->second++}},
            {"BenutzerId", {1, user + 1}},
            {"BuchDatum", IsoDate(b.when)},
            {"BuchZeit", IsoTime(b.when)},
            {"Programm", kind.programm},
            {"Vorfall", kind.vorfall[static_cast<std::size_t>(w.uniform(0, int(kind.vorfall.size()) - 1))]},
            {"SatzAnzahl", n},
            {"GesLaenge", length},
            {"ProzessId", w.uniform(1000, 65000)},
            {"StartDatum", IsoDate(start)},
            {"StartZeit", IsoTime(start)},
            {"EndeDatum", IsoDate(ende)},
            {"EndeZeit", IsoTime(ende)},
            {"Terminal",
             std::string(kind.programm) == "KASSE" ? "KASSE" + std::to_string(b.kasse) : "BUERO1"},
            {"BenutzerName", Users()[static_cast<std::size_t>(user)]},
            {"Version", "5.12.3"},
            {"VersionDatum", "2024-03-04"},
            {"Saetze", std::move(saetze)},
        };
        out.buffer() += j.dump();
        out.buffer() += '\n';
        out.commit();
    }
    out.close();
}

} // namespace infemora::gensite
