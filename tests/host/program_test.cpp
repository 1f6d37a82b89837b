#include "host/program.h"
#include "support/test_env.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace infemora;

TEST(WorkSection, SecondCallerInTheSameProcessIsRefused) {
    testenv::TempSite site;
    int h1 = -1, h2 = -1;
    ASSERT_TRUE(Programm().WorkStartTry(h1, "test", 1));
    EXPECT_FALSE(Programm().WorkStartTry(h2, "test", 0));
    Programm().WorkDone(h1);
    ASSERT_TRUE(Programm().WorkStartTry(h2, "test", 0));
    Programm().WorkDone(h2);
}

TEST(WorkSection, AnotherProcessWaitsUntilTheFirstIsDone) {
    testenv::TempSite site;
    int h = -1;
    ASSERT_TRUE(Programm().WorkStartTry(h, "test", 1));
    pid_t child = fork();
    if (child == 0) {
        // A program object of its own, as a second process of the program has.
        QVRProgramm other;
        int ch = -1;
        // Refused at once while the parent works, granted once it is done.
        bool first = other.WorkStartTry(ch, "kind", 0);
        bool second = other.WorkStartTry(ch, "kind", 10);
        _exit(!first && second ? 0 : 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Programm().WorkDone(h);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(WorkSection, WaitGivesUpAfterTheGivenSeconds) {
    testenv::TempSite site;
    pid_t child = fork();
    if (child == 0) {
        QVRProgramm other;
        int ch = -1;
        other.WorkStartTry(ch, "kind", 0);
        sleep(5);
        _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int h = -1;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Programm().WorkStartTry(h, "test", 1));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST(WorkSection, RIdComesFromTheSettings) {
    testenv::TempSite site;
    Settings s = site.settings();
    s.rid = 5;
    SetSettingsForTesting(s);
    EXPECT_EQ(Programm().GetRId(), 5);
}
