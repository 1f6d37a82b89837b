#include "host/system_error_text.h"

#include <cerrno>
#include <cstring>
#include <initializer_list>

namespace infemora {

namespace {

struct Eintrag {
    int err;
    const char* text;
    const char* hinweis;
};

// Ordered by how often people meet them; the first that a message holds wins.
const Eintrag kTexte[] = {
    {ENOENT, "nicht gefunden", "Bitte prüfen, ob die Datei oder der Ordner noch vorhanden ist."},
    {EACCES, "keine Berechtigung",
     "Bitte die Zugriffsrechte prüfen oder den Systemverwalter um die Berechtigung bitten."},
    {EPERM, "Vorgang nicht erlaubt",
     "Bitte die Zugriffsrechte prüfen oder den Systemverwalter um die Berechtigung bitten."},
    {ENOSPC, "der Datenträger ist voll",
     "Bitte Platz auf dem Datenträger schaffen und es noch einmal versuchen."},
    {EDQUOT, "das Speicherkontingent ist erschöpft",
     "Bitte Platz schaffen oder den Systemverwalter um mehr Speicherplatz bitten."},
    {EROFS, "der Datenträger ist schreibgeschützt",
     "Bitte einen Ordner wählen, in den geschrieben werden darf."},
    {EBUSY, "wird von einem anderen Programm benutzt",
     "Bitte das andere Programm beenden und es dann noch einmal versuchen."},
    {ETXTBSY, "wird von einem anderen Programm benutzt",
     "Bitte das andere Programm beenden und es dann noch einmal versuchen."},
    {EEXIST, "ist schon vorhanden", "Bitte einen anderen Namen wählen."},
    {EISDIR, "ist ein Ordner", "Bitte eine Datei wählen."},
    {ENOTDIR, "ist kein Ordner", "Bitte den Pfad prüfen."},
    {ENAMETOOLONG, "der Name ist zu lang", "Bitte einen kürzeren Namen oder Pfad wählen."},
    {ELOOP, "zu viele Verweise im Pfad", "Bitte den Pfad prüfen."},
    {EIO, "Ein-/Ausgabefehler des Datenträgers", "Bitte den Datenträger prüfen lassen."},
    {EMFILE, "zu viele offene Dateien", "Bitte andere Programme schließen und es noch einmal versuchen."},
    {ENFILE, "zu viele offene Dateien im System",
     "Bitte andere Programme schließen und es noch einmal versuchen."},
    {ENOMEM, "nicht genug Arbeitsspeicher", "Bitte andere Programme schließen und es noch einmal versuchen."},
    {EFBIG, "die Datei ist zu groß", "Bitte einen kleineren Zeitraum oder weniger Dateien wählen."},
    {ETIMEDOUT, "keine Antwort in der erwarteten Zeit",
     "Bitte die Verbindung prüfen und es später noch einmal versuchen."},
    {ECONNREFUSED, "die Verbindung wurde abgelehnt", "Bitte die Adresse und den Dienst prüfen."},
};

const Eintrag* finde(int err) {
    for (const Eintrag& e : kTexte)
        if (e.err == err)
            return &e;
    return nullptr;
}

const char* const kAllgemeinerHinweis =
    "Einzelheiten stehen unter „Details“ und im Fehlerprotokoll INFEMORA_Fehler.log.";

} // namespace

std::string SystemFehlerText(int err) {
    const Eintrag* e = finde(err);
    return e ? e->text : std::string();
}

std::string SystemFehlerHinweis(int err) {
    const Eintrag* e = finde(err);
    return e ? e->hinweis : std::string();
}

NoticeTexte NoticeFuerMenschen(const std::string& context, const std::string& message) {
    NoticeTexte out;
    out.details = context.empty() ? message : context + ": " + message;
    out.meldung = message;
    for (const Eintrag& e : kTexte) {
        // The wording of the C library as this process has it (English unless a catalogue of the
        // user's language is installed, and then it needs no help).
        const std::string systemText = std::strerror(e.err);
        const std::size_t at = message.find(systemText);
        if (systemText.empty() || at == std::string::npos)
            continue;
        out.meldung = message.substr(0, at) + e.text + message.substr(at + systemText.size());
        out.hinweis = e.hinweis;
        return out;
    }
    out.hinweis = kAllgemeinerHinweis;
    return out;
}

} // namespace infemora
