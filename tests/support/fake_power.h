// A power manager in memory for the tests of everything that calls POWRPROF: three schemes
// with their minimum processor states, failures on demand, and a log of every call. UseFakePower
// fills the program's function table with it.
#ifndef VELTRANA_TEST_FAKE_POWER_H
#define VELTRANA_TEST_FAKE_POWER_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "icon/painter.h"

// Resets to: Balanced ("B", minimum states AC 5 / DC 0) active, High Performance ("HP",
// 100/100) and Power saver ("PS", 5/5), none with class-1 values; no failures; an empty log; the user may
// write schemes; every processor at full clock. Also clears the engaged boost's bookkeeping of GUIDs. A
// scheme erased from g_fakeSchemes does not exist: it is not enumerated, and every call that names it fails
// with ERROR_FILE_NOT_FOUND.
void UseFakePower();

struct MinimumStates {
    DWORD ac, dc;
};
extern std::string g_fakeActiveScheme;                     // "B", "HP" or "PS"
extern std::map<std::string, MinimumStates> g_fakeSchemes; // by scheme name
// The minimum states of efficiency class 1, of the schemes that have them (none at the reset).
extern std::map<std::string, MinimumStates> g_fakeClass1;
// The error a call fails with, by the call as logged ("SetActive(HP)") or by the function
// ("GetActive", "SetActive", "ReadAC", "ReadDC", "WriteAC", "WriteDC", "Enumerate").
extern std::map<std::string, DWORD> g_fakePowerFailures;
extern BOOLEAN g_fakeUserMayWriteSchemes;
extern ProcessorReading g_fakeReadings[kMaxProcessors]; // what CallNtPowerInformation reports
extern LONG g_fakeReadingStatus;                        // its NTSTATUS

// Windows 11's power modes: UseFakePowerModes adds the four functions, with the user's modes by
// power source ("AC", "DC") and by name: "BE" Best power efficiency, "BAL" Balanced, "BP" Best
// performance. Logged as "GetModeAC", "SetModeDC(BP)"; failures by those names too.
void UseFakePowerModes();
extern std::map<std::string, std::string> g_fakeModes;
std::string FakeModeName(const GUID& mode); // "?" for none of the three

// A scheme's GUID by its name ("B", "HP" or "PS"); any other name gives a GUID of no scheme.
GUID FakeSchemeGuid(const std::string& name);

// The calls made since the last look, e.g. "GetActive", "SetActive(HP)", "WriteAC(B, 100)",
// "ReadDC1(B)" (class 1), "Enumerate(0)" (the index asked for), each followed by " -> N" when it
// failed with N.
std::vector<std::string> TakePowerCalls();
// Scheme GUIDs handed out by PowerGetActiveScheme and not freed yet, and frees of anything
// else (a double free, or a pointer never handed out).
size_t OutstandingSchemeGuids();
int StrayGuidFrees();

#endif
