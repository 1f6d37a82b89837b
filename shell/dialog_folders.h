#pragma once
// The folder a file dialog opens in: the one the user last chose in a dialog of that kind,
// kept in the per-user state; else a folder that suits the dialog.
#include <QString>

namespace infemora {

class UserState;

// The kinds of dialog that remember their folder.
inline constexpr const char* kOrdnerInfoprotokolle = "Infoprotokolle"; // "Infoprotokolle öffnen"
inline constexpr const char* kOrdnerEinzeldatei = "Einzeldatei";       // "Ansicht einzelner Datei"
inline constexpr const char* kOrdnerSpeichern = "Speichern";           // "Speichern unter"
inline constexpr const char* kOrdnerExport = "Export";                 // the booking export

// The remembered folder while it still exists, else fallback.
QString DialogOrdner(const UserState& state, const char* art, const QString& fallback);
// Remembers the folder of a chosen file, or the chosen folder itself, and saves the state.
void DialogOrdnerMerken(UserState& state, const char* art, const QString& dateiOderOrdner);

// Where a save starts when nothing is remembered: the user's documents folder (never the log
// directory, where a saved text would be read as one more log).
QString DokumenteOrdner();

} // namespace infemora
