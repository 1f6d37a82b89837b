#include "merge/list_after_merge.h"

#include "host/fileutil.h"
#include "merge/infoprot_layout.h"

#include <algorithm>

namespace infemora {

std::vector<std::string> DateilisteNachLauf(const std::vector<std::string>& gelistet,
                                            const MergeRunResult& lauf) {
    std::vector<std::string> liste = lauf.files.empty() ? gelistet : lauf.files;
    if (!lauf.archived || lauf.deleted.empty() || ExtractFileName(lauf.viewFile) != InfemoraName)
        return liste;
    auto istGeloescht = [&](const std::string& f) {
        return std::find(lauf.deleted.begin(), lauf.deleted.end(), ExpandFileName(f)) != lauf.deleted.end();
    };
    const auto erste = std::find_if(liste.begin(), liste.end(), istGeloescht);
    const auto stelle = erste - liste.begin();
    liste.erase(std::remove_if(liste.begin(), liste.end(), istGeloescht), liste.end());
    const std::string rest = ExpandFileName(lauf.viewFile);
    const bool gelistetSchon = std::any_of(liste.begin(), liste.end(),
                                           [&](const std::string& f) { return ExpandFileName(f) == rest; });
    if (!gelistetSchon)
        liste.insert(liste.begin() +
                         std::min<std::ptrdiff_t>(stelle, static_cast<std::ptrdiff_t>(liste.size())),
                     lauf.viewFile);
    return liste;
}

} // namespace infemora
