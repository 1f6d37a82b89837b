#pragma once
// A generated site for the fault tests: the demo's logs and bench logs large enough for archive
// parts, made once per suite and copied for every case, with a settings file for the built
// programs and the settings of this process pointing at the copy.
#include "site_check.h"

#include "support/test_env.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace infemora::reliability {

std::string Joined(const std::vector<std::string>& problems);
// The hidden files in dir (temp files on their way or left behind), sorted.
std::vector<std::string> HiddenFiles(const std::string& dir);

class GeneratedSite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // A fresh copy of the generated site in place of the current one.
    void Renew();
    // The merge with consolidation and the merge and shorten, run in this process as the
    // command line runs them; false when the run failed or registered anything.
    bool MergeHere();
    bool ShortenHere(int days = 5);

    std::vector<std::string> MergeCommand() const;
    std::vector<std::string> ShortenCommand() const;

    testenv::TempSite site;
    std::string root, logDir, statemp, config;
    Baseline base;
    std::int64_t inputBytes = 0;

private:
    static std::string* templateDir_;
};

// Makes a folder read-only for this process, also when it runs as root (who ignores the mode
// bits) by a read-only bind mount; available() says whether any means worked.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::string dir);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool available() const { return mode_ != Mode::None; }
    void release();

private:
    enum class Mode { None, Chmod, Mount };
    std::string dir_;
    Mode mode_ = Mode::None;
};

} // namespace infemora::reliability
