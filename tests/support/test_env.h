#pragma once
// A private site for one test: log directory, STATEMP, settings folder in a fresh temp folder,
// with the settings pointing at them. Removed again when the object goes.
#include "host/settings.h"
#include "host/textfile.h"

#include <string>

namespace infemora::testenv {

class TempSite {
public:
    TempSite();
    ~TempSite();
    TempSite(const TempSite&) = delete;
    TempSite& operator=(const TempSite&) = delete;

    const std::string& root() const { return root_; }
    std::string logDir() const { return root_ + "/infoprot"; }
    std::string statemp() const { return root_ + "/statemp"; }
    std::string settingsDir() const { return root_ + "/einstellungen"; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }
    std::string logFile(const std::string& name) const { return logDir() + "/" + name; }

    void writeFile(const std::string& path, const std::string& bytes) const;
    void writeLines(const std::string& path, const Lines& lines) const; // CR LF after each
    std::string readFile(const std::string& path) const;

    Settings settings() const;

private:
    std::string root_;
};

// Another process that holds the file open until the object goes.
class FileHolder {
public:
    // Open: the file is held open for reading. Lock, SharedLock: it is made if missing and
    // locked with flock, as a run that changes (reads) a folder locks the folder's lock file.
    enum class Mode { Open, Lock, SharedLock };
    explicit FileHolder(const std::string& path, Mode mode = Mode::Open);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

private:
    int pid_ = -1;
};

// Directory of the build tree (for running the built programs).
std::string BinaryDir();

} // namespace infemora::testenv
