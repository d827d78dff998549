// The real program, started as a process under Wine: single instance, "-terminate", the
// power functions it needs, and the exit codes of its ways to end.
#include <windows.h>
#include <gtest/gtest.h>

#include "program_runner.h"
#include "wine_paths.h"

namespace {

const DWORD kStartTime = 15000; // a cold start under Wine can take seconds

class ProgramTest : public ::testing::Test {
  protected:
    RunningProgram first = {NULL, 0}, second = {NULL, 0};

    static std::wstring Program(const char* folder) {
        return PathFromEnvironment(folder) + L"\\veltrana.exe";
    }

    void SetUp() override {
        ASSERT_TRUE(PowerControl(L"reset"));
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvath\\Veltrana");
    }
    void TearDown() override {
        EndProgram(&second);
        EndProgram(&first);
    }
    // Starts the program beside the stand-in power manager and waits for its tray window.
    HWND StartInstance(RunningProgram* program, const std::wstring& arguments = L"") {
        *program = StartProgram(Program("STAGE_POWERSIM"), arguments);
        return program->process ? FindTrayWindow(program->id, kStartTime) : NULL;
    }
};

TEST_F(ProgramTest, SecondStartEndsWith183AndLeavesTheFirstAlone) {
    HWND window = StartInstance(&first);
    ASSERT_TRUE(window != NULL);
    second = StartProgram(Program("STAGE_POWERSIM"), L"");
    EXPECT_EQ(183u, WaitForExit(second, kStartTime));
    EXPECT_EQ(0, CountTrayWindows(second.id));
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(first, 0));
    EXPECT_EQ(1, CountTrayWindows(first.id));
}

TEST_F(ProgramTest, TerminateWithoutInstanceEndsWithZero) {
    EXPECT_EQ(0u, RunToEnd(Program("STAGE_POWERSIM"), L"-terminate"));
}

TEST_F(ProgramTest, TerminateEndsTheRunningInstance) {
    HWND window = StartInstance(&first);
    ASSERT_TRUE(window != NULL);
    EXPECT_EQ(0u, RunToEnd(Program("STAGE_POWERSIM"), L"-terminate"));
    EXPECT_EQ(0u, WaitForExit(first, kStartTime));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ProgramTest, OnlyAnExactFirstArgumentTerminates) {
    // Another spelling starts the program normally.
    HWND window = StartInstance(&first, L"-Terminate");
    ASSERT_TRUE(window != NULL);
    // Given second, it is an ordinary start: refused as a second instance.
    EXPECT_EQ(183u, RunToEnd(Program("STAGE_POWERSIM"), L"other -terminate"));
    EXPECT_EQ(183u, RunToEnd(Program("STAGE_POWERSIM"), L"-terminate2"));
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(first, 0));
}

TEST_F(ProgramTest, WithoutTheSchemeFunctionsItEndsWith127BeforeAnyWindow) {
    // Wine's own POWRPROF lacks four of them; the variant stand-in lacks PowerGetActiveScheme.
    for (const char* folder : {"STAGE_PLAIN", "STAGE_NO_GET_ACTIVE"}) {
        first = StartProgram(Program(folder), L"");
        ASSERT_TRUE(first.process != NULL) << folder;
        DWORD code = STILL_ACTIVE;
        int windows = 0;
        for (int i = 0; i < 300 && code == STILL_ACTIVE; ++i) {
            windows += CountTrayWindows(first.id);
            code = WaitForExit(first, 50);
        }
        EXPECT_EQ(127u, code) << folder;
        EXPECT_EQ(0, windows) << folder;
        EndProgram(&first);
    }
}

TEST_F(ProgramTest, ExitCommandEndsWithZeroAndUndoesTheBoost) {
    HWND window = StartInstance(&first);
    ASSERT_TRUE(window != NULL);
    std::string before = PowerStore();
    PostMessageW(window, WM_COMMAND, 17, 0); // Full Throttle
    ASSERT_TRUE(WaitForActiveScheme("high-performance", 5000));
    PostMessageW(window, WM_COMMAND, 255, 0);
    EXPECT_EQ(0u, WaitForExit(first, kStartTime));
    std::string after = PowerStore();
    EXPECT_EQ(PowerStoreLine(before, "active"), PowerStoreLine(after, "active"));
    EXPECT_EQ(PowerStoreLine(before, "applied"), PowerStoreLine(after, "applied"));
}

TEST_F(ProgramTest, EndOfSessionReleasesTheBoostAndEndsWith1115) {
    HWND window = StartInstance(&first);
    ASSERT_TRUE(window != NULL);
    PostMessageW(window, WM_COMMAND, 17, 0);
    ASSERT_TRUE(WaitForActiveScheme("high-performance", 5000));
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer);
    EXPECT_EQ(TRUE, answer);
    // Released before the answer came back.
    EXPECT_NE(std::string::npos, PowerStoreLine(PowerStore(), "active").find("balanced"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHUTDOWN_IN_PROGRESS), WaitForExit(first, kStartTime));
}

TEST_F(ProgramTest, UnknownMessagesAndForeignCommandsKeepItRunning) {
    HWND window = StartInstance(&first);
    ASSERT_TRUE(window != NULL);
    PostMessageW(window, WM_COMMAND, 0x10000 | 255, 0); // not Exit: a high word
    PostMessageW(window, 0x8000, 2, WM_CONTEXTMENU);    // another icon's notification
    PostMessageW(window, WM_DEVICECHANGE, 0x8000, 0);
    PostMessageW(window, WM_NULL, 0, 0);
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(first, 1000));
    PostMessageW(window, WM_CLOSE, 42, 0); // anyone's WM_CLOSE: its code is the exit code
    EXPECT_EQ(42u, WaitForExit(first, kStartTime));
}

} // namespace
