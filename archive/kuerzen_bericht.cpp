#include "archive/kuerzen_bericht.h"

#include "host/fileutil.h"
#include "merge/infoprot_layout.h"

#include <algorithm>

namespace infemora {

namespace {

std::string behaltenText(int kuerzTage, TDateTime stichtag) {
    std::string out = "die Eintr\u00e4ge ab dem " + FormatDateTime("dd.MM.yyyy", stichtag);
    if (kuerzTage == 1)
        out += " (der letzte Tag)";
    else if (kuerzTage > 1)
        out += " (die letzten " + std::to_string(kuerzTage) + " Tage)";
    return out;
}

std::string namen(const std::vector<std::string>& pfade) {
    std::string out;
    for (const auto& p : pfade)
        out += (out.empty() ? "" : ", ") + ExtractFileName(p);
    return out;
}

bool enthaelt(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

} // namespace

std::string KuerzenFrageText(const std::string& logDir, int kuerzTage, TDateTime stichtag) {
    return "Die Protokolle im Verzeichnis\n" + logDir +
           "\nwerden zusammengef\u00fchrt und gek\u00fcrzt.\n\nBehalten werden " +
           behaltenText(kuerzTage, stichtag) +
           "; \u00e4ltere Eintr\u00e4ge kommen in neue Archivdateien (ALT-INFO, ALT-TRAN, ALT-MENU).\n\n"
           "Jetzt zusammenf\u00fchren und k\u00fcrzen?";
}

std::string KuerzenBerichtText(const KuerzenErgebnis& e, int kuerzTage, TDateTime stichtag) {
    std::vector<std::string> archive, ersetzt, nurGeloescht, infoGeloescht, unterArchivnamen;
    auto liveUmbenannt = [&](std::string_view live) {
        return std::any_of(e.umbenannt.begin(), e.umbenannt.end(),
                           [&](const std::string& p) { return ExtractFileName(p) == live; });
    };
    for (const auto& p : e.geschrieben) {
        const std::string name = ExtractFileName(p);
        if (name == e.infoAlt || name == e.tranAlt || name == e.menuAlt)
            archive.push_back(p);
        // A recent part that could not take its live name keeps its archive name.
        else if ((name == e.infoNeu && !liveUmbenannt(InfemoraName)) ||
                 (name == e.tranNeu && !liveUmbenannt(TransferLogName)) ||
                 (name == e.menuNeu && !liveUmbenannt(MenuLogName)))
            unterArchivnamen.push_back(p);
    }
    for (const auto& p : e.umbenannt)
        ersetzt.push_back(p);
    auto neuGeschrieben = [&](const std::string& neu) {
        return std::any_of(e.geschrieben.begin(), e.geschrieben.end(),
                           [&](const std::string& p) { return !neu.empty() && ExtractFileName(p) == neu; });
    };
    for (const auto& p : e.geloescht) {
        const std::string name = ExtractFileName(p);
        if (name == TransferLogName || name == MenuLogName) {
            const std::string& neu = name == TransferLogName ? e.tranNeu : e.menuNeu;
            if (!enthaelt(e.umbenannt, p) && !neuGeschrieben(neu))
                nurGeloescht.push_back(p);
        } else {
            infoGeloescht.push_back(p);
        }
    }

    std::string out = "Zusammenf\u00fchren und K\u00fcrzen ist abgeschlossen.\n\nBehalten: " +
                      behaltenText(kuerzTage, stichtag) + ".\n";
    out += "Archivdateien geschrieben: " +
           (archive.empty() ? std::string("keine (kein \u00e4lterer Eintrag)") : namen(archive)) + ".\n";
    std::string ersetztText;
    for (const auto& p : ersetzt) {
        std::string name = ExtractFileName(p);
        if (name == InfemoraName && !infoGeloescht.empty())
            name += " (aus " + std::to_string(infoGeloescht.size()) +
                    (infoGeloescht.size() == 1 ? " Infoprotokoll)" : " Infoprotokollen)");
        ersetztText += (ersetztText.empty() ? "" : ", ") + name;
    }
    out += "Ersetzt: " + (ersetztText.empty() ? std::string("keine Datei") : ersetztText) + ".\n";
    if (!nurGeloescht.empty())
        out += "Gel\u00f6scht, weil alle Eintr\u00e4ge archiviert sind: " + namen(nurGeloescht) + ".\n";
    if (!unterArchivnamen.empty())
        out += "Die neuen Teile stehen unter ihrem Archivnamen, weil das Protokoll nicht ersetzt werden "
               "konnte: " +
               namen(unterArchivnamen) + ".\n";
    if (!e.behalten.empty())
        out += "Nicht ver\u00e4ndert, weil in Benutzung oder inzwischen ge\u00e4ndert: " + namen(e.behalten) +
               ".\n";
    for (const auto& hinweis : e.hinweise)
        out += hinweis + "\n";
    return out;
}

} // namespace infemora
