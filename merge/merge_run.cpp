#include "merge/merge_run.h"

#include "host/codec1252.h"
#include "host/directories.h"
#include "host/direxplorer.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/infoprot_layout.h"
#include "merge/merge_output.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

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
        highest = std::max(highest, StrToIntDef(text, 0));
    }
    return highest;
}

int RemoveLeftoverLogTemps(const std::string& dir) {
    return RemoveLeftoverTemps(dir, [](std::string_view target) {
        // The names runs write into the log folder, as they write them.
        for (std::string_view prefix : {"ALT-INFO.", "ALT-TRAN.", "ALT-MENU."})
            if (target.starts_with(prefix) && target.size() > prefix.size())
                return true;
        return target == InfemoraName || target == "TRANSFER.LOG" || target == "MENU.LOG";
    });
}

MergeRunResult DateienSortieren(const MergeRunInput& in, IProgress& progress) {
    TBufferedFileStreams streams;
    return DateienSortieren(in, progress, streams);
}

MergeRunResult DateienSortieren(const MergeRunInput& in, IProgress& progress, TBufferedFileStreams& streams) {
    MergeRunResult res;
    res.files = in.files;
    streams.Clear();
    if (in.bufferBytesPerFile != 0)
        streams.SetBufferBytes(in.bufferBytesPerFile);
    try {
        progress.Show(""); // keeps the caption the caller gave it
        progress.Pump();
        if (in.files.empty())
            throw EInfemora("Keine Infoprotokolle in der Liste");
        const std::string tempPath =
            in.tempPath.empty() ? GetDirWwsByName(TQVRFolder::StaTemp, TemoSortName) : in.tempPath;
        // Parts and INFEMORA.000 go beside the first listed file, also when another moves ahead.
        const std::string zielDir = ExtractFilePath(ExpandFileName(in.files.front()));
        TmpDateiNachVorn(res.files);

        // Only an unfiltered run may consolidate: parts of a filtered run would hold the window
        // alone, and the sources deleted after it everything else.
        const bool mayConsolidate = in.allowConsolidation && !in.AFilter;
        if (mayConsolidate)
            RemoveLeftoverLogTemps(zielDir);
        bool allFree = true;
        std::vector<std::string> realPaths;
        for (const auto& f : res.files) {
            progress.Pump();
            realPaths.push_back(ExpandFileName(f));
            if (mayConsolidate && allFree && CheckFileInUse(realPaths.back(), true))
                allFree = false;
            streams.Add(realPaths.back());
        }

        TParallelReader reader(streams);
        reader.Start();
        std::optional<MergeOutput> out(std::in_place, tempPath, in.writeBytes, in.spillBytes);

        std::int64_t counted = 0; // lines since the last write
        int flushCount = 0;       // writes into the current temp file
        int archiveNumber = 0;    // highest archive number used or found
        bool archived = false;
        bool broken = false;        // a part could not be made: no further cut, nothing deleted
        std::int64_t tempLines = 0; // lines in the current temp file
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
            std::string partPath = zielDir + archivName(archiveNumber + 1);
            if (!out->EndBatch(&partPath))
                return false;
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
                if (counted > kBatchLines) {
                    const std::int64_t batchLines = counted;
                    counted = 0;
                    if (mayConsolidate && allFree && !broken && flushCount > kWritesPerPart) {
                        if (cutPart()) {
                            archived = res.archived = true;
                            flushCount = 0;
                            tempLines = batchLines;
                        } else {
                            broken = true;
                        }
                    } else {
                        out->EndBatch(nullptr);
                    }
                    ++flushCount;
                    out->SetBatchMayStartPart(mayConsolidate && allFree && !broken &&
                                              flushCount > kWritesPerPart);
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
        if (reader.HasEntry() && passes(reader.Current()))
            tempLines += reader.Current().CopyTo(*out);
        out->Finish(archived && !broken);
        out.reset();

        std::vector<SourceRecord> sources;
        for (std::size_t i = 0; i < streams.Count(); ++i)
            sources.push_back({streams[i].device(), streams[i].inode(), streams[i].ConsumedTo()});
        streams.Clear();

        if (!archived) {
            res.viewFile = tempPath;
        } else {
            // Nothing is deleted unless every part and the tail are complete on disk and in place.
            const std::string tailPath = zielDir + nextName;
            const std::string infemora = zielDir + std::string(InfemoraName);
            const bool tailWritten = !broken && RenameNoReplace(tempPath, tailPath);
            bool tailInPlace = false;
            if (tailWritten) {
                // The older INFEMORA.000 may only go when its entries are in this merge.
                bool free = !FileExists(infemora);
                if (!free && unchangedSource(infemora, sources) && !CheckFileInUse(infemora, true))
                    free = Ensure_DeleteFile(infemora, false);
                tailInPlace = free && RenameNoReplace(tailPath, infemora);
            }
            res.viewFile = tailInPlace ? infemora : tailWritten ? tailPath : tempPath;
            if (tailInPlace) {
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
        res.lines = tempLines;
        res.archived = archived;
        res.success = true;
    } catch (...) {
        RegisterCurrentException("DateienSortieren");
        res.success = false;
        res.viewFile.clear();
        res.lines = 0;
    }
    streams.Clear();
    progress.Close();
    return res;
}

} // namespace infemora
