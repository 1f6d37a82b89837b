#include "shell/status_texte.h"

namespace infemora {

namespace {

std::string datumZeit(TDateTime t) {
    return FormatDateTime("dd.MM.yyyy HH:mm:ss", t);
}

} // namespace

std::string AnzahlText(std::int64_t n) {
    std::string ziffern = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (std::size_t i = 0; i < ziffern.size(); ++i) {
        if (i > 0 && (ziffern.size() - i) % 3 == 0)
            out += '.';
        out += ziffern[i];
    }
    return n < 0 ? "-" + out : out;
}

std::string DateienZeilenText(int dateien, std::int64_t zeilen) {
    if (dateien <= 0)
        return "keine Datei";
    return AnzahlText(dateien) + (dateien == 1 ? " Datei, " : " Dateien, ") + AnzahlText(zeilen) +
           (zeilen == 1 ? " Zeile" : " Zeilen");
}

std::string ZeitraumText(TDateTime von, TDateTime bis) {
    if (von.isZero())
        return "Zeitraum bis " + datumZeit(bis);
    const std::string ende = von.day() == bis.day() ? FormatDateTime("HH:mm:ss", bis) : datumZeit(bis);
    return "Zeitraum " + datumZeit(von) + " \u2013 " + ende;
}

std::string FilterText(bool gefiltert, TDateTime von, TDateTime bis) {
    return gefiltert ? ZeitraumText(von, bis) : "alle Eintr\u00e4ge";
}

std::string KeinEintragImZeitraumText(TDateTime von, TDateTime bis) {
    return "Kein Eintrag liegt im " + ZeitraumText(von, bis) + ".";
}

std::string CursorText(std::int64_t zeile, std::int64_t zeilen, std::optional<TDateTime> stempel) {
    if (zeilen <= 0)
        return {};
    std::string out = "Zeile " + AnzahlText(zeile + 1) + " von " + AnzahlText(zeilen);
    if (stempel)
        out += " \u00b7 Eintrag vom " + datumZeit(*stempel);
    return out;
}

std::string NichtGefundenText(const std::string& textUtf8) {
    return "\u201e" + textUtf8 + "\u201c nicht gefunden";
}

} // namespace infemora
