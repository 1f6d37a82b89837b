#pragma once
// Directory search with the masks of the program family's original platform: letters compared
// without regard to case, "*" any run, "?" one character, and a mask ending in ".*" also
// matches names without a point ("inf*.*" matches "infoprot" and "INFEMORA.000").
// Matches are reported sorted by the upper-cased name in byte order; no descent into folders.
// Links are not followed: only plain files and folders under the name itself count.
#include "host/datetime.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace infemora {

struct TSearchRec {
    std::string name; // without directory
    std::int64_t size = 0;
    TDateTime time; // last modification, local time
    bool isDirectory = false;
    bool hidden = false; // a name that begins with a point
};

bool MatchesMask(std::string_view name, std::string_view mask);

class TDirExplorer {
public:
    enum Attributes { NormalFiles = 1, Directories = 2, Hidden = 4 };

    TDirExplorer(std::string startDir, std::string mask, int attributes = NormalFiles);
    // Called once per match with the search record and the directory with trailing delimiter.
    std::function<void(const TSearchRec&, const std::string& dir)> OnFileFound;
    // Called for a name that matches but is left out because it is no regular file and no
    // folder (a link, a FIFO, a device, a socket): its name and what it is, in German.
    std::function<void(const std::string& name, const std::string& kind)> OnSkipped;
    // Runs the search; EFileError when the directory cannot be read.
    void Execute();
    // The matches as a list, same order.
    std::vector<TSearchRec> List();

private:
    std::string startDir_;
    std::string mask_;
    int attributes_;
};

} // namespace infemora
