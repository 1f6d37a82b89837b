#include "host/directories.h"
#include "host/messages.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace infemora;

TEST(Messages, RegisteredFailureGoesToTheErrorLogAndTheNotice) {
    testenv::TempSite site;
    std::string noticed;
    Info().setNoticeSink([&](const std::string& ctx, const std::string& msg) { noticed = ctx + ": " + msg; });
    try {
        throw std::runtime_error("Datei fehlt");
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Speichern1Click");
    }
    Info().setNoticeSink(nullptr);
    EXPECT_EQ(noticed, "TfrmParallel.Speichern1Click: Datei fehlt");
    std::string log = site.readFile(Info().errorLogPath());
    EXPECT_NE(log.find("\tTfrmParallel.Speichern1Click\tDatei fehlt\r\n"), std::string::npos);
    ASSERT_EQ(Info().registered().size(), 1u);
}

TEST(Messages, TeardownFlagFalseShowsNoNotice) {
    testenv::TempSite site;
    int notices = 0;
    Info().setNoticeSink([&](const std::string&, const std::string&) { ++notices; });
    Info().RegisterMessage("TfrmParallel.FormDestroy", "x", false);
    Info().setNoticeSink(nullptr);
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(Info().registered().size(), 1u);
}

TEST(Messages, MissingStatempStillRegisters) {
    testenv::TempSite site;
    Settings s = site.settings();
    s.statemp = site.path("gibt/es/nicht");
    SetSettingsForTesting(s);
    Info().RegisterMessage("X", "y");
    EXPECT_EQ(Info().registered().size(), 1u);
}

TEST(Messages, CatalogueMessagesAreCounted) {
    testenv::TempSite site;
    std::string shown;
    Info().setMeldungSink([&](int, const std::string& text) { shown = text; });
    Info().ShowMeldung("INFEMORA", 1001);
    Info().setMeldungSink(nullptr);
    EXPECT_EQ(Info().meldungCount(1001), 1);
    EXPECT_EQ(shown, QVRInfo::MeldungText(1001));
    EXPECT_NE(QVRInfo::MeldungText(1002), QVRInfo::MeldungText(1001));
}

TEST(Messages, ACatalogueMessageCanNameTheFileItIsAbout) {
    testenv::TempSite site;
    std::string shown;
    Info().setMeldungSink([&](int, const std::string& text) { shown = text; });
    Info().ShowMeldung("INFEMORA", 1001, "Datei: /x/PkpfFileExport_5.csv");
    Info().setMeldungSink(nullptr);
    EXPECT_EQ(shown, QVRInfo::MeldungText(1001) + "\nDatei: /x/PkpfFileExport_5.csv");
}

TEST(Messages, WarningsAreKeptApartFromFailuresAndMarkedInTheLog) {
    testenv::TempSite site;
    std::vector<std::string> notices;
    Info().setNoticeSink(
        [&](const std::string& ctx, const std::string& msg) { notices.push_back(ctx + ": " + msg); });
    try {
        throw std::runtime_error("Stempel 24:00:00");
    } catch (...) {
        RegisterCurrentWarning("DateienSortieren_CheckFilter");
    }
    Info().RegisterMessage("X", "kaputt");
    Info().setNoticeSink(nullptr);
    ASSERT_EQ(Info().warnings().size(), 1u);
    EXPECT_EQ(Info().warnings()[0].message, "Stempel 24:00:00");
    ASSERT_EQ(Info().registered().size(), 1u);
    EXPECT_EQ(Info().registered()[0].context, "X");
    EXPECT_EQ(Info().failureCount(), 1u);
    EXPECT_EQ(Info().warningCount(), 1u);
    EXPECT_EQ(notices, (std::vector<std::string>{"DateienSortieren_CheckFilter: WARNUNG: Stempel 24:00:00",
                                                 "X: kaputt"}));
    const std::string log = site.readFile(Info().errorLogPath());
    EXPECT_NE(log.find("\tDateienSortieren_CheckFilter\tWARNUNG: Stempel 24:00:00\r\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("\tX\tkaputt\r\n"), std::string::npos) << log;
    Info().clearRegistered();
    EXPECT_EQ(Info().warningCount(), 0u);
}
