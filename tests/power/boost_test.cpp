// Engaging and undoing the boost, case by case: the starting state, the POWRPROF calls of the
// engage and of the release, and what is left afterwards.
#include <windows.h>
#include <gtest/gtest.h>

#include "fake_power.h"
#include "power/boost.h"
#include "power/power_functions.h"
#include "settings/settings.h"

namespace {

typedef std::vector<std::string> Calls;
typedef std::map<std::string, DWORD> Failures;

Calls operator+(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The minimum-state method on Balanced (5 % AC, 0 % DC), and its undoing.
const Calls kRead = {"GetActive", "ReadAC(B)", "WriteAC(B, 100)", "ReadDC(B)", "WriteDC(B, 100)"};
const Calls kRaise = kRead + Calls{"SetActive(B)"};
const Calls kRestore = {"GetActive", "WriteAC(B, 5)", "WriteDC(B, 0)", "SetActive(B)"};
const Calls kSwitch = {"GetActive", "SetActive(HP)"};
const Calls kSwitchTwice = kSwitch + Calls{"SetActive(B)"} + kSwitch;
const Calls kDcFailed = {"GetActive", "ReadAC(B)", "WriteAC(B, 100)", "ReadDC(B) -> 2", "SetActive(B)"};
const Calls kRestoreAc = {"GetActive", "WriteAC(B, 5)", "SetActive(B)"};
const Calls kReadsFailed = {"GetActive", "ReadAC(B) -> 2", "ReadDC(B) -> 2"};
// The raised values go back into the raised scheme; the active one is applied again.
const Calls kRestoreInPs = {"GetActive", "WriteAC(B, 5)", "WriteDC(B, 0)", "SetActive(PS)"};
const Calls kRestoreBlind = {"GetActive -> 5", "WriteAC(B, 5)", "WriteDC(B, 0)"};
const Calls kRaiseUndone = kRead + Calls{"SetActive(B) -> 5", "WriteAC(B, 5)", "WriteDC(B, 0)"};
const Failures kGetFails = {{"GetActive", 5}}, kSetFails = {{"SetActive", 5}};
const Failures kDcFails = {{"ReadDC", 2}}, kReadsFail = {{"ReadAC", 2}, {"ReadDC", 2}};

int s_refreshes;

// Every menu refresh asks whether the user may change power schemes.
BOOLEAN WINAPI CountedMayWrite() {
    ++s_refreshes;
    return TRUE;
}

struct Case {
    const char* name;
    DWORD method;
    const char* active; // at the start
    Failures atEngage;
    int engages;
    Calls engage;
    bool engaged;
    const char* userPicks; // the scheme the user activates while engaged, if any
    Failures atRelease;
    Calls release; // of two releases in a row
    int refreshes;
};

const Case kCases[] = {
    {"scheme switch and back", 0, "B", {}, 1, kSwitch, true, NULL, {}, {"SetActive(B)"}, 2},
    {"user picked Power saver", 0, "B", {}, 1, kSwitch, true, "PS", {}, {"SetActive(B)"}, 2},
    {"High Performance already active", 0, "HP", {}, 1, {"GetActive"}, false, NULL, {}, {}, 0},
    {"GetActive fails", 0, "B", kGetFails, 1, {"GetActive -> 5"}, false, NULL, {}, {}, 0},
    {"SetActive fails", 0, "B", kSetFails, 1, {"GetActive", "SetActive(HP) -> 5"}, false, NULL, {}, {}, 0},
    {"minimum state raised and restored", 1, "B", {}, 1, kRaise, true, NULL, {}, kRestore, 2},
    {"DC read fails", 1, "B", kDcFails, 1, kDcFailed, true, NULL, {}, kRestoreAc, 2},
    {"both reads fail", 1, "B", kReadsFail, 1, kReadsFailed, false, NULL, {}, {}, 0},
    {"user switched after the raise", 1, "B", {}, 1, kRaise, true, "PS", {}, kRestoreInPs, 2},
    {"final SetActive fails", 1, "B", kSetFails, 1, kRaiseUndone, false, NULL, {}, {}, 0},
    {"GetActive fails at release", 1, "B", {}, 1, kRaise, true, NULL, kGetFails, kRestoreBlind, 2},
    {"scheme switch twice", 0, "B", {}, 2, kSwitchTwice, true, NULL, {}, {"SetActive(B)"}, 4},
    {"minimum state twice", 1, "B", {}, 2, kRaise + kRestore + kRaise, true, NULL, {}, kRestore, 4},
    {"method 2", 2, "B", {}, 1, {}, false, NULL, {}, {}, 0},
    {"method 0xFFFFFFFF", 0xFFFFFFFF, "B", {}, 1, {}, false, NULL, {}, {}, 0},
};

TEST(Boost, EngageAndReleaseByEveryMethodAndFailure) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        UseFakePower();
        g_power.CanUserWritePwrScheme = CountedMayWrite;
        s_refreshes = 0;
        g_boostMethod = c.method;
        g_fakeActiveScheme = c.active;
        g_fakePowerFailures = c.atEngage;
        for (int i = 0; i < c.engages; ++i)
            EngageBoost();
        EXPECT_EQ(c.engage, TakePowerCalls());
        EXPECT_EQ(c.engaged, g_engaged != 0);
        if (c.userPicks)
            g_fakeActiveScheme = c.userPicks;
        g_fakePowerFailures = c.atRelease;
        ReleaseBoost();
        ReleaseBoost();
        EXPECT_EQ(c.release, TakePowerCalls());
        EXPECT_FALSE(g_engaged);
        EXPECT_EQ(c.refreshes, s_refreshes);
        // Every scheme holds its starting values again, and every GUID was freed once.
        EXPECT_EQ(5u, g_fakeSchemes["B"].ac);
        EXPECT_EQ(0u, g_fakeSchemes["B"].dc);
        EXPECT_EQ(5u, g_fakeSchemes["PS"].dc);
        EXPECT_EQ(0u, OutstandingSchemeGuids());
        EXPECT_EQ(0, StrayGuidFrees());
    }
}

} // namespace
