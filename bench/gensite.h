#pragma once
// Generates sites of the point-of-sale program family for the demo, the benchmarks and tests:
// info logs as the programs write them, the transfer and menu logs, the rule file, a settings
// file and bookings in the import format. The same seed and day always give the same bytes.
#include "host/datetime.h"

#include <cstdint>
#include <string>

namespace infemora::gensite {

struct GenParams {
    std::uint32_t seed = 1;
    TDateTime today; // the last day of the generated period (date only)
    int days = 14;   // the period ends on `today` and has this many days
    // Entries of the last day stop here (seconds of the day); the demo stops at the current time
    // so that no entry lies in the future.
    int lastDayEndSecond = 86399;
};

// The demo site: DIR/infoprot with several info logs, TRANSFER.LOG and MENU.LOG,
// DIR/einstellungen/infopars.ini, an empty DIR/statemp, DIR/infemora.ini pointing at it all and
// DIR/buchungen.jsonl.
void WriteDemoSite(const std::string& dir, const GenParams& p);

// `files` info logs of about `totalBytes` together, entries interleaved in time across the files.
// The first file is "infoprot.tmp", the others INFOPROT.001 and so on.
void WriteMergeBench(const std::string& dir, int files, std::int64_t totalBytes, const GenParams& p);

// Largest size of an evaluation file: the evaluation skips larger ones.
constexpr std::int64_t EvalFileLimit = 15'000'000;

// `files` info logs of about `fileBytes` each (always below EvalFileLimit) in which about
// `errorSharePercent` per cent of the entries are error entries.
void WriteEvalBench(const std::string& dir, int files, std::int64_t fileBytes, double errorSharePercent,
                    const GenParams& p);

// `count` bookings with `records` record lines each (2 to 12 at random when `records` is 0), one
// JSON object a line, in booking order.
void WriteBookingsJsonl(const std::string& file, int count, int records, const GenParams& p);

// The rule file "infopars.ini" of the demo site: a few rules over every kind of criterion.
void WriteRuleFile(const std::string& file);

// The settings file of a site whose folders lie under `root`.
void WriteSettingsFile(const std::string& file, const std::string& root);

} // namespace infemora::gensite
