#include "host/direxplorer.h"

#include "host/codec1252.h"
#include "host/errors.h"
#include "host/fileutil.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace infemora {

namespace {

bool matchFrom(std::string_view name, std::string_view mask) {
    // Iterative wildcard match with backtracking on the last star.
    size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || UpperChar1252(mask[m]) == UpperChar1252(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (matchFrom(name, mask))
        return true;
    // "x*.*" also means names without any point, as on the platform the logs come from.
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && name.find('.') == std::string_view::npos)
        return matchFrom(name, mask.substr(0, mask.size() - 2));
    return false;
}

TDirExplorer::TDirExplorer(std::string startDir, std::string mask, int attributes)
    : startDir_(std::move(startDir)), mask_(std::move(mask)), attributes_(attributes) {}

std::vector<TSearchRec> TDirExplorer::List() {
    std::string dir = startDir_.empty() ? GetCurrentDir() : startDir_;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        throw EFileError("Verzeichnis " + dir + " kann nicht gelesen werden: " + std::strerror(errno));
    std::vector<TSearchRec> found;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (!MatchesMask(name, mask_))
            continue;
        struct stat st {};
        // Not followed: a link named like a log would bring in, and after a consolidation delete,
        // whatever it points to.
        if (::lstat(ConcatPathNames(dir, name).c_str(), &st) != 0)
            continue; // vanished meanwhile
        TSearchRec r;
        r.name = name;
        r.isDirectory = S_ISDIR(st.st_mode);
        r.hidden = name[0] == '.';
        if (!r.isDirectory && !S_ISREG(st.st_mode)) {
            // Links, devices, sockets and pipes are no files to read.
            if (OnSkipped && !r.hidden)
                OnSkipped(name, FileKindText(st.st_mode));
            continue;
        }
        if (r.isDirectory && !(attributes_ & Directories))
            continue;
        if (!r.isDirectory && !(attributes_ & NormalFiles))
            continue;
        if (r.hidden && !(attributes_ & Hidden))
            continue;
        r.size = st.st_size;
        r.time = FromUnixTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        found.push_back(std::move(r));
    }
    ::closedir(d);
    std::sort(found.begin(), found.end(), [](const TSearchRec& a, const TSearchRec& b) {
        std::string ua = UpperCase1252(a.name), ub = UpperCase1252(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    });
    return found;
}

void TDirExplorer::Execute() {
    std::string dir = IncludeTrailingPathDelimiter(startDir_.empty() ? GetCurrentDir() : startDir_);
    for (const auto& r : List())
        if (OnFileFound)
            OnFileFound(r, dir);
}

} // namespace infemora
