#pragma once
// The file list after a merge shows the files that exist now: a consolidation deletes the
// merged sources and leaves their entries in "INFEMORA.000" (and the archive parts), so a
// filter that runs the merge again reads that file instead of failing on the deleted ones.
#include "merge/merge_run.h"

#include <string>
#include <vector>

namespace infemora {

// The list in merge order (the file being written first); after a consolidation without the
// deleted sources and with INFEMORA.000 where the first of them stood.
std::vector<std::string> DateilisteNachLauf(const std::vector<std::string>& gelistet,
                                            const MergeRunResult& lauf);

} // namespace infemora
