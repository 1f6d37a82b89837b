#pragma once
// File helpers of the program family, mapped to this platform.
#include <cstdint>
#include <string>
#include <string_view>

namespace infemora {

bool FileExists(const std::string& path);      // a plain file (or a link to one)
bool DirectoryExists(const std::string& path);
std::int64_t FileSize(const std::string& path); // -1 when missing

// True while another process holds the file open or has a lock on it. This platform lets a
// file be deleted under a writer's feet, so callers must never delete a file that is in use.
bool CheckFileInUse(const std::string& path, bool flag = false);

// Deletes the file; true when it is gone afterwards (also when it never existed).
bool Ensure_DeleteFile(const std::string& path, bool flag = false);

// Renames without ever replacing an existing target. Across file systems the file is copied,
// flushed, checked by size and only then the source removed. False on any failure; the source
// then stays as it was.
bool RenameNoReplace(const std::string& from, const std::string& to);

// A save may replace a plain file, never a folder, device or pipe of that name: renaming over
// those would swap the node itself. EFileError when the name stands for something else.
void CheckReplaceableTarget(const std::string& path);

// Flushes a written file and its directory entry to disk.
void FlushFileToDisk(const std::string& path); // EFileError

std::string ConcatPathNames(std::string_view a, std::string_view b);
std::string IncludeTrailingPathDelimiter(std::string_view dir);
std::string ExtractFileDir(std::string_view path);  // without trailing delimiter
std::string ExtractFilePath(std::string_view path); // with trailing delimiter
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path); // with its point, or empty
std::string ExpandFileName(std::string_view path); // absolute, against the current directory

std::string GetCurrentDir();
bool SetCurrentDir(const std::string& dir);
// Creates the directory and its parents; false when it cannot.
bool ForceDirectories(const std::string& dir);

} // namespace infemora
