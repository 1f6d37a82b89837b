#pragma once
// The output of a merge run: a temp file of this run's own, written in batches, and cut into
// archive parts at batch boundaries. Its name is private to the run (made with O_EXCL beside the
// target), so that a second run writing the same target never swaps the file under this one;
// the finished text takes the target's name only at the end (Publish), and the run reads it back
// through its own descriptor. Completed batches are collected and written in large blocks. The batch in
// progress stays in memory; should it grow very large while it may still start a new part
// (when its lines must not land in the current temp file), it moves to a spill file beside the
// temp file instead, so that memory stays bounded.
//
// With a split rule, the text goes into two private files instead of one: up to the offset the
// rule names, and from there on. Nothing is cut into parts then.
#include "host/unique_fd.h"
#include "merge/infoprot_readers.h"
#include "merge/text_split.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace infemora {

class MergeOutput final : public IEntrySink {
public:
    // targetPath: the name the finished text gets ("TEMOSORT.TXT" in STATEMP).
    MergeOutput(std::string targetPath, std::size_t writeBytes, std::size_t spillBytes);
    ~MergeOutput() override;
    MergeOutput(const MergeOutput&) = delete;
    MergeOutput& operator=(const MergeOutput&) = delete;

    void Append(const char* data, std::size_t size) override;

    // Before the first byte: the text is divided where the rule says (see ITextSplit).
    void SplitBy(ITextSplit* split) { split_ = split; }

    // Whether the batch now starting may become the first batch of a new part.
    void SetBatchMayStartPart(bool may) { mayStartPart_ = may; }

    // Ends the batch in progress. With partPath, the temp file is first completed (flushed to
    // disk) and renamed to partPath without replacing anything, and the batch starts a new temp
    // file. False when that rename failed: the temp file then keeps everything.
    bool EndBatch(const std::string* partPath);

    // Writes everything to the temp file; with sync it is flushed to disk. EFileError on failure.
    void Finish(bool sync);
    // After Finish: a descriptor of the finished text, valid whatever happens to its names.
    UniqueFd OpenResult() const;
    // After Finish: the finished text takes the target's name, replacing an earlier result. False
    // when it cannot; the text then has no name left, but descriptors of it stay valid.
    bool Publish();
    // After Finish, instead of Publish: the finished text keeps its private name, which the
    // caller takes over (and removes when done with it).
    std::string Keep();
    // With a split rule, after Finish and Keep: the private name of the file from the split on,
    // which the caller takes over too; empty when the whole text stayed in the first file.
    std::string KeepSplit();

    const std::string& targetPath() const { return targetPath_; }
    // The private name of the current temp file (empty before the first write).
    const std::string& tempPath() const { return tempPath_; }
    const std::string& spillPath() const { return spillPath_; }

private:
    void ensureTemp();
    void writeCommitted();
    void spillPending();
    void appendSpillToTemp();
    void closeTemp(bool sync);
    void writeOut(const char* data, std::size_t size);
    void startSecond(std::uint64_t at, const char* data, std::size_t size);

    int createPrivate(std::string& path) const;

    std::string targetPath_, tempPath_, spillPath_;
    int fd_ = -1, spillFd_ = -1;
    bool tempStarted_ = false; // the current temp file exists under tempPath_
    bool published_ = false;
    std::string buf_; // [0, mark_) completed batches, then the batch in progress
    std::size_t mark_ = 0;
    std::size_t writeBytes_, spillBytes_;
    bool mayStartPart_ = false;
    ITextSplit* split_ = nullptr;
    std::uint64_t firstBytes_ = 0; // bytes written to the first file while the split is open
    int secondFd_ = -1;            // the file from the split on, once it is known
    std::string secondPath_;
    bool secondKept_ = false;
};

} // namespace infemora
