#pragma once
// File helpers of the program family, mapped to this platform.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace infemora {

bool FileExists(const std::string& path); // a plain file (or a link to one)
// A plain file under this very name: no link, folder, FIFO or device.
bool IsPlainFileNoFollow(const std::string& path);
bool DirectoryExists(const std::string& path);

// What stands under a name, in words for a message: "ein Verzeichnis", "eine benannte Pipe
// (FIFO)", "ein Gerät", "ein Socket", "ein symbolischer Verweis", "eine Datei".
std::string FileKindText(unsigned mode);

// How OpenRegularFile treats a link under the name.
enum class LinkPolicy { Follow, Refuse };
// Opens a file to read from or append to, and only a regular file: a FIFO would block the
// opening or the reading until some writer comes, a device such as /dev/zero never ends. The
// name is opened without waiting (O_NONBLOCK, cleared again on a regular file) and checked on
// the open descriptor, so nothing can be swapped in between. flags are open's (O_RDONLY, or
// O_WRONLY | O_APPEND | O_CREAT with mode); O_CLOEXEC is added. Returns the descriptor;
// EFileError naming the file and what stands there instead, or why it cannot be opened.
int OpenRegularFile(const std::string& path, int flags, LinkPolicy links = LinkPolicy::Follow,
                    unsigned mode = 0666);
// For a name that a library opens itself (SQLite, curl's CA file): EFileError when something
// other than a regular file stands there (a link is followed). A missing name passes.
void RefuseIrregularFile(const std::string& path);
std::int64_t FileSize(const std::string& path); // -1 when missing

// True while another process holds the file open or has a lock on it. This platform lets a
// file be deleted under a writer's feet, so callers must never delete a file that is in use.
bool CheckFileInUse(const std::string& path, bool flag = false);

// True while another process holds the file open for writing. Only this keeps a file from being
// shown: a program that merely reads it (a "tail -f") is no reason to show nothing. Deleting or
// replacing keeps to CheckFileInUse.
bool CheckFileOpenForWriting(const std::string& path);

// The file of that name in dir, found without regard to letter case as the logs' programs name
// them: the exact spelling when it exists, else the first other spelling in byte order. Empty
// when there is none.
std::string FindFileIgnoringCase(const std::string& dir, const std::string& name);

// Deletes the file; true when it is gone afterwards (also when it never existed).
bool Ensure_DeleteFile(const std::string& path, bool flag = false);

// Renames without ever replacing an existing target. Across file systems the file is copied,
// flushed, checked by size and only then the source removed. False on any failure; the source
// then stays as it was.
bool RenameNoReplace(const std::string& from, const std::string& to);

// Copies everything of the open file fd into a new file under to, flushed to disk, and only then
// gives it that name, never replacing anything. False on any failure; nothing is left then.
bool CopyToNewFile(int fd, const std::string& to);

// A save may replace a plain file, never a folder, device or pipe of that name: renaming over
// those would swap the node itself. EFileError when the name stands for something else.
void CheckReplaceableTarget(const std::string& path);

// A new file under the name in a folder other users may write to (STATEMP): whatever stands
// under the name (also a link someone put there) goes first and the file is created anew, never
// through a link, so no write lands elsewhere. Returns the open descriptor; EFileError on failure.
int CreateFreshFile(const std::string& path);

// Gives back the memory that caches a file's text, for a file this run replaces or deletes: the
// memory then serves what the run writes. The bytes on disk stay as they are; a link, a pipe or
// anything else but a plain file is left alone, and a failure changes nothing.
void DropCachedText(const std::string& path) noexcept;

// A new file without any name (in $TMPDIR or /tmp), open for reading and writing, gone when its
// descriptor is closed; for copies that no other process may see or replace. -1 with errno set.
int PrivateTempFile();

// Flushes a written file and its directory entry to disk.
void FlushFileToDisk(const std::string& path); // EFileError

// The steps at which a write that replaces or creates a file may fail. Every writer of the
// program goes through these, so that a test can make any one of them fail.
enum class FileStep { Sync, Close, Link, Rename };
// Asked before each step with the path concerned and, for a flush or close, the descriptor; a
// nonzero errno fails the step with it.
using FileFaultHook = std::function<int(FileStep step, const std::string& path, int fd)>;
void SetFileFaultHookForTesting(FileFaultHook hook); // an empty hook ends it

// fsync of a descriptor written for path; false with errno set.
bool SyncDescriptor(int fd, const std::string& path);
// Writes what was written to the descriptor so far to disk and waits for it, without the flush
// of the disk's cache and of the file's size and times that fsync adds: a flush on the way, which
// a final SyncDescriptor completes. False with errno set; the kernel reports a failed write once,
// here or at the next flush, whichever asks first. A test sees it as FileStep::Sync.
bool WriteBackDescriptor(int fd, const std::string& path);
// Closes the descriptor (it is gone afterwards in any case); false with errno set, as some file
// systems only report at closing that the data did not fit.
bool CloseDescriptor(int fd, const std::string& path);
// rename, which may replace a plain file under to; false with errno set.
bool RenameReplacing(const std::string& from, const std::string& to);

// Writes go to a hidden temp file beside their target, ".NAME.XXXXXX" (the Xs for mkstemp). A
// run killed meanwhile leaves it behind; the next run of the same writer removes it.
std::string HiddenTempTemplate(const std::string& target);
// The target name a hidden temp file's name stands for; empty when the name is no such name.
std::string HiddenTempTarget(std::string_view name);
// A leftover is removed only when untouched this long and held open by no process: another
// instance may be in the middle of writing it, and another user's processes cannot be seen.
inline constexpr int LeftoverTempMinAgeSeconds = 300;
// Removes the leftovers in dir whose target name ours accepts; never anything else. Returns how
// many went. Failures are ignored: a leftover costs only space.
int RemoveLeftoverTemps(const std::string& dir, const std::function<bool(std::string_view target)>& ours);
// The leftovers of earlier writes to exactly this target.
int RemoveLeftoverTempsOf(const std::string& target);

std::string ConcatPathNames(std::string_view a, std::string_view b);
std::string IncludeTrailingPathDelimiter(std::string_view dir);
std::string ExtractFileDir(std::string_view path);  // without trailing delimiter
std::string ExtractFilePath(std::string_view path); // with trailing delimiter
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path); // with its point, or empty
std::string ExpandFileName(std::string_view path); // absolute, against the current directory

// A site may hold more logs than the default soft limit of open files lets one merge read at
// once; the limit is raised to what the system allows this process (the merge copes with fewer).
void RaiseOpenFileLimit();

std::string GetCurrentDir();
bool SetCurrentDir(const std::string& dir);
// Creates the directory and its parents; false when it cannot.
bool ForceDirectories(const std::string& dir);

} // namespace infemora
