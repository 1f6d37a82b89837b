#pragma once
// What the timed benchmark programs share: a monotonic clock, the process's memory as the kernel
// counts it, and the result lines scripts/bench reads ("name value", one a line).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace infemora::bench {

inline double SecondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A field of /proc/self/status in KiB ("VmHWM", "VmRSS"); 0 when the kernel does not say.
inline std::int64_t StatusKiB(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = field + ":";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0)
            return std::stoll(line.substr(key.size()));
    }
    return 0;
}

inline std::int64_t PeakKiB() {
    return StatusKiB("VmHWM");
}
inline std::int64_t ResidentKiB() {
    return StatusKiB("VmRSS");
}

inline double MiB(std::int64_t kib) {
    return double(kib) / 1024.0;
}

// One result line; scripts/bench takes the median of each name over the runs.
inline void Report(const char* name, double value) {
    std::printf("%s %.6f\n", name, value);
    std::fflush(stdout);
}

inline void ReportText(const char* name, const std::string& value) {
    std::printf("%s %s\n", name, value.c_str());
    std::fflush(stdout);
}

} // namespace infemora::bench
