// The time-stamp and filter tests of the merge and the three line tests of the shortening, on
// fuzzed lines: no crash, no undefined behaviour, and answers that agree with each other.
#include "archive/kuerzen_run.h"
#include "host/datetime.h"
#include "host/messages.h"
#include "merge/infoprot_layout.h"
#include "merge/merge_run.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace infemora;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Info().setEchoToStderr(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t nl = all.find('\n');
    std::string_view line = all.substr(0, nl);
    std::string_view next = nl == std::string_view::npos ? std::string_view() : all.substr(nl + 1);

    TDateTime stamp, cached;
    DatumsCache cache;
    const bool ok = TryZeitstempelAusZeile(line, stamp);
    const bool okCached = TryZeitstempelAusZeile(line, cached, cache);
    // The cache must never change an answer, also on the second use.
    TDateTime again;
    if (ok != okCached || (ok && stamp != cached) || TryZeitstempelAusZeile(line, again, cache) != ok ||
        (ok && again != stamp))
        std::abort();
    try {
        if (ZeitstempelAusZeile(line) != stamp || !ok)
            std::abort();
    } catch (const std::exception&) {
        if (ok)
            std::abort();
    }

    const TDateTime von = EncodeDate(2020, 1, 1), bis = EncodeDate(2030, 12, 31);
    std::vector<std::string> entry = {std::string(line), std::string(next)};
    const bool passes = DateienSortieren_CheckFilter(entry, true, von, bis);
    if (!DateienSortieren_CheckFilter(entry, false, von, bis))
        std::abort();
    if (IstZeitstempelZeile(line) && passes != (ok && von <= stamp && stamp <= bis))
        std::abort();
    Info().clearRegistered();

    const TDateTime stichtag = EncodeDate(2026, 12, 8);
    (void)CheckInfoDatum(line, next, stichtag);
    (void)CheckTransferDatum(line, stichtag);
    (void)CheckMenuDatum(line, stichtag);
    Info().clearRegistered();
    return 0;
}
