#pragma once
// Builds info logs for the merge tests and an independent reference merge to compare with.
#include "support/test_env.h"

#include <cstdint>
#include <string>
#include <vector>

namespace infemora::mergetest {

// "xxxxx<< tag" and, with a stamp such as "20260312 101500", "xxxxx## 20260312 101500 user".
std::string StartZeile(const std::string& tag);
std::string StempelZeile(const std::string& stamp);

// One entry: start line, stamp line (when stamp is not empty) and body lines "tag body i".
std::vector<std::string> Eintrag(const std::string& tag, const std::string& stamp, int bodyLines = 0);

// Lines joined with CR LF after each, as the programs write them.
std::string CrLf(const std::vector<std::string>& lines);
void Append(std::vector<std::string>& to, const std::vector<std::string>& more);

// The merge written out plainly: split every file into lines and entries, key each entry by
// its first "##" line (or by the entry before it), and take entries one by one from the file
// whose head has the smallest key, the first listed on ties.
std::string ReferenceMerge(const std::vector<std::string>& fileBytes);

// Lines of a CR LF text.
std::int64_t CountLines(const std::string& bytes);

// A file of n single-line entries (start lines only) "xxxxx<< prefix n".
std::string SingleLineEntries(const std::string& prefix, int n);

} // namespace infemora::mergetest
