#pragma once
// What a notice tells a person: the first line says in German what happened and what to do;
// the routine that caught it and the system's own wording stay in the details and in the
// error log. The C library words its errors in English, so the common ones are given German
// texts here.
#include <string>

namespace infemora {

// German text of a system error number ("nicht gefunden"); empty for one without a text here.
std::string SystemFehlerText(int err);
// What the user can do about it; empty when there is nothing particular to say.
std::string SystemFehlerHinweis(int err);

// The parts of a notice for one registered failure (UTF-8).
struct NoticeTexte {
    std::string meldung; // what happened, system errors in German
    std::string hinweis; // what to do
    std::string details; // "context: message" as registered
};

// The first system error text of the C library found in the message is replaced by the German
// one, and the hint follows from it; without one the hint points at the details and the log.
NoticeTexte NoticeFuerMenschen(const std::string& context, const std::string& message);

} // namespace infemora
