#pragma once
// The promise behind every fault test: whatever went wrong, the logs of the log directory still
// hold every line they held before (an entry may stand twice), and no file under one of their
// names is cut short.
#include <set>
#include <string>
#include <vector>

namespace infemora::reliability {

// The files whose lines must never be lost: info logs, INFEMORA.000, ALT-INFO.*, TRANSFER.LOG,
// MENU.LOG, ALT-TRAN.*, ALT-MENU.*. Hidden files (temp files on their way) are not among them.
std::vector<std::string> LiveNames(const std::string& dir);

struct Baseline {
    std::set<std::string> lines;    // every distinct line
    std::set<std::string> contents; // the files byte for byte
};
Baseline TakeBaseline(const std::string& dir);

// Empty when sound. Otherwise one text per problem: lines lost, a file that is not one of the
// inputs and is empty, does not end with CR LF or holds a line no input had (a torn write).
std::vector<std::string> Problems(const std::string& dir, const Baseline& base);

// Runs the program with the arguments in a child; with fileSizeLimit >= 0 every file the child
// writes is limited to that many bytes (a disk that is full at that point). Returns the exit
// code, -signal when it was killed.
int RunProgram(const std::vector<std::string>& argv, const std::string& config, long long fileSizeLimit = -1);

// The built programs.
std::string CliPath();
std::string GensitePath();

} // namespace infemora::reliability
