#pragma once
// DateienSortieren: reads the listed info logs side by side and writes their entries in
// time-stamp order into the temp file, optionally only the entries of a date-time window. A
// large unfiltered merge with every input free is consolidated into ALT-INFO parts and
// "INFEMORA.000", after which the merged sources are deleted.
//
// The window gathers the inputs from its widgets, calls this and puts the result back; the
// command line does the same without widgets.
#include "host/datetime.h"
#include "host/progress.h"
#include "host/textfile.h"
#include "merge/infoprot_readers.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

struct MergeRunInput {
    // The files in list order, under their real names (the list shows them upper-cased).
    std::vector<std::string> files;
    // Only entries that pass DateienSortieren_CheckFilter against FSelVon/FSelBis.
    bool AFilter = false;
    TDateTime FSelVon, FSelBis;
    // Cutting archive parts and deleting the sources; the command line allows it only on request.
    bool allowConsolidation = true;
    // Empty: "TEMOSORT.TXT" in STATEMP.
    std::string tempPath;
    // Where the archive numbers are looked up; empty: the host's INFOPROT directory.
    std::string logDir;
    // Read buffer per input file; 0 keeps the setting of the streams object.
    std::size_t bufferBytesPerFile = 0;
    // Output collected before it is written.
    std::size_t writeBytes = 4u << 20;
    // A batch in progress larger than this leaves memory (see MergeOutput).
    std::size_t spillBytes = 8u << 20;
};

struct MergeRunResult {
    bool success = false;
    // The list after the file being written was moved to its head.
    std::vector<std::string> files;
    // The file the view loads; empty after a failed run.
    std::string viewFile;
    // Lines of viewFile; the view enables filter, save and print above one line.
    std::int64_t lines = 0;
    // At least one archive part was cut.
    bool archived = false;
    std::vector<std::string> archiveParts; // full paths, in order
    std::vector<std::string> deleted;      // sources deleted after consolidation
};

// Runs the merge with the window's reader objects; the input list is empty again afterwards.
// Failures are registered under "DateienSortieren"; the result then says success = false.
MergeRunResult DateienSortieren(const MergeRunInput& input, IProgress& progress,
                                TBufferedFileStreams& streams);
MergeRunResult DateienSortieren(const MergeRunInput& input, IProgress& progress);

// The entry test of the date filter: true when the filter is off, when the entry has no "##"
// line, or when the stamp of its first "##" line lies within [von, bis]. A stamp that cannot
// be built is registered as a warning under "DateienSortieren_CheckFilter" and the entry fails:
// the filter's rules leave it out, the merged text is still complete.
bool DateienSortieren_CheckFilter(const std::vector<std::string>& lines, bool filterOn, TDateTime von,
                                  TDateTime bis);
// The same for an entry whose first "##" line is already known (nullopt: none).
bool DateienSortieren_CheckFilterZeile(std::optional<std::string_view> stampLine, bool filterOn,
                                       TDateTime von, TDateTime bis);

// The first item whose upper-cased name has the extension ".TMP" moves to the head.
void TmpDateiNachVorn(std::vector<std::string>& files);

// Removes the hidden temp files that a killed run left beside the logs in dir: those of archive
// parts, of INFEMORA.000 and of the transfer and menu logs, only when old and held by no process
// (see RemoveLeftoverTemps). Returns how many went.
int RemoveLeftoverLogTemps(const std::string& dir);

// The highest archive number of the "ALT-INFO.*" files in dir; text after the point that is no
// number counts 0.
int HoechsteArchivNummer(const std::string& dir);

} // namespace infemora
