#pragma once
// The message service: every routine registers what it caught here with its context name.
// Each registered failure goes to the error log in STATEMP (time, context, message), to stderr,
// and to the notice sink the GUI installs (non-blocking, never a modal box).
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
};

class QVRInfo {
public:
    using NoticeSink = std::function<void(const std::string& context, const std::string& messageUtf8)>;
    using MeldungSink = std::function<void(int number, const std::string& textUtf8)>;

    void RegisterException(const std::string& context, const std::exception& e, bool flag = true);
    void RegisterException(const std::string& context, const std::exception_ptr& e, bool flag = true);
    void RegisterMessage(const std::string& context, const std::string& messageUtf8, bool flag = true);
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

    std::vector<RegisteredError> registered() const;
    void clearRegistered();
    int meldungCount(int number) const;
    std::string errorLogPath() const;

private:
    void writeLog(const std::string& context, const std::string& message);

    mutable std::mutex mutex_;
    std::vector<RegisteredError> registered_;
    std::vector<int> meldungen_;
    NoticeSink noticeSink_;
    MeldungSink meldungSink_;
    bool echo_ = true;
    bool terminated_ = false;
};

QVRInfo& Info();

// For use inside catch (...): registers the exception in flight.
void RegisterCurrentException(const std::string& context, bool flag = true);

} // namespace infemora
