// What a notice tells a person about a registered failure.
#include "host/system_error_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace infemora {
namespace {

TEST(NoticeText, CommonSystemErrorsReadInGermanWithWhatToDo) {
    struct Fall {
        int err;
        const char* deutsch;
        const char* hinweisTeil;
    };
    const Fall faelle[] = {
        {ENOENT, "nicht gefunden", "noch vorhanden"},
        {EACCES, "keine Berechtigung", "Zugriffsrechte"},
        {ENOSPC, "der Datenträger ist voll", "Platz"},
        {EROFS, "der Datenträger ist schreibgeschützt", "geschrieben werden darf"},
        {EBUSY, "wird von einem anderen Programm benutzt", "andere Programm beenden"},
    };
    for (const auto& f : faelle) {
        const std::string message =
            std::string("Datei /x/y kann nicht angelegt werden: ") + std::strerror(f.err);
        const NoticeTexte t = NoticeFuerMenschen("TfrmParallel.Speichern1Click", message);
        EXPECT_EQ(t.meldung, std::string("Datei /x/y kann nicht angelegt werden: ") + f.deutsch) << f.err;
        EXPECT_NE(t.hinweis.find(f.hinweisTeil), std::string::npos) << f.err;
        // The routine and the system's wording stay in the details.
        EXPECT_EQ(t.details, "TfrmParallel.Speichern1Click: " + message) << f.err;
        EXPECT_EQ(SystemFehlerText(f.err), f.deutsch);
    }
}

TEST(NoticeText, AMessageWithoutSystemErrorStaysAndPointsAtTheDetails) {
    const NoticeTexte t = NoticeFuerMenschen("DateienSortieren", "Die Datei ist kein Infoprotokoll");
    EXPECT_EQ(t.meldung, "Die Datei ist kein Infoprotokoll");
    EXPECT_NE(t.hinweis.find("Details"), std::string::npos);
    EXPECT_NE(t.hinweis.find("INFEMORA_Fehler.log"), std::string::npos);
    EXPECT_EQ(t.details, "DateienSortieren: Die Datei ist kein Infoprotokoll");
    EXPECT_EQ(SystemFehlerText(0), "");
    EXPECT_EQ(SystemFehlerHinweis(0), "");
}

} // namespace
} // namespace infemora
