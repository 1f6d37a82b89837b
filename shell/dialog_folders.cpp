#include "shell/dialog_folders.h"

#include "host/user_state.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace infemora {

namespace {

const char* const kAbschnitt = "Dialogordner";

} // namespace

QString DialogOrdner(const UserState& state, const char* art, const QString& fallback) {
    QString gemerkt = QString::fromStdString(state.Value(kAbschnitt, art));
    if (!gemerkt.isEmpty() && QFileInfo(gemerkt).isDir())
        return gemerkt;
    return fallback;
}

void DialogOrdnerMerken(UserState& state, const char* art, const QString& dateiOderOrdner) {
    const QFileInfo info(dateiOderOrdner);
    const QString ordner = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    if (ordner.isEmpty())
        return;
    state.SetValue(kAbschnitt, art, ordner.toStdString());
    state.Save();
}

QString DokumenteOrdner() {
    QString dokumente = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!dokumente.isEmpty() && QFileInfo(dokumente).isDir())
        return dokumente;
    return QDir::homePath();
}

} // namespace infemora
