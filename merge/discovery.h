#pragma once
// Finding the info logs: the all-files search of a directory and free archive names.
#include <string>
#include <vector>

namespace infemora {

// Every "inf*.*" file of dir (empty: the current directory) as directory + name under its real
// name, in the order the directory search reports them. EFileError when dir cannot be read.
// Names that are no plain file (links, pipes, devices) are passed over; uebersprungen, when
// given, gets a German sentence for each.
std::vector<std::string> AlleInfoDateien(const std::string& dir = {},
                                         std::vector<std::string>* uebersprungen = nullptr);

// How a file stands in the file list: its full path, upper-cased.
std::string AnzeigeName(const std::string& path);

// The two lowest-numbered names BaseName + "." + "%.3d" that do not exist yet, filling gaps
// first. With an empty Dir the log directory is looked at, else Dir (ending in a delimiter).
// The names come without directory. Failures are registered under "GetNextFileNames".
void GetNextFileNames(const std::string& BaseName, std::string& Name1, std::string& Name2,
                      const std::string& Dir);

} // namespace infemora
