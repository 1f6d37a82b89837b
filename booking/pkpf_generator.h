#pragma once
// Made-up bookings for tests, the demo and the benchmarks: the same options give the same
// bookings on every machine.
#include "booking/pkpf_writer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace infemora {

struct PkpfGeneratorOptionen {
    std::size_t anzahl = 100;         // bookings
    std::size_t saetzeJeBuchung = 10; // record lines per booking
    std::uint32_t seed = 1;
    TDateTime bisDatum;   // the last booking day; 0 means today
    int tage = 60;        // bookings are spread over this many days up to bisDatum
    std::int32_t rNr = 1; // first part of every booking number; the second counts up from lNrStart
    std::int32_t lNrStart = 1;
};

// Bookings in booking order (date and time rising). Texts hold umlauts and now and then a ';'.
std::vector<TPKPF_Buchung> PkpfBuchungenErzeugen(const PkpfGeneratorOptionen& optionen);

// Writes the bookings into the database in one transaction (created when missing).
void PkpfBuchungenSchreiben(const std::string& dbPath, const std::vector<TPKPF_Buchung>& buchungen);

} // namespace infemora
