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
#include "host/unique_fd.h"
#include "merge/infoprot_readers.h"
#include "merge/text_split.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

struct MergeRunInput {
    // The files in list order, under their real names (the list shows them upper-cased).
    std::vector<std::string> files;
    // Instead of files: the all-files search of this folder ("" the current one), made once the
    // run holds the folder, so that no other run can change it between the search and the
    // merge. The result's files is the list found (empty: none, and nothing is merged).
    std::optional<std::string> discoverIn;
    // Only entries that pass DateienSortieren_CheckFilter against FSelVon/FSelBis.
    bool AFilter = false;
    TDateTime FSelVon, FSelBis;
    // Cutting archive parts and deleting the sources; the command line allows it only on request.
    // The run then needs the folders of the sources and of the parts to itself: when another run
    // holds one of them, it merges without consolidating (the next run will), unless
    // consolidationRequired, in which case it waits for the other run and fails when that lasts
    // too long.
    bool allowConsolidation = true;
    bool consolidationRequired = false;
    // How long to wait for another run in the same folders; nullopt: LockWaitTime().
    std::optional<std::chrono::milliseconds> lockWait;
    // Empty: "TEMOSORT.TXT" in STATEMP. The run writes a file of its own beside it, which takes
    // this name when it is complete.
    std::string tempPath;
    // Divides the text, as it is written, into the run's own file and a second one where the
    // rule says. Both keep their private names (the result's ownFile and ownSplitFile) instead of
    // taking tempPath's, for a caller that puts them in place as they are. Such a run never
    // consolidates. The rule is the caller's and outlives the run.
    ITextSplit* split = nullptr;
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
    // The file the view shows, by name (TEMOSORT.TXT, or INFEMORA.000 after a consolidation);
    // empty after a failed run. Read the text through viewText: the name may stand for another
    // run's result by the time anyone looks it up again.
    std::string viewFile;
    std::shared_ptr<UniqueFd> viewText;
    // With split: the text before the split (viewText is open on it) and from it on, now the
    // caller's to remove; ownSplitFile is empty when nothing went into it.
    std::string ownFile, ownSplitFile;
    // Lines of viewFile; the view enables filter, save and print above one line.
    std::int64_t lines = 0;
    // At least one archive part was cut.
    bool archived = false;
    std::vector<std::string> archiveParts; // full paths, in order
    std::vector<std::string> deleted;      // sources deleted after consolidation
    // Names the all-files search passed over (links, pipes, devices), as German sentences.
    std::vector<std::string> skipped;
    // Another run held a folder this one needed (success is false then, unless consolidation
    // was only skipped); lockFailure says why in German.
    bool lockBusy = false;
    std::string lockFailure;
    // Why a run that was allowed to consolidate did not (another run in the folder, a source in
    // use, a part that could not be written); empty when it did or had no reason to.
    std::string notConsolidated;
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

// Archive parts have five-digit numbers.
inline constexpr int MaxArchivNummer = 99999;
// The highest archive number of the "ALT-INFO.*" files in dir; text after the point that is no
// number counts 0, and numbers beyond MaxArchivNummer are no part's.
int HoechsteArchivNummer(const std::string& dir);

} // namespace infemora
