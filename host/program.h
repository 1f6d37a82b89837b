#pragma once
// The host program object: program id, exclusive work sections, the R-id for export names.
#include <exception>
#include <string>

namespace infemora {

class QVRProgramm {
public:
    void Init(const std::string& programId, int processType = 0, int instanceCount = 0, bool flag = true);
    void ShowException(const std::exception_ptr& e, bool flag);

    // Waits up to `seconds` for the work section, excluding this process's other callers and
    // every other process of the program; true when the work may begin. Handle is for WorkDone.
    bool WorkStartTry(int& handle, const std::string& context, int seconds);
    void WorkDone(int handle);
    // Why the last WorkStartTry said no: Busy, another work held the section all the time;
    // Failed, the lock could not be taken at all (STATEMP missing or broken; registered).
    enum class WorkRefusal { None, Busy, Failed };
    WorkRefusal lastWorkRefusal() const { return lastRefusal_; }

    int GetRId() const;
    const std::string& programId() const { return programId_; }

    // Set by the unattended upload before its run.
    bool autoRun = false;

private:
    std::string programId_ = "INFEMORA";
    int lockFd_ = -1;
    bool busy_ = false;
    WorkRefusal lastRefusal_ = WorkRefusal::None;
};

QVRProgramm& Programm();

} // namespace infemora
