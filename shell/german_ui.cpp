#include "shell/german_ui.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace infemora {

bool DeutscheOberflaeche(QCoreApplication& app) {
    const QLocale deutsch(QLocale::German, QLocale::Germany);
    QLocale::setDefault(deutsch);
    auto* qtTexte = new QTranslator(&app);
    if (!qtTexte->load(deutsch, QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qtTexte;
        return false;
    }
    return QCoreApplication::installTranslator(qtTexte);
}

} // namespace infemora
