// Engaging and undoing the boost, case by case: the starting state, the POWRPROF calls of the
// engage and of the release, and what is left afterwards.
#include <gtest/gtest.h>

#include "fake_power.h"
#include "power/boost.h"
#include "power/power_functions.h"
#include "settings/settings.h"

typedef std::vector<std::string> Calls;
typedef std::map<std::string, DWORD> Failures;

static Calls operator+(Calls a, const Calls& b) {
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

static int s_refreshes; // menu refreshes, each of which asks whether the user may change power schemes

// Each case: the state at the start, the calls of the engage (twice where said) and those of two
// releases in a row, with the engaged flag between them and the menu refreshes of both.
struct Case {
    const char *name, *active, *userPicks; // the scheme active at the start, and the one the user picks
    DWORD method;
    int engages, refreshes;
    bool engaged;
    Failures atEngage, atRelease;
    Calls engage, release;
};

const Case kCases[] = {
    {"scheme switch and back", "B", NULL, 0, 1, 2, true, {}, {}, kSwitch, {"SetActive(B)"}},
    {"user picked Power saver", "B", "PS", 0, 1, 2, true, {}, {}, kSwitch, {"SetActive(B)"}},
    {"High Performance already active", "HP", NULL, 0, 1, 0, false, {}, {}, {"GetActive"}, {}},
    {"GetActive fails", "B", NULL, 0, 1, 0, false, kGetFails, {}, {"GetActive -> 5"}, {}},
    {"SetActive fails", "B", NULL, 0, 1, 0, false, kSetFails, {}, {"GetActive", "SetActive(HP) -> 5"}, {}},
    {"minimum state raised and restored", "B", NULL, 1, 1, 2, true, {}, {}, kRaise, kRestore},
    {"DC read fails", "B", NULL, 1, 1, 2, true, kDcFails, {}, kDcFailed, kRestoreAc},
    {"both reads fail", "B", NULL, 1, 1, 0, false, kReadsFail, {}, kReadsFailed, {}},
    {"user switched after the raise", "B", "PS", 1, 1, 2, true, {}, {}, kRaise, kRestoreInPs},
    {"final SetActive fails", "B", NULL, 1, 1, 0, false, kSetFails, {}, kRaiseUndone, {}},
    {"GetActive fails at release", "B", NULL, 1, 1, 2, true, {}, kGetFails, kRaise, kRestoreBlind},
    {"scheme switch twice", "B", NULL, 0, 2, 4, true, {}, {}, kSwitchTwice, {"SetActive(B)"}},
    {"minimum state twice", "B", NULL, 1, 2, 4, true, {}, {}, kRaise + kRestore + kRaise, kRestore},
    {"method 2", "B", NULL, 2, 1, 0, false, {}, {}, {}, {}},
    {"method 0xFFFFFFFF", "B", NULL, 0xFFFFFFFF, 1, 0, false, {}, {}, {}, {}},
};

TEST(Boost, EngageAndReleaseByEveryMethodAndFailure) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        UseFakePower(), s_refreshes = 0, g_boostMethod = c.method;
        g_power.CanUserWritePwrScheme = []() -> BOOLEAN { return ++s_refreshes, TRUE; };
        g_fakeActiveScheme = c.active, g_fakePowerFailures = c.atEngage;
        for (int i = 0; i < c.engages; ++i)
            EngageBoost();
        EXPECT_EQ(c.engage, TakePowerCalls());
        EXPECT_EQ(c.engaged, g_engaged != 0);
        g_fakeActiveScheme = c.userPicks ? c.userPicks : g_fakeActiveScheme,
        g_fakePowerFailures = c.atRelease;
        ReleaseBoost(), ReleaseBoost();
        EXPECT_EQ(c.release, TakePowerCalls());
        EXPECT_FALSE(g_engaged);
        EXPECT_EQ(c.refreshes, s_refreshes);
        // Every scheme holds its starting values again, and every GUID was freed once.
        EXPECT_TRUE(g_fakeSchemes["B"].ac == 5 && g_fakeSchemes["B"].dc == 0 && g_fakeSchemes["PS"].dc == 5);
        EXPECT_EQ(std::make_pair(size_t(0), 0), std::make_pair(OutstandingSchemeGuids(), StrayGuidFrees()));
    }
}
