#include "host/directories.h"

#include "host/codec1252.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/settings.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace infemora {

namespace {

std::string joinName(const std::string& dir, std::string_view fileName) {
    if (fileName.empty())
        return dir;
    if (fileName == "\\" || fileName == "/")
        return IncludeTrailingPathDelimiter(dir);
    return ConcatPathNames(dir, fileName);
}

struct Folder {
    const std::string& dir;
    const char* what; // for messages: which folder of the settings
    bool ours;        // the program may make it (its temp folder); never the log or rule folder
};

std::string resolve(const Folder& f, std::string_view fileName, bool create) {
    if (f.dir.empty())
        throw EFileError(std::string("Kein Verzeichnis eingestellt für ") + f.what);
    if (create) {
        struct stat st {};
        if (::stat(f.dir.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                throw EFileError(std::string(f.what) + " " + f.dir + " ist kein Verzeichnis, sondern " +
                                 FileKindText(st.st_mode));
        } else if (errno != ENOENT || !f.ours) {
            // A log folder that is missing (an unmounted share, a typo) is reported, never made:
            // an empty folder made in its place would read as "no errors".
            const int err = errno;
            throw EFileError(std::string(f.what) + " " + f.dir +
                             (err == ENOENT ? std::string(" ist nicht vorhanden")
                                            : std::string(" ist nicht erreichbar: ") + std::strerror(err)));
        } else if (!ForceDirectories(f.dir)) {
            throw EFileError(std::string(f.what) + " " + f.dir +
                             " ist nicht vorhanden und kann nicht angelegt werden: " + std::strerror(errno));
        }
    }
    return joinName(f.dir, fileName);
}

} // namespace

std::string GetDirWwsByName(TQVRFolder folder, std::string_view fileName, bool create) {
    const Settings& s = GetSettings();
    switch (folder) {
    case TQVRFolder::InfoProt:
        return resolve({s.infoprot, "Das Protokollverzeichnis (INFOPROT)", false}, fileName, create);
    case TQVRFolder::StaTemp:
        return resolve({s.statemp, "Das Verzeichnis STATEMP", true}, fileName, create);
    case TQVRFolder::Einstellungen:
        return resolve({s.einstellungen, "Das Einstellungsverzeichnis (EINSTELLUNGEN)", false}, fileName,
                       create);
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
