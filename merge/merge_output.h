#pragma once
// The output of a merge run: the temp file, written in batches, and cut into archive parts at
// batch boundaries. Completed batches are collected and written in large blocks. The batch in
// progress stays in memory; should it grow very large while it may still start a new part
// (when its lines must not land in the current temp file), it moves to a spill file beside the
// temp file instead, so that memory stays bounded.
#include "merge/infoprot_readers.h"

#include <cstddef>
#include <string>

namespace infemora {

class MergeOutput final : public IEntrySink {
public:
    MergeOutput(std::string tempPath, std::size_t writeBytes, std::size_t spillBytes);
    ~MergeOutput() override;
    MergeOutput(const MergeOutput&) = delete;
    MergeOutput& operator=(const MergeOutput&) = delete;

    void Append(const char* data, std::size_t size) override;

    // Whether the batch now starting may become the first batch of a new part.
    void SetBatchMayStartPart(bool may) { mayStartPart_ = may; }

    // Ends the batch in progress. With partPath, the temp file is first completed (flushed to
    // disk) and renamed to partPath without replacing anything, and the batch starts a new temp
    // file. False when that rename failed: the temp file then keeps everything.
    bool EndBatch(const std::string* partPath);

    // Writes everything to the temp file; with sync it is flushed to disk. EFileError on failure.
    void Finish(bool sync);

    const std::string& tempPath() const { return tempPath_; }
    const std::string& spillPath() const { return spillPath_; }

private:
    void ensureTemp();
    void writeCommitted();
    void spillPending();
    void appendSpillToTemp();
    void closeTemp(bool sync);

    std::string tempPath_, spillPath_;
    int fd_ = -1, spillFd_ = -1;
    bool tempStarted_ = false; // the current temp file was created in this run
    std::string buf_;          // [0, mark_) completed batches, then the batch in progress
    std::size_t mark_ = 0;
    std::size_t writeBytes_, spillBytes_;
    bool mayStartPart_ = false;
};

} // namespace infemora
