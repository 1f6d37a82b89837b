// The whole shorten run on generated log directories.
#include "archive/kuerzen_run.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "kuerzen_fixture.h"
#include "support/test_env.h"
#include "textview/log_document.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace infemora {
namespace {

using kuerzentest::Concat;
using kuerzentest::Eintrag;
using kuerzentest::Namen;
using kuerzentest::Vorhanden;
using kuerzentest::Zeilen;

class KuerzenLauf : public ::testing::Test {
protected:
    void SetUp() override { SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(9, 0, 0, 0)); }
    void TearDown() override { SetCurrentDir("/"); }

    std::string log(const std::string& name, const Lines& lines) {
        site.writeLines(site.logFile(name), lines);
        return site.logFile(name);
    }
    std::string bytes(const std::string& name) { return site.readFile(site.logFile(name)); }

    // The info text as the view holds it: a merged file in STATEMP.
    void infoText(const Lines& lines) {
        site.writeLines(site.statemp() + "/TEMOSORT.TXT", lines);
        text.open(site.statemp() + "/TEMOSORT.TXT");
    }

    KuerzenEingabe eingabe(std::vector<std::string> files) {
        KuerzenEingabe in;
        in.stichtag = KuerzStichtag(10);
        in.logDir = site.logDir();
        in.infoDateien = std::move(files);
        in.infoText = &text;
        return in;
    }

    std::vector<std::string> registeredContexts() {
        std::vector<std::string> out;
        for (const auto& r : Info().registered())
            out.push_back(r.context);
        return out;
    }

    testenv::TempSite site;
    LogDocument text;
    kuerzentest::RecordingProgress progress;
};

TEST_F(KuerzenLauf, FoldsTheThreeLogsIntoArchivesUnderTheLowestFreeNames) {
    Lines a1 = Eintrag("20261101", "080000", "a1"), a2 = Eintrag("20261201", "080000", "a2");
    Lines b1 = Eintrag("20261120", "080000", "b1"), b2 = Eintrag("20261205", "080000", "b2");
    std::string f1 = log("INFOPROT.001", Concat({a1, a2}));
    std::string f2 = log("infoprot.tmp", Concat({b1, {"00001"}, b2}));
    infoText(Concat({a1, b1, {"00001"}, a2, b2}));
    log("TRANSFER.LOG", {"20261101 t1", "   weiter", "20261130 t2", "20261101 t3"});
    log("MENU.LOG", {"01.11.2026\xF8m1", "08.12.2026\xF8m2"});
    // Earlier archives with a gap in the numbers.
    log("ALT-INFO.000", {"alt 0"});
    log("ALT-INFO.002", {"alt 2"});
    log("ALT-TRAN.000", {"tran 0"});
    log("ALT-MENU.001", {"menu 1"});

    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(eingabe({f1, f2}), progress);

    ASSERT_TRUE(res.success);
    EXPECT_TRUE(Info().registered().empty());
    EXPECT_EQ(res.infoAlt, "ALT-INFO.001");
    EXPECT_EQ(res.infoNeu, "ALT-INFO.003");
    EXPECT_EQ(res.tranAlt, "ALT-TRAN.001");
    EXPECT_EQ(res.tranNeu, "ALT-TRAN.002");
    EXPECT_EQ(res.menuAlt, "ALT-MENU.000");
    EXPECT_EQ(res.menuNeu, "ALT-MENU.002");
    EXPECT_EQ(Namen(site.logDir()),
              std::vector<std::string>({"ALT-INFO.000", "ALT-INFO.001", "ALT-INFO.002", "ALT-MENU.000",
                                        "ALT-MENU.001", "ALT-TRAN.000", "ALT-TRAN.001", "INFEMORA.000",
                                        "MENU.LOG", "TRANSFER.LOG"}));
    EXPECT_EQ(bytes("ALT-INFO.001"), JoinLinesCrLf(Concat({a1, b1})));
    EXPECT_EQ(bytes("INFEMORA.000"), JoinLinesCrLf(Concat({{"00001"}, a2, b2})));
    EXPECT_EQ(bytes("ALT-TRAN.001"), "20261101 t1\r\n   weiter\r\n");
    EXPECT_EQ(bytes("TRANSFER.LOG"), "20261130 t2\r\n20261101 t3\r\n");
    EXPECT_EQ(bytes("ALT-MENU.000"), "01.11.2026\xF8m1\r\n");
    EXPECT_EQ(bytes("MENU.LOG"), "08.12.2026\xF8m2\r\n");
    EXPECT_EQ(bytes("ALT-INFO.000"), "alt 0\r\n");
    EXPECT_EQ(bytes("ALT-TRAN.000"), "tran 0\r\n");
    EXPECT_FALSE(Vorhanden(site.statemp() + "/TEMOKUER.TXT"));
    EXPECT_EQ(progress.caption, "Daten werden gek\xC3\xBCrzt ...");
    EXPECT_EQ(progress.shows, 1);
    EXPECT_EQ(progress.closes, 1);
}

TEST_F(KuerzenLauf, PartsAreWrittenInOrderAndOnlyWhenTheyHoldLines) {
    std::string f =
        log("infoprot.tmp", Concat({Eintrag("20261101", "080000", "alt"), Eintrag("20261201", "0", "neu")}));
    infoText(Zeilen(f));
    log("TRANSFER.LOG", {"20261101 t1", "20261201 t2"});
    std::vector<std::string> gesehen;
    auto in = eingabe({f});
    in.teilSchreiben = [&](const std::string& path, const Teil& lines) {
        gesehen.push_back(ExtractFileName(path));
        NeueDateiSchreiben(path, lines);
    };
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(in, progress);
    ASSERT_TRUE(res.success);
    EXPECT_EQ(gesehen,
              std::vector<std::string>({"ALT-INFO.000", "ALT-INFO.001", "ALT-TRAN.000", "ALT-TRAN.001"}));
    EXPECT_EQ(res.menuAlt, "ALT-MENU.000") << "nothing written for the menu log keeps its numbers free";
    EXPECT_EQ(Namen(site.logDir()),
              std::vector<std::string>({"ALT-INFO.000", "ALT-TRAN.000", "INFEMORA.000", "TRANSFER.LOG"}));
}

TEST_F(KuerzenLauf, AnAllOldLogIsArchivedWholeAndNotCreatedAgain) {
    infoText({});
    log("TRANSFER.LOG", {"20261101 t1", "   weiter", "20261127 t2"});
    log("MENU.LOG", {"28.11.2026\xF8m1", "08.12.2026\xF8m2"});
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(eingabe({"Keine Dateien gefunden"}), progress);
    ASSERT_TRUE(res.success);
    EXPECT_EQ(bytes("ALT-TRAN.000"), "20261101 t1\r\n   weiter\r\n20261127 t2\r\n");
    EXPECT_FALSE(Vorhanden(site.logFile("TRANSFER.LOG")));
    EXPECT_FALSE(Vorhanden(site.logFile("ALT-TRAN.001")));
    // A log without old lines gets no archive; its recent part takes the live name again.
    EXPECT_EQ(bytes("MENU.LOG"), "28.11.2026\xF8m1\r\n08.12.2026\xF8m2\r\n");
    EXPECT_EQ(Namen(site.logDir()), std::vector<std::string>({"ALT-TRAN.000", "MENU.LOG"}));

    // The next run finds the menu numbers still free.
    res = ZusammenfuehrenUndKuerzen(eingabe({"Keine Dateien gefunden"}), progress);
    ASSERT_TRUE(res.success);
    EXPECT_EQ(res.menuAlt, "ALT-MENU.000");
    EXPECT_EQ(res.tranAlt, "ALT-TRAN.001");
}

TEST_F(KuerzenLauf, WithoutInfoLogsOnlyThePlaceholderIsListedAndNothingIsDeleted) {
    // The placeholder is no file name, even where a file of that name lies in the current folder.
    ASSERT_TRUE(SetCurrentDir(site.logDir()));
    log("Keine Dateien gefunden", {"nicht anfassen"});
    log("TRANSFER.LOG", {"20261201 t"});
    infoText({});
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(eingabe({"Keine Dateien gefunden"}), progress);
    ASSERT_TRUE(res.success);
    EXPECT_TRUE(res.geloescht == std::vector<std::string>({site.logFile("TRANSFER.LOG")}));
    EXPECT_EQ(Namen(site.logDir()), std::vector<std::string>({"Keine Dateien gefunden", "TRANSFER.LOG"}));
    EXPECT_EQ(bytes("TRANSFER.LOG"), "20261201 t\r\n");
}

TEST_F(KuerzenLauf, ALogThatAnotherProgramHoldsOpenIsLeftWholeAndNothingOfItArchived) {
    Lines alt = Eintrag("20261101", "080000", "alt"), neu = Eintrag("20261201", "080000", "neu");
    std::string infemora = log("INFEMORA.000", alt);
    std::string tmp = log("infoprot.tmp", neu);
    infoText(Concat({alt, neu}));
    log("TRANSFER.LOG", {"20261101 t1", "20261201 t2"});
    log("MENU.LOG", {"01.11.2026\xF8m1", "08.12.2026\xF8m2"});
    auto vorher = kuerzentest::ZeilenBestand(site.logDir());
    KuerzenErgebnis res;
    {
        kuerzentest::FileHolder h1(infemora);
        kuerzentest::FileHolder h2(site.logFile("TRANSFER.LOG"));
        res = ZusammenfuehrenUndKuerzen(eingabe({infemora, tmp}), progress);
    }
    ASSERT_TRUE(res.success);
    EXPECT_FALSE(res.vollstaendig());
    EXPECT_EQ(res.hinweise.size(), 2u) << "one for the info logs, one for the transfer log";
    // The info logs go all together or not at all: infoprot.tmp stays although it is free, or
    // its entries would stand in an archive and, through INFEMORA.000, in a live log too.
    EXPECT_TRUE(res.geloescht.size() == 1 && res.geloescht[0] == site.logFile("MENU.LOG"));
    EXPECT_EQ(res.behalten, std::vector<std::string>({infemora, tmp, site.logFile("TRANSFER.LOG")}));
    EXPECT_EQ(bytes("INFEMORA.000"), JoinLinesCrLf(alt));
    EXPECT_EQ(bytes("infoprot.tmp"), JoinLinesCrLf(neu));
    EXPECT_EQ(bytes("TRANSFER.LOG"), "20261101 t1\r\n20261201 t2\r\n");
    EXPECT_EQ(Namen(site.logDir()), std::vector<std::string>({"ALT-MENU.000", "INFEMORA.000", "MENU.LOG",
                                                              "TRANSFER.LOG", "infoprot.tmp"}));
    EXPECT_EQ(kuerzentest::ZeilenBestand(site.logDir()), vorher) << "every line once, none twice";
}

TEST_F(KuerzenLauf, APartThatCannotBeWrittenStopsTheRunBeforeAnyDeletion) {
    Lines alt = Eintrag("20261101", "080000", "alt"), neu = Eintrag("20261201", "080000", "neu");
    std::string f = log("infoprot.tmp", Concat({alt, neu}));
    infoText(Concat({alt, neu}));
    log("TRANSFER.LOG", {"20261101 t1", "20261201 t2"});
    log("MENU.LOG", {"01.11.2026\xF8m1", "08.12.2026\xF8m2"});
    log("ALT-INFO.000", {"fr\xFCher"});
    auto namenVorher = Namen(site.logDir());
    auto in = eingabe({f});
    // The disk fills up at the old menu part, the fifth of six.
    in.teilSchreiben = [](const std::string& path, const Teil& lines) {
        if (ExtractFileName(path).starts_with("ALT-MENU"))
            throw EFileError("Schreiben in " + path + " fehlgeschlagen: No space left on device");
        NeueDateiSchreiben(path, lines);
    };
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(in, progress);
    EXPECT_FALSE(res.success);
    EXPECT_EQ(registeredContexts(), std::vector<std::string>({"CheckTransferDatum"}));
    EXPECT_EQ(Namen(site.logDir()), namenVorher) << "the parts written before are taken back";
    EXPECT_EQ(bytes("infoprot.tmp"), JoinLinesCrLf(Concat({alt, neu})));
    EXPECT_EQ(bytes("TRANSFER.LOG"), "20261101 t1\r\n20261201 t2\r\n");
    EXPECT_EQ(bytes("MENU.LOG"), "01.11.2026\xF8m1\r\n08.12.2026\xF8m2\r\n");
    EXPECT_EQ(progress.closes, 1);
    EXPECT_TRUE(res.geloescht.empty());
}

TEST_F(KuerzenLauf, AFullDiskLeavesEveryLogAsItWas) {
    Lines text;
    for (int i = 0; i < 40; ++i)
        text = Concat(
            {text, Eintrag(i < 20 ? "20261101" : "20261201", "080000", "Eintrag " + std::to_string(i))});
    std::string f = log("infoprot.tmp", text);
    infoText(text);
    log("TRANSFER.LOG", {"20261101 t1", "20261201 t2"});
    auto namenVorher = Namen(site.logDir());
    Info().setEchoToStderr(false);

    // No file of this process may grow beyond 512 bytes: the temp file of the info text cannot
    // be written, as on a full disk.
    struct rlimit alt {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &alt), 0);
    auto vorherSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit klein = alt;
    klein.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &klein), 0);
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(eingabe({f}), progress);
    setrlimit(RLIMIT_FSIZE, &alt);
    std::signal(SIGXFSZ, vorherSignal);

    EXPECT_FALSE(res.success);
    EXPECT_EQ(registeredContexts(), std::vector<std::string>({"CheckTransferDatum"}));
    EXPECT_EQ(Namen(site.logDir()), namenVorher);
    EXPECT_EQ(bytes("infoprot.tmp"), JoinLinesCrLf(text));
    EXPECT_EQ(bytes("TRANSFER.LOG"), "20261101 t1\r\n20261201 t2\r\n");
}

TEST_F(KuerzenLauf, AnInfoLogWrittenToAfterTheMergeReadItKeepsAllInfoLogsWhole) {
    Lines alt = Eintrag("20261101", "080000", "alt"), neu = Eintrag("20261201", "080000", "neu");
    std::string a = log("INFOPROT.001", alt);
    std::string b = log("infoprot.tmp", neu);
    auto in = eingabe({a, b});
    in.infoStempelVorher = StempelVon(std::vector<std::string>{a, b});
    // The program appends an entry after the merge has read the log.
    Lines spaeter = Eintrag("20261208", "090500", "dazu");
    infoText(Concat({alt, neu}));
    site.writeLines(b, Concat({neu, spaeter}));
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(in, progress);
    ASSERT_TRUE(res.success);
    EXPECT_FALSE(res.vollstaendig());
    EXPECT_TRUE(res.geloescht.empty());
    EXPECT_EQ(res.behalten, std::vector<std::string>({a, b}));
    EXPECT_EQ(Zeilen(a), alt);
    EXPECT_EQ(Zeilen(b), Concat({neu, spaeter}));
    EXPECT_EQ(Namen(site.logDir()), std::vector<std::string>({"INFOPROT.001", "infoprot.tmp"}));
}

TEST_F(KuerzenLauf, TheTransferAndMenuLogsAreSplitAsTheirFilesStandByteForByte) {
    infoText({});
    // A byte-order mark and bytes of no code page are archived and kept as they are.
    const char tran[] = "\xEF\xBB\xBF"
                        "20261101 t1\r\n20261201 t2\xFF\x00x\r\n20261208 t3\r\n";
    site.writeFile(site.logFile("TRANSFER.LOG"), std::string(tran, sizeof tran - 1));
    site.writeFile(site.logFile("MENU.LOG"), "\xFF\xFE"
                                             "01.11.2026\xF8m1\r\n08.12.2026\xF8m2 ganz\r\n");
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(eingabe({"Keine Dateien gefunden"}), progress);
    ASSERT_TRUE(res.success);
    EXPECT_TRUE(res.vollstaendig());
    EXPECT_EQ(bytes("ALT-TRAN.000"), "\xEF\xBB\xBF"
                                     "20261101 t1\r\n");
    const char recent[] = "20261201 t2\xFF\x00x\r\n20261208 t3\r\n";
    EXPECT_EQ(bytes("TRANSFER.LOG"), std::string(recent, sizeof recent - 1));
    EXPECT_EQ(bytes("ALT-MENU.000"), "\xFF\xFE"
                                     "01.11.2026\xF8m1\r\n");
    EXPECT_EQ(bytes("MENU.LOG"), "08.12.2026\xF8m2 ganz\r\n");
}

TEST_F(KuerzenLauf, LogsNamedInAnotherLetterCaseAreShortenedUnderTheirOwnNames) {
    infoText({});
    log("transfer.log", {"20261101 t1", "20261201 t2"});
    log("Menu.Log", {"01.11.2026\xF8m1", "08.12.2026\xF8m2"});
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(eingabe({"Keine Dateien gefunden"}), progress);
    ASSERT_TRUE(res.success);
    EXPECT_TRUE(res.vollstaendig());
    EXPECT_EQ(bytes("ALT-TRAN.000"), "20261101 t1\r\n");
    EXPECT_EQ(bytes("transfer.log"), "20261201 t2\r\n");
    EXPECT_EQ(bytes("Menu.Log"), "08.12.2026\xF8m2\r\n");
    EXPECT_EQ(Namen(site.logDir()),
              std::vector<std::string>({"ALT-MENU.000", "ALT-TRAN.000", "Menu.Log", "transfer.log"}));
}

TEST_F(KuerzenLauf, BadInputLosesNothing) {
    // Lines shorter than the tested positions, an empty transfer log, a menu log without any
    // separator: all of it is old.
    Lines kurz = {"", "a", "<<", "00001<<", "00001##", "00001## 2026"};
    std::string f = log("info.txt", kurz);
    infoText(kurz);
    log("TRANSFER.LOG", {});
    log("MENU.LOG", {"Hauptmen\xFC", "Kasse 08.12.2026"});
    auto vorher = kuerzentest::ZeilenBestand(site.logDir());
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(eingabe({f}), progress);
    ASSERT_TRUE(res.success);
    EXPECT_EQ(bytes("ALT-INFO.000"), JoinLinesCrLf(kurz));
    EXPECT_EQ(bytes("ALT-MENU.000"), "Hauptmen\xFC\r\nKasse 08.12.2026\r\n");
    EXPECT_EQ(Namen(site.logDir()), std::vector<std::string>({"ALT-INFO.000", "ALT-MENU.000"}))
        << "an empty live log goes without an archive";
    EXPECT_TRUE(kuerzentest::Fehlende(vorher, site.logDir()).empty());
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(KuerzenLauf, WhenTheMergeFailedTheInfoLogsAreLeftAlone) {
    Lines alt = Eintrag("20261101", "080000", "alt");
    std::string f = log("infoprot.tmp", alt);
    log("TRANSFER.LOG", {"20261101 t1", "20261201 t2"});
    infoText({}); // what a failed merge leaves in the view
    auto in = eingabe({f});
    in.infoTextVollstaendig = false;
    KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(in, progress);
    ASSERT_TRUE(res.success);
    EXPECT_EQ(res.behalten, std::vector<std::string>({f}));
    EXPECT_EQ(Zeilen(f), alt);
    EXPECT_EQ(Namen(site.logDir()),
              std::vector<std::string>({"ALT-TRAN.000", "TRANSFER.LOG", "infoprot.tmp"}));
}

} // namespace
} // namespace infemora
