// Running real programs from a test: the tray program itself (from a staging folder beside
// its stand-in power manager), powersim-ctl, and helper programs. Every process started here is
// ended here, by its own handle.
#ifndef VELTRANA_TEST_PROGRAM_RUNNER_H
#define VELTRANA_TEST_PROGRAM_RUNNER_H

#include <windows.h>

#include <string>

// Runs a program to its end; its exit code, and its standard output and error in *output.
// 0xDEAD when it could not be started or did not end within 30 s.
DWORD RunToEnd(const std::wstring& program, const std::wstring& arguments, std::string* output = NULL);

// Runs the program named by an environment variable (a Unix path from CTest) to its end.
DWORD RunTool(const char* variable, const std::wstring& arguments, std::string* output = NULL);

struct RunningProgram {
    HANDLE process;
    DWORD id;
};

// Starts a program and returns at once; process null on failure.
RunningProgram StartProgram(const std::wstring& program, const std::wstring& arguments);
// Its exit code once it ended within the time, STILL_ACTIVE otherwise.
DWORD WaitForExit(const RunningProgram& program, DWORD milliseconds);
// Ends it if it still runs and closes its handle.
void EndProgram(RunningProgram* program);

// The tray window of a running instance: the top-level window of class "BLANK" that the
// process owns, waited for up to the given time. Null if there is none.
HWND FindTrayWindow(DWORD processId, DWORD milliseconds);
// How many "BLANK" windows a process owns right now.
int CountTrayWindows(DWORD processId);

// powersim-ctl (named by POWERSIM_CTL): its dump, and a command that must succeed.
std::string PowerStore();
bool PowerControl(const std::wstring& arguments);
// The line of the dump that starts with the given words, e.g. "active" or "scheme {...} balanced".
std::string PowerStoreLine(const std::string& dump, const std::string& start);

// Waits until the dump's active scheme has the given name ("balanced", "high-performance").
bool WaitForActiveScheme(const std::string& name, DWORD milliseconds);

#endif
