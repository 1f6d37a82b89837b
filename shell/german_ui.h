#pragma once
// Every text of the program is German, so Qt's own texts are German too, whatever the system's
// locale: file, folder and print dialogs, "Ja"/"Nein", "Details einblenden...". Calendars and
// dates that Qt formats follow German rules as well.
class QCoreApplication;

namespace infemora {

// Loads Qt's German translation (qtbase_de from Qt's translations folder) into the application
// and makes German the default locale. False when the translation is not installed; the dialogs
// then keep Qt's English texts.
bool DeutscheOberflaeche(QCoreApplication& app);

} // namespace infemora
