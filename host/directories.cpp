#include "host/directories.h"

#include "host/codec1252.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/settings.h"

namespace infemora {

namespace {

std::string joinName(const std::string& dir, std::string_view fileName) {
    if (fileName.empty())
        return dir;
    if (fileName == "\\" || fileName == "/")
        return IncludeTrailingPathDelimiter(dir);
    return ConcatPathNames(dir, fileName);
}

std::string resolve(const std::string& dir, std::string_view fileName, bool create) {
    if (dir.empty())
        throw EFileError("Kein Verzeichnis eingestellt");
    if (create && !ForceDirectories(dir))
        throw EFileError("Verzeichnis " + dir + " existiert nicht und kann nicht angelegt werden");
    return joinName(dir, fileName);
}

} // namespace

std::string GetDirWwsByName(TQVRFolder folder, std::string_view fileName, bool create) {
    const Settings& s = GetSettings();
    switch (folder) {
    case TQVRFolder::InfoProt: return resolve(s.infoprot, fileName, create);
    case TQVRFolder::StaTemp: return resolve(s.statemp, fileName, create);
    case TQVRFolder::Einstellungen: return resolve(s.einstellungen, fileName, create);
    }
    throw EFileError("Unbekannter Verzeichniscode " + std::to_string(static_cast<int>(folder)));
}

std::string GetDirWwsByName(std::string_view dirName, std::string_view fileName, bool create) {
    std::string name = UpperCase1252(dirName);
    if (name == "INFOPROT")
        return GetDirWwsByName(TQVRFolder::InfoProt, fileName, create);
    if (name == "STATEMP")
        return GetDirWwsByName(TQVRFolder::StaTemp, fileName, create);
    if (name == "EINSTELLUNGEN")
        return GetDirWwsByName(TQVRFolder::Einstellungen, fileName, create);
    throw EFileError("Unbekanntes Verzeichnis " + std::string(dirName));
}

} // namespace infemora
