#include "shell/command_line.h"
#include "shell/teardown.h"

#include "host/messages.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace infemora;

TEST(CommandLine, SwitchesTakeAnyPrefixAndLetterCase) {
    for (const char* arg : {"-NOMORA", "/nomora", "\\NoMora", "-nOmOrA"})
        EXPECT_EQ(FormCreate_Decide({arg}).mode, StartMode::NoMora) << arg;
    for (const char* arg : {"NOMORA", "--NOMORA", "-NOMORAX", "-", "+NOMORA"})
        EXPECT_NE(FormCreate_Decide({arg}).mode, StartMode::NoMora) << arg;
}

TEST(CommandLine, NomoraWinsOverAutosendInAnyOrder) {
    EXPECT_EQ(FormCreate_Decide({"/AUTOSEND", "-NOMORA"}).mode, StartMode::NoMora);
    EXPECT_EQ(FormCreate_Decide({"-nomora", "/AUTOSEND"}).mode, StartMode::NoMora);
    EXPECT_EQ(FormCreate_Decide({"-AUTOSEND", "-VON=7", "-BIS=1"}).mode, StartMode::AutoSend);
    EXPECT_EQ(FormCreate_Decide({"\\autosend"}).mode, StartMode::AutoSend);
}

TEST(CommandLine, ShortenArgumentDays) {
    struct Case {
        const char* arg;
        int days;
    } cases[] = {{"-A=7", 7}, {"-a=5", 5},   {"-A=", 2},   {"-A=0", 2},
                 {"-A=x", 2}, {"-A=-5", -5}, {"-A=5x", 2}, {"-A=99999999999", 2}};
    for (const auto& c : cases) {
        StartDecision d = FormCreate_Decide({c.arg});
        EXPECT_EQ(d.mode, StartMode::Kuerzen) << c.arg;
        EXPECT_EQ(d.kuerzTage, c.days) << c.arg;
    }
}

TEST(CommandLine, ShortenNeedsExactlyOneArgument) {
    EXPECT_EQ(FormCreate_Decide({"-A=5", "x"}).mode, StartMode::Default);
    EXPECT_EQ(FormCreate_Decide({"x", "-A=5"}).mode, StartMode::Default);
    EXPECT_EQ(FormCreate_Decide({}).mode, StartMode::Default);
    EXPECT_EQ(FormCreate_Decide({"a", "b", "c"}).mode, StartMode::Default);
}

TEST(CommandLine, SingleUnknownArgumentIsReported) {
    StartDecision d = FormCreate_Decide({"irgendwas"});
    EXPECT_EQ(d.mode, StartMode::Unknown);
    EXPECT_EQ(d.argument, "irgendwas");
    EXPECT_EQ(FormCreate_Decide({"-A"}).mode, StartMode::Unknown);
}

TEST(Teardown, FailingStepDoesNotStopTheLaterOnes) {
    testenv::TempSite site;
    std::vector<std::string> ran;
    RunTeardown(
        {{[&] { ran.push_back("grids"); }},
         {[&] {
             ran.push_back("booking");
             throw std::runtime_error("Datei klemmt");
         }},
         {[&] { ran.push_back("readers"); }}},
        [&] { ran.push_back("FehlerTerminate"); }, "TfrmParallel.FormDestroy");
    EXPECT_EQ(ran, (std::vector<std::string>{"grids", "booking", "readers", "FehlerTerminate"}));
    auto reg = Info().registered();
    ASSERT_EQ(reg.size(), 1u);
    EXPECT_EQ(reg[0].context, "TfrmParallel.FormDestroy");
    EXPECT_FALSE(reg[0].flag);
}
