#include "merge/merge_run.h"

#include "host/codec1252.h"
#include "host/dir_lock.h"
#include "host/directories.h"
#include "host/direxplorer.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/discovery.h"
#include "merge/infoprot_layout.h"
#include "merge/merge_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {

namespace {

// A write happens when more lines than this wait; a part is cut before a temp file gets its
// twelfth write.
constexpr std::int64_t kBatchLines = 1500;
constexpr int kWritesPerPart = 10;

std::string archivName(int number) {
    char buf[32];
    std::snprintf(buf, sizeof buf, ".%.5d", number);
    return std::string(AltInfoPrefix) + buf;
}

// What the run read of one source, to recognise it unchanged before it is deleted.
struct SourceRecord {
    std::uint64_t device = 0, inode = 0;
    std::int64_t consumedTo = -1; // -1: not read to its end
};

bool fileIdentity(const std::string& path, std::uint64_t& device, std::uint64_t& inode, std::int64_t& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    device = st.st_dev;
    inode = st.st_ino;
    size = st.st_size;
    return true;
}

// The file under path is one the run read to its end and has not changed since: same file,
// same size. A log that a program appended to meanwhile is not merged completely.
bool unchangedSource(const std::string& path, const std::vector<SourceRecord>& sources) {
    std::uint64_t dev, ino;
    std::int64_t size;
    if (!fileIdentity(path, dev, ino, size))
        return false;
    return std::any_of(sources.begin(), sources.end(), [&](const SourceRecord& r) {
        return r.device == dev && r.inode == ino && r.consumedTo >= 0 && r.consumedTo == size;
    });
}

bool sameFile(const std::string& a, const std::string& b) {
    std::uint64_t da, ia, db, ib;
    std::int64_t sa, sb;
    return fileIdentity(a, da, ia, sa) && fileIdentity(b, db, ib, sb) && da == db && ia == ib;
}

} // namespace

bool DateienSortieren_CheckFilterZeile(std::optional<std::string_view> stampLine, bool filterOn,
                                       TDateTime von, TDateTime bis) {
    if (!filterOn || !stampLine)
        return true;
    try {
        TDateTime stamp = ZeitstempelAusZeile(*stampLine);
        return von <= stamp && stamp <= bis;
    } catch (...) {
        RegisterCurrentWarning("DateienSortieren_CheckFilter");
        return false;
    }
}

bool DateienSortieren_CheckFilter(const std::vector<std::string>& lines, bool filterOn, TDateTime von,
                                  TDateTime bis) {
    if (!filterOn)
        return true;
    for (const auto& line : lines)
        if (IstZeitstempelZeile(line))
            return DateienSortieren_CheckFilterZeile(std::string_view(line), true, von, bis);
    return true;
}

void TmpDateiNachVorn(std::vector<std::string>& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (ExtractFileExt(UpperCase1252(files[i])) == ".TMP") {
            std::rotate(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(i),
                        files.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return;
        }
    }
}

int HoechsteArchivNummer(const std::string& dir) {
    TDirExplorer search(dir, std::string(AltInfoPrefix) + ".*");
    int highest = 0;
    for (const TSearchRec& rec : search.List()) {
        auto point = rec.name.find('.');
        std::string_view text =
            point == std::string::npos ? std::string_view() : std::string_view(rec.name).substr(point + 1);
        // Only numbers a part can have; anything larger names no part of ours.
        const int number = StrToIntDef(text, 0);
        if (number <= MaxArchivNummer)
            highest = std::max(highest, number);
    }
    return highest;
}

int RemoveLeftoverLogTemps(const std::string& dir) {
    return RemoveLeftoverTemps(dir, [](std::string_view target) {
        // The names runs write into the log folder, as they write them.
        for (std::string_view prefix : {"ALT-INFO.", "ALT-TRAN.", "ALT-MENU."})
            if (target.starts_with(prefix) && target.size() > prefix.size())
                return true;
        return target == InfemoraName || target == "TRANSFER.LOG" || target == "MENU.LOG" ||
               target == "TEMOKUER.TXT";
    });
}

MergeRunResult DateienSortieren(const MergeRunInput& in, IProgress& progress) {
    TBufferedFileStreams streams;
    return DateienSortieren(in, progress, streams);
}

namespace {

// Why the sources may not be consolidated even if the merge grows large: each must be a plain file
// under its name that no other program holds, and an INFEMORA.000 beside the parts must be one of
// them (its entries would otherwise be neither in the parts nor kept). Empty: they may.
std::string konsolidierungHindernis(const std::vector<std::string>& realPaths, const std::string& zielDir,
                                    IProgress& progress) {
    for (const auto& path : realPaths) {
        progress.Pump();
        if (!IsPlainFileNoFollow(path))
            return path + " ist keine gew\xC3\xB6hnliche Datei";
        if (CheckFileInUse(path, true))
            return path + " wird von einem anderen Programm benutzt";
    }
    const std::string infemora = zielDir + std::string(InfemoraName);
    if (::access(infemora.c_str(), F_OK) == 0 &&
        std::none_of(realPaths.begin(), realPaths.end(),
                     [&](const std::string& p) { return sameFile(p, infemora); }))
        return infemora + " ist nicht unter den zusammengef\xC3\xBChrten Dateien";
    return {};
}

void writeAllTo(int fd, const char* data, std::size_t size, const std::string& path) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EFileError("Schreiben in " + path + " fehlgeschlagen: " + std::strerror(errno));
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void appendFileTo(int in, const std::string& inPath, int out, const std::string& outPath) {
    std::vector<char> block(1 << 20);
    for (off_t offset = 0;;) {
        ssize_t r = ::pread(in, block.data(), block.size(), offset);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            throw EFileError("Lesen von " + inPath + " fehlgeschlagen: " + std::strerror(errno));
        if (r == 0)
            return;
        writeAllTo(out, block.data(), static_cast<std::size_t>(r), outPath);
        offset += r;
    }
}

// Undoes a consolidation that cannot be completed: the whole text goes back into one file of the
// run (parts first, then the tail), and the parts, which only repeat the sources that stay, are
// removed. The whole text takes the name of the run's result. Returns its descriptor.
UniqueFd teileZuruecknehmen(MergeRunResult& res, int tail, const std::string& tempPath) {
    std::string path = HiddenTempTemplate(tempPath);
    UniqueFd whole(::mkostemp(path.data(), O_CLOEXEC));
    if (!whole)
        throw EFileError("Datei " + tempPath + " kann nicht angelegt werden: " + std::strerror(errno));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(whole.get(), 0666 & ~mask);
    try {
        for (const auto& part : res.archiveParts) {
            UniqueFd in(::open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (!in)
                throw EFileError("Datei " + part + " kann nicht gelesen werden: " + std::strerror(errno));
            appendFileTo(in.get(), part, whole.get(), path);
        }
        appendFileTo(tail, tempPath, whole.get(), path);
        if (!RenameReplacing(path, tempPath))
            ::unlink(path.c_str());
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
    for (const auto& part : res.archiveParts)
        Ensure_DeleteFile(part, false);
    res.archiveParts.clear();
    res.archived = false;
    UniqueFd reader(::dup(whole.get()));
    ::lseek(reader.get(), 0, SEEK_SET);
    return reader;
}

} // namespace

MergeRunResult DateienSortieren(const MergeRunInput& in, IProgress& progress, TBufferedFileStreams& streams) {
    MergeRunResult res;
    res.files = in.files;
    streams.Clear();
    if (in.bufferBytesPerFile != 0)
        streams.SetBufferBytes(in.bufferBytesPerFile);
    std::vector<DirLock> locks;
    try {
        progress.Show(""); // keeps the caption the caller gave it
        progress.Pump();
        const bool discover = in.discoverIn.has_value();
        if (!discover && in.files.empty())
            throw EInfemora("Keine Infoprotokolle in der Liste");
        const std::string tempPath =
            in.tempPath.empty() ? GetDirWwsByName(TQVRFolder::StaTemp, TemoSortName) : in.tempPath;
        // Parts and INFEMORA.000 go beside the first listed file, also when another moves ahead.
        const std::string zielDir =
            discover ? IncludeTrailingPathDelimiter(in.discoverIn->empty() ? GetCurrentDir()
                                                                           : ExpandFileName(*in.discoverIn))
                     : ExtractFilePath(ExpandFileName(in.files.front()));
        std::vector<std::string> lockDirs;
        if (discover)
            lockDirs.push_back(zielDir);
        for (const auto& f : in.files)
            lockDirs.push_back(ExtractFileDir(ExpandFileName(f)));
        const std::chrono::milliseconds wait = in.lockWait.value_or(LockWaitTime());

        // Only an unfiltered run may consolidate: parts of a filtered run would hold the window
        // alone, and the sources deleted after it everything else. A run that consolidates has
        // the folders to itself; any other reads them while no run changes them.
        bool mayConsolidate = in.allowConsolidation && !in.AFilter && !in.split;
        std::string hindernis; // why a consolidation due would not happen
        std::string why;
        bool busy = false;
        if (mayConsolidate) {
            std::vector<std::string> dirs = lockDirs;
            dirs.push_back(zielDir);
            locks = LockFolders(dirs, LockKind::Exclusive,
                                in.consolidationRequired ? wait : std::chrono::milliseconds(0), progress, why,
                                busy);
            if (locks.empty()) {
                if (in.consolidationRequired) {
                    res.lockBusy = busy;
                    res.lockFailure = why;
                    throw EInfemora(why);
                }
                mayConsolidate = false;
                hindernis = why;
            }
        }
        if (locks.empty()) {
            locks = LockFolders(lockDirs, LockKind::Shared, wait, progress, why, busy);
            if (locks.empty()) {
                res.lockBusy = busy;
                res.lockFailure = why;
                throw EInfemora(why);
            }
        }
        if (discover) {
            res.files = AlleInfoDateien(zielDir, &res.skipped);
            if (res.files.empty()) {
                res.success = true;
                locks.clear();
                progress.Close();
                return res;
            }
        }
        TmpDateiNachVorn(res.files);
        std::vector<std::string> realPaths;
        for (const auto& f : res.files)
            realPaths.push_back(ExpandFileName(f));
        if (mayConsolidate) {
            RemoveLeftoverLogTemps(zielDir);
            hindernis = konsolidierungHindernis(realPaths, zielDir, progress);
        }
        const bool mayCut = mayConsolidate && hindernis.empty();
        for (const auto& path : realPaths) {
            progress.Pump();
            streams.Add(path);
        }

        TParallelReader reader(streams);
        reader.Start();
        std::optional<MergeOutput> out(std::in_place, tempPath, in.writeBytes, in.spillBytes);
        out->SplitBy(in.split);

        std::int64_t counted = 0; // lines since the last write
        int flushCount = 0;       // writes into the current temp file
        int archiveNumber = 0;    // highest archive number used or found
        bool archived = false;
        bool broken = false;        // a part could not be made: no further cut, nothing deleted
        std::int64_t tempLines = 0; // lines in the current temp file
        std::int64_t allLines = 0;  // lines of the whole text
        std::string nextName;
        std::string logDir;
        const std::int64_t total = streams.TotalBytes();
        std::int64_t lastRead = -1;

        auto passes = [&](TInfoProtReader& e) {
            if (!in.AFilter)
                return true;
            if (e.Art() == StempelArt::Gueltig)
                return in.FSelVon <= e.Zeitstempel() && e.Zeitstempel() <= in.FSelBis;
            return DateienSortieren_CheckFilterZeile(e.ZeitstempelZeile(), true, in.FSelVon, in.FSelBis);
        };
        auto cutPart = [&]() {
            if (archiveNumber == 0) {
                logDir = in.logDir.empty() ? GetDirWwsByName(TQVRFolder::InfoProt, "") : in.logDir;
                archiveNumber = HoechsteArchivNummer(logDir);
                // Parts go beside the first file; numbers taken there must not collide either.
                // A folder that cannot be searched fails the rename below, which is handled.
                if (IncludeTrailingPathDelimiter(logDir) != zielDir) {
                    try {
                        archiveNumber = std::max(archiveNumber, HoechsteArchivNummer(zielDir));
                    } catch (const EFileError&) {
                        Info().ResetErrorSpezNoWrite();
                    }
                }
            }
            // The part and the tail after it both need a five-digit number.
            if (archiveNumber + 2 > MaxArchivNummer) {
                hindernis = "Es ist keine freie Archivnummer mehr frei (ALT-INFO." +
                            std::to_string(MaxArchivNummer) + " ist erreicht)";
                return false;
            }
            std::string partPath = zielDir + archivName(archiveNumber + 1);
            if (!out->EndBatch(&partPath)) {
                hindernis = "Der Archivteil " + partPath + " kann nicht angelegt werden";
                return false;
            }
            ++archiveNumber;
            nextName = archivName(archiveNumber + 1);
            res.archiveParts.push_back(partPath);
            return true;
        };

        while (!reader.GetEos()) {
            if (reader.HasEntry() && passes(reader.Current())) {
                std::int64_t lines = reader.Current().CopyTo(*out);
                counted += lines;
                tempLines += lines;
                allLines += lines;
                if (counted > kBatchLines) {
                    const std::int64_t batchLines = counted;
                    counted = 0;
                    const bool due = mayConsolidate && flushCount > kWritesPerPart;
                    if (due && mayCut && !broken) {
                        if (cutPart()) {
                            archived = res.archived = true;
                            flushCount = 0;
                            tempLines = batchLines;
                        } else {
                            broken = true;
                            res.notConsolidated = hindernis;
                            out->EndBatch(nullptr);
                        }
                    } else {
                        if (due && res.notConsolidated.empty())
                            res.notConsolidated = hindernis;
                        out->EndBatch(nullptr);
                    }
                    ++flushCount;
                    out->SetBatchMayStartPart(mayCut && !broken && flushCount > kWritesPerPart);
                }
            }
            progress.Pump();
            if (std::int64_t read = streams.BytesRead(); read != lastRead) {
                lastRead = read;
                progress.Step(read, std::max(total, read));
            }
            if (!reader.HasEntry())
                reader.Recover();
            reader.Advance();
        }
        // The last entry counts towards no batch; it goes with the final write.
        if (reader.HasEntry() && passes(reader.Current())) {
            const std::int64_t lines = reader.Current().CopyTo(*out);
            tempLines += lines;
            allLines += lines;
        }
        out->Finish(archived && !broken);
        UniqueFd text = out->OpenResult();

        std::vector<SourceRecord> sources;
        for (std::size_t i = 0; i < streams.Count(); ++i)
            sources.push_back({streams[i].device(), streams[i].inode(), streams[i].ConsumedTo()});
        streams.Clear();

        res.viewFile = tempPath;
        bool published = false;
        if (archived) {
            const std::string tailPath = zielDir + nextName;
            const std::string infemora = zielDir + std::string(InfemoraName);
            // Every source must still be what was read and free to go; otherwise the parts would
            // repeat entries that stay in their logs.
            if (!broken) {
                for (const auto& path : realPaths) {
                    progress.Pump();
                    if (!unchangedSource(path, sources) || CheckFileInUse(path, true)) {
                        hindernis = path + " wurde w\xC3\xA4hrend des Zusammenf\xC3\xBChrens ge\xC3\xA4ndert "
                                           "oder ge\xC3\xB6"
                                           "ffnet";
                        broken = true;
                        break;
                    }
                }
            }
            bool tailInPlace = false;
            if (!broken && CopyToNewFile(text.get(), tailPath)) {
                // INFEMORA.000, when there is one, is a source just checked: the tail, which holds
                // its entries, takes its place in one step.
                tailInPlace = FileExists(infemora) ? RenameReplacing(tailPath, infemora)
                                                   : RenameNoReplace(tailPath, infemora);
                if (!tailInPlace) {
                    hindernis = infemora + " kann nicht ersetzt werden";
                    Ensure_DeleteFile(tailPath, false);
                }
            } else if (!broken) {
                hindernis = "Der Rest " + tailPath + " kann nicht angelegt werden";
            }
            if (!tailInPlace) {
                res.notConsolidated = hindernis;
                text = teileZuruecknehmen(res, text.get(), tempPath);
                published = true;
                archived = false;
                tempLines = allLines;
            } else {
                res.viewFile = infemora;
                for (const auto& path : realPaths) {
                    progress.Pump();
                    // After the first consolidation INFEMORA.000 is itself a source; the new one stays.
                    if (sameFile(path, infemora) || !unchangedSource(path, sources) ||
                        CheckFileInUse(path, true))
                        continue;
                    if (Ensure_DeleteFile(path, false))
                        res.deleted.push_back(path);
                }
            }
        }
        // The result takes the shared name last; what this run shows is its own file in any case.
        if (in.split && !archived) {
            res.ownFile = out->Keep();
            res.ownSplitFile = out->KeepSplit();
            published = true;
        }
        if (!published && !out->Publish() && !archived)
            throw EFileError("Datei " + tempPath + " kann nicht geschrieben werden");
        out.reset();
        res.viewText = std::make_shared<UniqueFd>(std::move(text));
        res.lines = tempLines;
        res.archived = archived;
        res.success = true;
    } catch (...) {
        RegisterCurrentException("DateienSortieren");
        res.success = false;
        res.viewFile.clear();
        res.viewText.reset();
        res.lines = 0;
    }
    streams.Clear();
    locks.clear();
    progress.Close();
    return res;
}

} // namespace infemora
