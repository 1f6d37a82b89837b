#include "site_fixture.h"

#include "archive/kuerzen_run.h"
#include "host/dir_lock.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/progress.h"
#include "host/settings.h"
#include "merge/discovery.h"
#include "merge/infoprot_layout.h"
#include "merge/merge_run.h"
#include "textview/log_document.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace infemora::reliability {

std::string Joined(const std::vector<std::string>& problems) {
    std::string out;
    for (const auto& p : problems)
        out += "\n  " + p;
    return out;
}

std::string* GeneratedSite::templateDir_ = nullptr;

void GeneratedSite::SetUpTestSuite() {
    templateDir_ = new std::string((fs::temp_directory_path() / "infemora-faults-XXXXXX").string());
    ASSERT_NE(::mkdtemp(templateDir_->data()), nullptr);
    const std::string demo = *templateDir_ + "/site";
    ASSERT_EQ(RunProgram({GensitePath(), "demo", demo}, ""), 0);
    ASSERT_EQ(RunProgram({GensitePath(), "merge-bench", *templateDir_ + "/bench", "--files", "3",
                          "--total-mb", "2.5"},
                         ""),
              0);
    for (const auto& e : fs::directory_iterator(*templateDir_ + "/bench"))
        fs::rename(e.path(), demo + "/infoprot/infb" + e.path().filename().string().substr(3));
}

void GeneratedSite::TearDownTestSuite() {
    fs::remove_all(*templateDir_);
    delete templateDir_;
    templateDir_ = nullptr;
}

void GeneratedSite::SetUp() {
    ASSERT_NE(templateDir_, nullptr);
    Renew();
    base = TakeBaseline(logDir);
    for (const auto& name : LiveNames(logDir))
        inputBytes += FileSize(logDir + "/" + name);
}

void GeneratedSite::Renew() {
    root = site.path("copy");
    fs::remove_all(root);
    fs::copy(*templateDir_ + "/site", root, fs::copy_options::recursive);
    logDir = root + "/infoprot";
    statemp = root + "/statemp";
    config = root + "/infemora.ini";
    site.writeLines(config, {"[Verzeichnisse]", "INFOPROT=" + logDir, "STATEMP=" + statemp,
                             "EINSTELLUNGEN=" + root + "/einstellungen"});
    Settings s = DefaultSettings();
    s.infoprot = logDir;
    s.statemp = statemp;
    s.einstellungen = root + "/einstellungen";
    SetSettingsForTesting(s);
}

std::vector<std::string> HiddenFiles(const std::string& dir) {
    std::vector<std::string> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return out;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        // The folder's lock file stays by design; only leftovers count.
        if (name.size() > 1 && name[0] == '.' && name != ".." && name != LockFileName)
            out.push_back(name);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

// The all-files search and the unfiltered merge, as the window's start runs it.
bool mergeAll(const std::string& logDir, std::vector<std::string>& files, LogDocument& text) {
    text.clear();
    files = AlleInfoDateien(logDir);
    if (files.empty()) {
        files.push_back(std::string(KeineDateienGefunden));
        return true;
    }
    MergeRunInput in;
    in.files = files;
    in.logDir = logDir;
    MergeRunResult res = DateienSortieren(in, NullProgress());
    if (!res.success)
        return false;
    files = res.files;
    text.openDescriptor(res.viewText->get(), res.viewFile);
    return true;
}

} // namespace

bool GeneratedSite::MergeHere() {
    const std::size_t before = Info().registered().size();
    std::vector<std::string> files;
    LogDocument text;
    try {
        return mergeAll(logDir, files, text) && Info().registered().size() == before;
    } catch (...) {
        return false;
    }
}

bool GeneratedSite::ShortenHere(int days) {
    const std::size_t before = Info().registered().size();
    try {
        return ProtokollverzeichnisKuerzen(logDir, KuerzStichtag(days), NullProgress()).success &&
               Info().registered().size() == before;
    } catch (...) {
        return false;
    }
}

std::vector<std::string> GeneratedSite::MergeCommand() const {
    return {CliPath(), "merge", "--consolidate", "--output", "/dev/null"};
}

std::vector<std::string> GeneratedSite::ShortenCommand() const {
    return {CliPath(), "shorten", "--days", "5"};
}

ReadOnlyFolder::ReadOnlyFolder(std::string dir) : dir_(std::move(dir)) {
    if (::geteuid() != 0) {
        if (::chmod(dir_.c_str(), 0555) == 0)
            mode_ = Mode::Chmod;
        return;
    }
    if (::mount(dir_.c_str(), dir_.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return;
    if (::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        ::umount2(dir_.c_str(), MNT_DETACH);
        return;
    }
    mode_ = Mode::Mount;
}

ReadOnlyFolder::~ReadOnlyFolder() {
    release();
}

void ReadOnlyFolder::release() {
    if (mode_ == Mode::Chmod)
        ::chmod(dir_.c_str(), 0755);
    else if (mode_ == Mode::Mount)
        ::umount2(dir_.c_str(), MNT_DETACH);
    mode_ = Mode::None;
}

} // namespace infemora::reliability
