#pragma once
// Shared pieces of the merge-run tests: a progress that records and can act, a process that
// holds a file open, and small file helpers.
#include "host/progress.h"
#include "support/test_env.h"

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace infemora::mergetest {

struct RecordingProgress : IProgress {
    int shows = 0, closes = 0, pumps = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> steps;
    std::function<void(int pump)> onPump;
    void Pump() override {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    void Show(const std::string&) override { ++shows; }
    void Close() override { ++closes; }
    void Step(std::int64_t done, std::int64_t total) override { steps.emplace_back(done, total); }
};

using testenv::FileHolder;

bool Exists(const std::string& path);
std::vector<std::string> FilesIn(const std::string& dir); // names, sorted

} // namespace infemora::mergetest
