#pragma once
// Long work reports through this interface. The GUI lets pending window messages run and shows
// the progress window; the CLI reports on stderr or stays quiet.
#include <cstdint>
#include <string>

namespace infemora {

class IProgress {
public:
    virtual ~IProgress() = default;
    // Lets pending window messages run.
    virtual void Pump() {}
    virtual void Show(const std::string& /*captionUtf8*/) {}
    virtual void Close() {}
    // A line under the caption that says what the work waits for; empty: none.
    virtual void Note(const std::string& /*textUtf8*/) {}
    // Work done of total (bytes, lines, files: whatever the operation counts).
    virtual void Step(std::int64_t /*done*/, std::int64_t /*total*/) {}
};

// Does nothing; for tests and quiet runs.
IProgress& NullProgress();

} // namespace infemora
