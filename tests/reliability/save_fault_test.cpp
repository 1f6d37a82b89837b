// Faults while a file the user asked for is written: a saved log view and the booking export.
// Whatever fails, the old file stays as it was, no half file stands under the name, and no temp
// file is left beside it.
#include "site_fixture.h"

#include "booking/buchungsprotokoll.h"
#include "booking/pkpf_writer.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/settings.h"
#include "host/textfile.h"
#include "textview/document_save.h"
#include "textview/log_document.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace infemora::reliability {
namespace {

// Runs fn in a child whose files may not grow beyond limit bytes; its exit code.
int withFullDisk(long long limit, const std::function<int()>& fn) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        int rc = 99;
        try {
            rc = fn();
        } catch (...) {
        }
        ::_exit(rc);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A step of the host's file layer that fails with EIO for the scope.
class StepFails {
public:
    explicit StepFails(FileStep step) {
        SetFileFaultHookForTesting(
            [step](FileStep s, const std::string&, int) { return s == step ? EIO : 0; });
    }
    ~StepFails() { SetFileFaultHookForTesting({}); }
    StepFails(const StepFails&) = delete;
    StepFails& operator=(const StepFails&) = delete;
};

class DocumentSaveFaults : public ::testing::Test {
protected:
    void SetUp() override {
        Lines lines;
        for (int i = 0; i < 30000; ++i)
            lines.push_back("xxxxx<< Zeile " + std::to_string(i) +
                            " der Ansicht, lang genug f\xFCr Bl\xF6"
                            "cke");
        site.writeLines(site.path("quelle.txt"), lines);
        doc.open(site.path("quelle.txt"));
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
        site.writeFile(target, "alt 1\r\nalt 2\r\n");
    }
    // After a failed save: the old file as it was, nothing else beside it.
    void expectUntouched() {
        EXPECT_EQ(site.readFile(target), "alt 1\r\nalt 2\r\n");
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"gesichert.txt"});
    }

    testenv::TempSite site;
    LogDocument doc;
    std::string dir = site.path("ziel");
    std::string target = dir + "/gesichert.txt";
};

TEST_F(DocumentSaveFaults, AFullDiskKeepsTheOldFile) {
    for (long long limit : {0LL, 100LL, 65536LL, 1200000LL}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        const int rc = withFullDisk(limit, [&] {
            try {
                SaveDocumentLines(doc, target);
            } catch (const EFileError&) {
                return 3;
            }
            return 0;
        });
        EXPECT_EQ(rc, 3);
        expectUntouched();
    }
}

TEST_F(DocumentSaveFaults, AFailingFlushCloseOrRenameKeepsTheOldFile) {
    for (FileStep step : {FileStep::Sync, FileStep::Close, FileStep::Rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        StepFails fault(step);
        EXPECT_THROW(SaveDocumentLines(doc, target), EFileError);
        expectUntouched();
    }
    // The same save goes through once the fault is gone.
    SaveDocumentLines(doc, target);
    EXPECT_EQ(SplitLines(site.readFile(target)).size(), 30000u);
}

TEST_F(DocumentSaveFaults, AFolderUnderTheNameIsNeitherReplacedNorFilled) {
    ASSERT_EQ(::unlink(target.c_str()), 0);
    ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
    site.writeFile(target + "/drin.txt", "bleibt\r\n");
    EXPECT_THROW(SaveDocumentLines(doc, target), EFileError);
    EXPECT_TRUE(DirectoryExists(target));
    EXPECT_EQ(site.readFile(target + "/drin.txt"), "bleibt\r\n");
    EXPECT_EQ(HiddenFiles(dir), std::vector<std::string>{});
}

// The export of the booking tab, judged only by what it leaves in the folder.
class ExportFaults : public ::testing::Test {
protected:
    void SetUp() override {
        Settings s = site.settings();
        s.rid = 5;
        SetSettingsForTesting(s);
        SetClockForTesting(EncodeDate(2024, 5, 10) + EncodeTime(14, 3, 7, 0));
        BookingWriter w(s.buchungsDatei);
        w.begin();
        for (int i = 1; i <= 60; ++i) {
            TPKPF_Buchung b;
            b.BuchungsNr = {12, i};
            b.BuchDatum = EncodeDate(2024, 5, 1 + i % 9);
            b.BuchZeit = EncodeTime(12, i % 60, 0, 0);
            b.Programm = "KASSE";
            b.Vorfall = "VK";
            b.Terminal = "KASSE3";
            b.BenutzerName = "M\xFCller";
            b.Saetze = {{"S1", "RW", "Artikel " + std::to_string(i) + " verkauft"},
                        {"S2", "DE", "Zahlung bar"}};
            b.SatzAnzahl = 2;
            w.insert(b);
            numbers.push_back("12-" + std::to_string(i));
        }
        w.commit();
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    }
    void TearDown() override { SetClockForTesting(TDateTime()); }

    // The export as the tab runs it: 0 when it failed and said so, 1 when it reported success,
    // 2 when it failed silently.
    int exportHere() {
        TBuchungsprotokoll protokoll;
        TPKPFAuswahl auswahl;
        auswahl.modus = TPKPFAnzeigeModus::Buchungsnummer;
        auswahl.rNr = 12;
        auswahl.lNrVon = 1;
        auswahl.lNrBis = 60;
        std::vector<TPKPFKopfZeile> zeilen;
        if (!protokoll.PKPFAnzeigeAktualisieren(auswahl, zeilen) || zeilen.size() != 60)
            return 4;
        Info().clearRegistered();
        if (!protokoll.PKPFExportieren(dir, numbers).empty())
            return 1;
        return Info().registered().empty() ? 2 : 0;
    }
    std::vector<std::string> folder() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        return names;
    }

    testenv::TempSite site;
    std::string dir = site.path("export");
    std::vector<std::string> numbers;
};

TEST_F(ExportFaults, AFullDiskLeavesNoFileAndIsReported) {
    for (long long limit : {0LL, 200LL, 8192LL}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        EXPECT_EQ(withFullDisk(limit, [&] { return exportHere(); }), 0);
        EXPECT_EQ(folder(), std::vector<std::string>{});
    }
    // With room the same export is complete: the faults above were met mid-file.
    ASSERT_EQ(exportHere(), 1);
    ASSERT_EQ(folder().size(), 1u);
    EXPECT_GT(FileSize(dir + "/" + folder()[0]), 8192);
}

TEST_F(ExportFaults, AReadOnlyFolderLeavesNoFileAndIsReported) {
    ReadOnlyFolder ro(dir);
    if (!ro.available())
        GTEST_SKIP() << "neither the mode bits nor a read-only bind mount can make a folder read-only here";
    EXPECT_EQ(exportHere(), 0);
    ro.release();
    EXPECT_EQ(folder(), std::vector<std::string>{});
}

} // namespace
} // namespace infemora::reliability
