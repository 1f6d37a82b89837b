// What merge and shorten from the menu asks before and reports after.
#include "archive/kuerzen_bericht.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

bool enthaelt(const std::string& text, const std::string& teil) {
    return text.find(teil) != std::string::npos;
}

TEST(KuerzenBericht, TheQuestionNamesTheFolderAndTheDaysKept) {
    const TDateTime stichtag = EncodeDate(2026, 11, 28);
    const std::string frage = KuerzenFrageText("/srv/kasse/infoprot", 10, stichtag);
    EXPECT_TRUE(enthaelt(frage, "/srv/kasse/infoprot"));
    EXPECT_TRUE(enthaelt(frage, "ab dem 28.11.2026 (die letzten 10 Tage)"));
    EXPECT_TRUE(enthaelt(KuerzenFrageText("/x", 1, stichtag), "(der letzte Tag)"));
    // Days of 0 or less put the cutoff into the future: only the day is named.
    EXPECT_TRUE(enthaelt(KuerzenFrageText("/x", -5, stichtag), "ab dem 28.11.2026;"));
}

TEST(KuerzenBericht, TheReportSaysWhatWasWrittenReplacedAndLeftAlone) {
    KuerzenErgebnis e;
    e.success = true;
    e.infoAlt = "ALT-INFO.003";
    e.infoNeu = "ALT-INFO.004";
    e.tranAlt = "ALT-TRAN.000";
    e.tranNeu = "ALT-TRAN.001";
    e.menuAlt = "ALT-MENU.000";
    e.menuNeu = "ALT-MENU.001";
    e.geschrieben = {"/l/ALT-INFO.003", "/l/ALT-INFO.004", "/l/ALT-TRAN.000", "/l/ALT-MENU.001"};
    e.geloescht = {"/l/INFOPROT.001", "/l/infoprot.tmp", "/l/TRANSFER.LOG", "/l/MENU.LOG"};
    e.umbenannt = {"/l/INFEMORA.000"};
    e.behalten = {"/l/INF_KASSE1.LOG"};
    const std::string bericht = KuerzenBerichtText(e, 10, EncodeDate(2026, 11, 28));
    struct Zeile {
        const char* name;
        const char* text;
    };
    const Zeile zeilen[] = {
        {"the days kept", "Behalten: die Eintr\u00e4ge ab dem 28.11.2026 (die letzten 10 Tage)."},
        {"the archives written", "Archivdateien geschrieben: ALT-INFO.003, ALT-TRAN.000."},
        {"what was replaced", "Ersetzt: INFEMORA.000 (aus 2 Infoprotokollen)."},
        {"a log whose lines all went to the archive",
         "Gel\u00f6scht, weil alle Eintr\u00e4ge archiviert sind: TRANSFER.LOG."},
        {"a recent part that kept its archive name", "konnte: ALT-MENU.001."},
        {"a log that was in use", "inzwischen ge\u00e4ndert: INF_KASSE1.LOG."},
    };
    for (const auto& z : zeilen)
        EXPECT_TRUE(enthaelt(bericht, z.text)) << z.name << "\n" << bericht;
}

TEST(KuerzenBericht, NothingOldNothingWritten) {
    KuerzenErgebnis e;
    e.success = true;
    e.infoAlt = "ALT-INFO.000";
    e.infoNeu = "ALT-INFO.001";
    const std::string bericht = KuerzenBerichtText(e, 10, EncodeDate(2026, 11, 28));
    EXPECT_TRUE(enthaelt(bericht, "Archivdateien geschrieben: keine"));
    EXPECT_TRUE(enthaelt(bericht, "Ersetzt: keine Datei."));
    EXPECT_FALSE(enthaelt(bericht, "Gel\u00f6scht"));
}

} // namespace
} // namespace infemora
