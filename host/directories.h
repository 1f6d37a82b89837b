#pragma once
// Host directories by name or folder code, as the settings name them.
#include <string>
#include <string_view>

namespace infemora {

enum class TQVRFolder : int {
    Einstellungen = 9, // settings folder (rule file infopars.ini)
    InfoProt = 10,     // log directory
    StaTemp = 27,      // temp and statistics folder
};

// The directory joined with FileName. An empty FileName gives the directory, a single
// backslash (or slash) the directory with a trailing delimiter. With Create the directory must
// be there: STATEMP, the program's own, is made on demand; INFOPROT and EINSTELLUNGEN are never
// made, a missing one is reported. EFileError, saying what is wrong, when the directory is
// missing, is no folder, cannot be made, or the name is unknown.
std::string GetDirWwsByName(std::string_view dirName, std::string_view fileName, bool create = true);
std::string GetDirWwsByName(TQVRFolder folder, std::string_view fileName, bool create = true);

} // namespace infemora
