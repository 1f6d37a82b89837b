#pragma once
// The message service: every routine registers what it caught here with its context name.
// Each registered failure goes to the error log in STATEMP (time, context, message), to stderr,
// and to the notice sink the GUI installs (non-blocking, never a modal box).
//
// A warning is what a routine's rules skip on purpose (an entry whose time stamp cannot be read,
// an entry cut off at the end of a file): the result is still complete by those rules. It goes
// the same ways as a failure, marked as a warning, but is kept apart, so that a run can tell
// "complete, with things left out" from "failed".
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace infemora {

struct RegisteredError {
    std::string context;
    std::string message; // UTF-8
    bool flag = true;
    bool warning = false;
};

class QVRInfo {
public:
    using NoticeSink = std::function<void(const std::string& context, const std::string& messageUtf8)>;
    using MeldungSink = std::function<void(int number, const std::string& textUtf8)>;

    void RegisterException(const std::string& context, const std::exception& e, bool flag = true);
    void RegisterException(const std::string& context, const std::exception_ptr& e, bool flag = true);
    void RegisterMessage(const std::string& context, const std::string& messageUtf8, bool flag = true);
    // A warning: what the rules leave out, the result still complete.
    void RegisterWarning(const std::string& context, const std::string& messageUtf8);
    void FehlerTerminate(const std::string& context);
    // Clears the pending error after a failure that is swallowed on purpose.
    void ResetErrorSpez();
    void ResetErrorSpezNoWrite();

    // Catalogue messages of program INFEMORA: 1001 export done, 1002 period not valid.
    // zusatzUtf8, when given, follows the catalogue text on a line of its own (the file written).
    void ShowMeldung(const std::string& programId, int number, const std::string& zusatzUtf8 = {});
    void ShowDlgMeldung(const std::string& programId, int number, const std::string& zusatzUtf8 = {});
    static std::string MeldungText(int number); // UTF-8

    void setNoticeSink(NoticeSink sink);
    void setMeldungSink(MeldungSink sink);
    void setEchoToStderr(bool on);

    // The failures registered (no warnings), in order.
    std::vector<RegisteredError> registered() const;
    std::vector<RegisteredError> warnings() const;
    // How many failures and warnings were registered so far: a run notes them when it begins
    // and compares at its end.
    std::size_t failureCount() const;
    std::size_t warningCount() const;
    void clearRegistered(); // failures, warnings and catalogue messages
    int meldungCount(int number) const;
    std::string errorLogPath() const;

private:
    void writeLog(const std::string& context, const std::string& message, bool warning);

    mutable std::mutex mutex_;
    std::vector<RegisteredError> registered_;
    std::vector<RegisteredError> warnings_;
    std::vector<int> meldungen_;
    NoticeSink noticeSink_;
    MeldungSink meldungSink_;
    bool echo_ = true;
    bool terminated_ = false;
};

QVRInfo& Info();

// For use inside catch (...): registers the exception in flight.
void RegisterCurrentException(const std::string& context, bool flag = true);
// For use inside catch (...): registers the exception in flight as a warning.
void RegisterCurrentWarning(const std::string& context);

// The text a warning is marked with in the error log and on stderr.
inline constexpr const char* WarningMark = "WARNUNG";

} // namespace infemora
