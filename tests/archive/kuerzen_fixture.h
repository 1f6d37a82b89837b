#pragma once
// Pieces shared by the shorten tests: info entries, a progress that records, another process
// that holds a file open, and a look at what a log directory holds.
#include "host/datetime.h"
#include "host/progress.h"
#include "host/textfile.h"
#include "support/test_env.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace infemora::kuerzentest {

// Start line, time-stamp line and one text line (long enough not to pass for a separator).
Lines Eintrag(const std::string& yyyymmdd, const std::string& hhmmss, const std::string& text);
Lines Concat(std::initializer_list<Lines> parts);
// The date n days from today as YYYYMMDD and in the menu log's form.
std::string Jjjjmmtt(int daysFromToday);
std::string MenuDatum(int daysFromToday);

struct RecordingProgress : IProgress {
    int shows = 0, closes = 0, pumps = 0;
    std::string caption;
    std::function<void()> onPump;
    void Pump() override {
        ++pumps;
        if (onPump)
            onPump();
    }
    void Show(const std::string& c) override {
        ++shows;
        caption = c;
    }
    void Close() override { ++closes; }
};

using testenv::FileHolder;

// Plain file names of a directory, sorted; hidden temp files included.
std::vector<std::string> Namen(const std::string& dir);
bool Vorhanden(const std::string& path);
Lines Zeilen(const std::string& path); // the file's lines; empty when it is missing

// How often each line occurs in the files of a directory.
std::map<std::string, int> ZeilenBestand(const std::string& dir);
// The lines of `vorher` that the directory no longer holds as often (empty: nothing lost).
// Empty when both hold the same lines equally often; else how many differ and the first few.
std::string Unterschiede(const std::map<std::string, int>& vorher, const std::map<std::string, int>& nachher);
std::vector<std::string> Fehlende(const std::map<std::string, int>& vorher, const std::string& dir);

} // namespace infemora::kuerzentest
