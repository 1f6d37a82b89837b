#include "host/messages.h"

#include "host/datetime.h"
#include "host/directories.h"
#include "host/fileutil.h"

#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace infemora {

QVRInfo& Info() {
    static QVRInfo info;
    return info;
}

void QVRInfo::writeLog(const std::string& context, const std::string& message, bool warning) {
    const std::string text = warning ? std::string(WarningMark) + ": " + message : message;
    std::string line = FormatDateTime("dd.MM.yyyy HH:mm:ss", qvr_Now()) + "\t" + context + "\t" + text;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    if (echo_)
        std::cerr << "infemora: " << (warning ? std::string(WarningMark) + ": " : std::string()) << context
                  << ": " << message << std::endl;
    try {
        // A STATEMP that cannot be made only loses the log line; stderr still has it. The folder
        // may be shared: a link planted under the log name must not redirect the write, and a
        // FIFO there must not stop the program.
        std::string path = GetDirWwsByName(TQVRFolder::StaTemp, "INFEMORA_Fehler.log", true);
        int fd = OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT, LinkPolicy::Refuse);
        line += "\r\n";
        ssize_t ignored = ::write(fd, line.data(), line.size());
        (void)ignored;
        ::close(fd);
    } catch (const std::exception& e) {
        if (echo_)
            std::cerr << "infemora: Fehlerprotokoll nicht geschrieben: " << e.what() << std::endl;
    } catch (...) {
    }
}

void QVRInfo::RegisterMessage(const std::string& context, const std::string& message, bool flag) {
    NoticeSink sink;
    {
        std::lock_guard lock(mutex_);
        registered_.push_back({context, message, flag, false});
        sink = noticeSink_;
    }
    writeLog(context, message, false);
    if (sink && flag)
        sink(context, message);
}

void QVRInfo::RegisterWarning(const std::string& context, const std::string& message) {
    NoticeSink sink;
    {
        std::lock_guard lock(mutex_);
        warnings_.push_back({context, message, true, true});
        sink = noticeSink_;
    }
    writeLog(context, message, true);
    if (sink)
        sink(context, std::string(WarningMark) + ": " + message);
}

void QVRInfo::RegisterException(const std::string& context, const std::exception& e, bool flag) {
    RegisterMessage(context, e.what(), flag);
}

void QVRInfo::RegisterException(const std::string& context, const std::exception_ptr& e, bool flag) {
    try {
        if (e)
            std::rethrow_exception(e);
        RegisterMessage(context, "Unbekannter Fehler", flag);
    } catch (const std::exception& ex) {
        RegisterMessage(context, ex.what(), flag);
    } catch (...) {
        RegisterMessage(context, "Unbekannter Fehler", flag);
    }
}

void RegisterCurrentException(const std::string& context, bool flag) {
    Info().RegisterException(context, std::current_exception(), flag);
}

void RegisterCurrentWarning(const std::string& context) {
    try {
        if (std::exception_ptr e = std::current_exception())
            std::rethrow_exception(e);
        Info().RegisterWarning(context, "Unbekannter Fehler");
    } catch (const std::exception& ex) {
        Info().RegisterWarning(context, ex.what());
    } catch (...) {
        Info().RegisterWarning(context, "Unbekannter Fehler");
    }
}

void QVRInfo::FehlerTerminate(const std::string& /*context*/) {
    std::lock_guard lock(mutex_);
    terminated_ = true;
    noticeSink_ = nullptr;
    meldungSink_ = nullptr;
}

void QVRInfo::ResetErrorSpez() {}
void QVRInfo::ResetErrorSpezNoWrite() {}

std::string QVRInfo::MeldungText(int number) {
    switch (number) {
    case 1001:
        return "Der Export wurde erfolgreich abgeschlossen.";
    case 1002:
        return "Der Zeitraum ist nicht gültig: das Von-Datum liegt nach dem Bis-Datum.";
    default:
        return "Meldung " + std::to_string(number);
    }
}

void QVRInfo::ShowMeldung(const std::string& /*programId*/, int number, const std::string& zusatzUtf8) {
    const std::string text =
        zusatzUtf8.empty() ? MeldungText(number) : MeldungText(number) + "\n" + zusatzUtf8;
    MeldungSink sink;
    {
        std::lock_guard lock(mutex_);
        meldungen_.push_back(number);
        sink = meldungSink_;
    }
    if (sink)
        sink(number, text);
    else if (echo_)
        std::cerr << text << std::endl;
}

void QVRInfo::ShowDlgMeldung(const std::string& programId, int number, const std::string& zusatzUtf8) {
    ShowMeldung(programId, number, zusatzUtf8);
}

void QVRInfo::setNoticeSink(NoticeSink sink) {
    std::lock_guard lock(mutex_);
    noticeSink_ = std::move(sink);
}

void QVRInfo::setMeldungSink(MeldungSink sink) {
    std::lock_guard lock(mutex_);
    meldungSink_ = std::move(sink);
}

void QVRInfo::setEchoToStderr(bool on) {
    echo_ = on;
}

std::vector<RegisteredError> QVRInfo::registered() const {
    std::lock_guard lock(mutex_);
    return registered_;
}

std::vector<RegisteredError> QVRInfo::warnings() const {
    std::lock_guard lock(mutex_);
    return warnings_;
}

std::size_t QVRInfo::failureCount() const {
    std::lock_guard lock(mutex_);
    return registered_.size();
}

std::size_t QVRInfo::warningCount() const {
    std::lock_guard lock(mutex_);
    return warnings_.size();
}

void QVRInfo::clearRegistered() {
    std::lock_guard lock(mutex_);
    registered_.clear();
    warnings_.clear();
    meldungen_.clear();
}

int QVRInfo::meldungCount(int number) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (int m : meldungen_)
        n += m == number;
    return n;
}

std::string QVRInfo::errorLogPath() const {
    return GetDirWwsByName(TQVRFolder::StaTemp, "INFEMORA_Fehler.log", false);
}

} // namespace infemora
