// Engaging and undoing the boost, case by case: the starting state, the POWRPROF calls of the
// engage and of the release, and what is left afterwards.
#include <gtest/gtest.h>

#include "common/names.h"
#include "fake_power.h"
#include "power/boost.h"
#include "power/power_functions.h"
#include "scratch_registry.h"
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
// A machine without High Performance: the switch fails, and so does reading the scheme.
const Failures kNoHighPerformance = {{"SetActive(HP)", 2}, {"ReadAC(HP)", 2}};
const Calls kSwitchFails = {"GetActive", "SetActive(HP) -> 2", "ReadAC(HP) -> 2"};

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
    {"SetActive fails",
     "B",
     NULL,
     0,
     1,
     0,
     false,
     kSetFails,
     {},
     {"GetActive", "SetActive(HP) -> 5", "ReadAC(HP)"},
     {}},
    {"no High Performance: raised instead",
     "B",
     NULL,
     0,
     1,
     2,
     true,
     kNoHighPerformance,
     {},
     kSwitchFails + kRaise,
     kRestore},
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

class Boost : public IsolatedRegistryTest {};

TEST_F(Boost, EngageAndReleaseByEveryMethodAndFailure) {
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

// What a later start would undo, at each change the boost makes: "method scheme AC DC" of the
// stored record ("-" where nothing was saved yet), or "none".
static std::string UndoRecord() {
    DWORD f[16], type = 0, size = sizeof(f);
    if (!GetSettingValue(VELTRANA_UNDO_VALUE, &type, f, &size))
        return "none";
    auto saved = [](DWORD v) { return v == 0xFFFFFFFF ? std::string("-") : std::to_string(v); };
    return std::string(size == 44 && type == REG_BINARY && f[0] == 1 ? "" : "malformed ") +
           std::to_string(f[1]) + (f[2] == 0x381B4222 ? " B " : " ? ") + saved(f[6]) + " " + saved(f[7]);
}
static bool RestoreAtLogon() {
    wchar_t command[600] = L"";
    DWORD size = sizeof(command);
    return RegGetValueW(HKEY_CURRENT_USER, VELTRANA_RUN_ONCE_KEY, VELTRANA_RUN_VALUE, RRF_RT_REG_SZ, NULL,
                        command, &size) == ERROR_SUCCESS &&
           wcsstr(command, L"\" -restore");
}
static PowerFunctions s_fake; // behind the spies below
static Calls s_seen;          // the record at each change
struct Spy {
    static DWORD WINAPI Set(HKEY r, const GUID* s) {
        return s_seen.push_back(UndoRecord()), s_fake.PowerSetActiveScheme(r, s);
    }
    template <bool ac>
    static DWORD WINAPI Write(HKEY r, const GUID* s, const GUID* g, const GUID* v, DWORD x) {
        s_seen.push_back(UndoRecord());
        return (ac ? s_fake.PowerWriteACValueIndex : s_fake.PowerWriteDCValueIndex)(r, s, g, v, x);
    }
};

// The record is written before each change (for the minimum state, each saved value before its
// write), and deleted only after the release has restored everything; meanwhile a RunOnce entry
// restores at the next logon.
TEST_F(Boost, UndoRecordPrecedesEveryChangeAndGoesAfterTheRelease) {
    const Calls kRaised = {"1 B 5 -", "1 B 5 0", "1 B 5 0"}, kRestored = {"1 B 5 0", "1 B 5 0", "1 B 5 0"};
    const struct {
        DWORD method;
        Failures failures;
        Calls engage, release;
    } cases[] = {{0, {}, {"0 B - -"}, {"0 B - -"}},
                 {1, {}, kRaised, kRestored},
                 {0, kNoHighPerformance, Calls{"0 B - -"} + kRaised, kRestored}};
    for (const auto& c : cases) {
        UseFakePower(), s_fake = g_power, g_fakePowerFailures = c.failures, g_boostMethod = c.method;
        g_power.PowerSetActiveScheme = Spy::Set;
        g_power.PowerWriteACValueIndex = Spy::Write<true>, g_power.PowerWriteDCValueIndex = Spy::Write<false>;
        s_seen.clear(), EngageBoost();
        EXPECT_EQ(c.engage, s_seen) << "engage, method " << c.method;
        EXPECT_TRUE(g_engaged && RestoreAtLogon());
        s_seen.clear(), ReleaseBoost();
        EXPECT_EQ(c.release, s_seen) << "release, method " << c.method;
        EXPECT_EQ(std::make_pair(std::string("none"), false), std::make_pair(UndoRecord(), RestoreAtLogon()));
    }
}
