#include "merge/discovery.h"

#include "host/codec1252.h"
#include "host/directories.h"
#include "host/direxplorer.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/infoprot_layout.h"

#include <cstdio>
#include <sys/stat.h>

namespace infemora {

std::vector<std::string> AlleInfoDateien(const std::string& dir, std::vector<std::string>* uebersprungen) {
    std::vector<std::string> found;
    TDirExplorer search(dir, std::string(InfoMaske));
    search.OnFileFound = [&found](const TSearchRec& rec, const std::string& directory) {
        found.push_back(directory + rec.name);
    };
    if (uebersprungen)
        search.OnSkipped = [uebersprungen, &dir](const std::string& name, const std::string& kind) {
            uebersprungen->push_back(ConcatPathNames(dir.empty() ? GetCurrentDir() : dir, name) + " ist " +
                                     kind + " und wird nicht gelesen.");
        };
    search.Execute();
    return found;
}

std::string AnzeigeName(const std::string& path) {
    return UpperCase1252(ExpandFileName(path));
}

void GetNextFileNames(const std::string& BaseName, std::string& Name1, std::string& Name2,
                      const std::string& Dir) {
    try {
        Name1.clear();
        Name2.clear();
        for (int n = 0; Name1.empty() || Name2.empty(); ++n) {
            char number[16];
            std::snprintf(number, sizeof number, ".%.3d", n);
            std::string candidate = BaseName + number;
            std::string path = Dir.empty() ? GetDirWwsByName("INFOPROT", candidate) : Dir + candidate;
            // Anything under that name, also a folder or a link to nowhere, makes it taken.
            struct stat st {};
            if (::lstat(path.c_str(), &st) == 0)
                continue;
            (Name1.empty() ? Name1 : Name2) = candidate;
        }
    } catch (...) {
        RegisterCurrentException("GetNextFileNames");
    }
}

} // namespace infemora
