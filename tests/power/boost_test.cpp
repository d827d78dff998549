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
const Calls kDcRefused = {"GetActive", "WriteAC(B, 5)", "WriteDC(B, 0) -> 5", "SetActive(B)"};
// Whether a scheme exists, by listing them: Balanced, High Performance, Power saver.
const Calls kFindB = {"Enumerate(0)"};
const Calls kFindHp = {"Enumerate(0)", "Enumerate(1)"};
const Calls kNoHp = {"Enumerate(0)", "Enumerate(1)", "Enumerate(2) -> 259"};
// What the next start does with a record that holds only the active scheme's re-apply, or a DC
// value to write back.
const Calls kReapply = kFindB + Calls{"GetActive", "SetActive(B)"};
const Calls kDcWrittenBack = kFindB + Calls{"ReadDC(B)", "WriteDC(B, 0)", "GetActive", "SetActive(B)"};
const Failures kGetFails = {{"GetActive", 5}}, kSetFails = {{"SetActive", 5}};
const Failures kDcFails = {{"ReadDC", 2}}, kReadsFail = {{"ReadAC", 2}, {"ReadDC", 2}};

static int s_refreshes; // menu refreshes, each of which asks whether the user may change power schemes

// The state at the start, the calls of the engages and of two releases in a row, with the
// engaged flag between them and the menu refreshes of both; then the record the releases leave
// ("method scheme AC DC", see UndoRecord) and what the next start's replay of it calls.
struct Case {
    const char* name;
    DWORD method = 0;
    const char* missing = nullptr;   // a scheme this machine lacks
    const char* active = "B";        // the scheme active at the start
    const char* userPicks = nullptr; // the scheme the user activates while boosted
    int engages = 1;
    Failures atEngage = {}, atRelease = {};
    Calls engage = {};
    bool engaged = false;
    Calls release = {};
    int refreshes = 0;
    std::string left = "none";
    Calls replay = {};
};

const Case kCases[] = {
    {.name = "scheme switch and back",
     .engage = kSwitch,
     .engaged = true,
     .release = {"SetActive(B)"},
     .refreshes = 2},
    {.name = "user picked Power saver",
     .userPicks = "PS",
     .engage = kSwitch,
     .engaged = true,
     .release = {"SetActive(B)"},
     .refreshes = 2},
    {.name = "High Performance already active", .active = "HP", .engage = {"GetActive"}},
    {.name = "GetActive fails", .atEngage = kGetFails, .engage = {"GetActive -> 5"}},
    {.name = "SetActive fails",
     .atEngage = kSetFails,
     .engage = Calls{"GetActive", "SetActive(HP) -> 5"} + kFindHp},
    {.name = "no High Performance: raised instead",
     .missing = "HP",
     .engage = Calls{"GetActive", "SetActive(HP) -> 2"} + kNoHp + kRaise,
     .engaged = true,
     .release = kRestore,
     .refreshes = 2},
    {.name = "no High Performance, and the schemes cannot be listed: nothing raised",
     .missing = "HP",
     .atEngage = {{"Enumerate", 5}},
     .engage = {"GetActive", "SetActive(HP) -> 2", "Enumerate(0) -> 5"}},
    {.name = "minimum state raised and restored",
     .method = 1,
     .engage = kRaise,
     .engaged = true,
     .release = kRestore,
     .refreshes = 2},
    {.name = "DC read fails",
     .method = 1,
     .atEngage = kDcFails,
     .engage = kDcFailed,
     .engaged = true,
     .release = kRestoreAc,
     .refreshes = 2},
    {.name = "AC raise refused: AC is not written back",
     .method = 1,
     .atEngage = {{"WriteAC", 5}},
     .engage = {"GetActive", "ReadAC(B)", "WriteAC(B, 100) -> 5", "ReadDC(B)", "WriteDC(B, 100)",
                "SetActive(B)"},
     .engaged = true,
     .release = {"GetActive", "WriteDC(B, 0)", "SetActive(B)"},
     .refreshes = 2},
    {.name = "both reads fail", .method = 1, .atEngage = kReadsFail, .engage = kReadsFailed},
    {.name = "user switched after the raise",
     .method = 1,
     .userPicks = "PS",
     .engage = kRaise,
     .engaged = true,
     .release = kRestoreInPs,
     .refreshes = 2},
    {.name = "final SetActive fails", .method = 1, .atEngage = kSetFails, .engage = kRaiseUndone},
    {.name = "scheme switch twice",
     .engages = 2,
     .engage = kSwitchTwice,
     .engaged = true,
     .release = {"SetActive(B)"},
     .refreshes = 4},
    {.name = "minimum state twice",
     .method = 1,
     .engages = 2,
     .engage = kRaise + kRestore + kRaise,
     .engaged = true,
     .release = kRestore,
     .refreshes = 4},
    {.name = "method 2", .method = 2},
    {.name = "method 0xFFFFFFFF", .method = 0xFFFFFFFF},
    // Releases that Windows refuses in part: the record keeps what is left, for the next start.
    {.name = "switch back refused",
     .atRelease = kSetFails,
     .engage = kSwitch,
     .engaged = true,
     .release = {"SetActive(B) -> 5"},
     .refreshes = 2,
     .left = "0 B - -",
     .replay = kReapply},
    {.name = "GetActive fails at release",
     .method = 1,
     .atRelease = kGetFails,
     .engage = kRaise,
     .engaged = true,
     .release = kRestoreBlind,
     .refreshes = 2,
     .left = "1 B - -",
     .replay = kReapply},
    {.name = "DC write-back refused",
     .method = 1,
     .atRelease = {{"WriteDC", 5}},
     .engage = kRaise,
     .engaged = true,
     .release = kDcRefused,
     .refreshes = 2,
     .left = "1 B - 0",
     .replay = kDcWrittenBack},
    // The second engage's release is refused, and so is finishing it: no new boost overwrites
    // the record.
    {.name = "engaged again while Windows refuses the write-back",
     .method = 1,
     .engages = 2,
     .atEngage = {{"WriteDC(B, 0)", 5}},
     .engage = kRaise + kDcRefused + kFindB + Calls{"ReadDC(B)", "WriteDC(B, 0) -> 5"},
     .refreshes = 2,
     .left = "1 B - 0",
     .replay = kDcWrittenBack},
};

// The minimum states of every scheme there is.
static std::string Schemes() {
    std::string text;
    for (const auto& [name, states] : g_fakeSchemes)
        text += name + " " + std::to_string(states.ac) + "/" + std::to_string(states.dc) + " ";
    return text;
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

class Boost : public IsolatedRegistryTest {};

TEST_F(Boost, EngageAndReleaseByEveryMethodAndFailure) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        UseFakePower();
        if (c.missing)
            g_fakeSchemes.erase(c.missing);
        const std::string schemes = Schemes();
        s_refreshes = 0;
        g_boostMethod = c.method;
        g_power.CanUserWritePwrScheme = []() -> BOOLEAN { return ++s_refreshes != 0; };
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
        EXPECT_EQ(c.left, UndoRecord());
        EXPECT_EQ(c.left != "none", RestoreAtLogon());
        // The next start, when Windows no longer refuses.
        g_fakePowerFailures.clear();
        EXPECT_EQ(DWORD(ERROR_SUCCESS), ReplayUndoRecord());
        EXPECT_EQ(c.replay, TakePowerCalls());
        EXPECT_EQ("none", UndoRecord());
        // Every scheme holds its starting values again, and every GUID was freed once.
        EXPECT_EQ(schemes, Schemes());
        EXPECT_EQ(size_t(0), OutstandingSchemeGuids());
        EXPECT_EQ(0, StrayGuidFrees());
    }
}

static PowerFunctions s_fake; // behind the spies below
static Calls s_seen;          // the record at each change
struct Spy {
    static DWORD WINAPI Set(HKEY r, const GUID* s) {
        s_seen.push_back(UndoRecord());
        return s_fake.PowerSetActiveScheme(r, s);
    }
    template <bool ac>
    static DWORD WINAPI Write(HKEY r, const GUID* s, const GUID* g, const GUID* v, DWORD x) {
        s_seen.push_back(UndoRecord());
        return (ac ? s_fake.PowerWriteACValueIndex : s_fake.PowerWriteDCValueIndex)(r, s, g, v, x);
    }
};

// The record is written before each change (for the minimum state, each saved value before its
// write), and deleted only after the release has restored everything; meanwhile a RunOnce entry
// restores at the next logon, whether or not the program starts with Windows.
TEST_F(Boost, UndoRecordPrecedesEveryChangeAndGoesAfterTheRelease) {
    const Calls kRaised = {"1 B 5 -", "1 B 5 0", "1 B 5 0"}, kRestored = {"1 B 5 0", "1 B 5 0", "1 B 5 0"};
    const struct {
        DWORD method;
        const char* missing;
        Calls engage, release;
    } cases[] = {{0, nullptr, {"0 B - -"}, {"0 B - -"}},
                 {1, nullptr, kRaised, kRestored},
                 {0, "HP", Calls{"0 B - -"} + kRaised, kRestored}};
    for (const auto& c : cases) {
        SCOPED_TRACE("method " + std::to_string(c.method) + (c.missing ? " without High Performance" : ""));
        UseFakePower();
        if (c.missing)
            g_fakeSchemes.erase(c.missing);
        g_boostMethod = c.method;
        s_fake = g_power;
        g_power.PowerSetActiveScheme = Spy::Set;
        g_power.PowerWriteACValueIndex = Spy::Write<true>;
        g_power.PowerWriteDCValueIndex = Spy::Write<false>;
        s_seen.clear();
        EngageBoost();
        EXPECT_EQ(c.engage, s_seen);
        EXPECT_TRUE(RestoreAtLogon());
        s_seen.clear();
        ReleaseBoost();
        EXPECT_EQ(c.release, s_seen);
        EXPECT_EQ("none", UndoRecord());
        EXPECT_FALSE(RestoreAtLogon());
    }
}

// A record that an earlier run left, as the next start or "-restore" finds it: the record, the
// machine by then, and what the replay calls and returns. The record stays, with the restore at
// the next logon that Windows deleted before it ran "-restore", only when a call was refused.
struct Replay {
    const char* name;
    DWORD type = REG_BINARY, size = 44, version = 1, method = 0;
    const char* scheme = "B";
    DWORD ac = 0xFFFFFFFF, dc = 0xFFFFFFFF;
    bool writerIdReused = false; // its process id now names another process, started later
    const char* active = "HP";
    MinimumStates balanced = {100, 100};
    Failures failures = {};
    Calls calls = {};
    DWORD result = ERROR_SUCCESS;
};

const Replay kReplays[] = {
    {.name = "a record of another type", .type = REG_DWORD, .size = 4},
    {.name = "a record of 3 bytes", .size = 3},
    {.name = "a record of an unknown version", .version = 2},
    {.name = "a record of an unknown method", .method = 2},
    {.name = "High Performance still active: back to Balanced", .calls = kReapply},
    {.name = "the recorded scheme is gone",
     .scheme = "?",
     .calls = {"Enumerate(0)", "Enumerate(1)", "Enumerate(2)", "Enumerate(3) -> 259"}},
    {.name = "the user chose Power saver since", .active = "PS", .calls = kFindB + Calls{"GetActive"}},
    {.name = "both minimum states written back",
     .method = 1,
     .ac = 5,
     .dc = 0,
     .active = "B",
     .calls = kFindB +
              Calls{"ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)", "WriteDC(B, 0)", "GetActive", "SetActive(B)"}},
    {.name = "the user set AC to 50 % since",
     .method = 1,
     .ac = 5,
     .dc = 0,
     .active = "B",
     .balanced = {50, 100},
     .calls = kFindB + Calls{"ReadAC(B)", "ReadDC(B)", "WriteDC(B, 0)", "GetActive", "SetActive(B)"}},
    {.name = "Windows refuses the switch back",
     .failures = kSetFails,
     .calls = kFindB + Calls{"GetActive", "SetActive(B) -> 5"},
     .result = 5},
    {.name = "Windows refuses a write-back",
     .method = 1,
     .ac = 5,
     .dc = 0,
     .active = "B",
     .failures = {{"WriteDC", 5}},
     .calls = kFindB + Calls{"ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)", "WriteDC(B, 0) -> 5"},
     .result = 5},
    {.name = "the schemes cannot be listed",
     .failures = {{"Enumerate", 21}},
     .calls = {"Enumerate(0) -> 21"},
     .result = 21},
    {.name = "its process id now names another running process", .writerIdReused = true, .calls = kReapply},
};

TEST_F(Boost, ReplayUndoesWhatARecordLeftAndKeepsWhatTheUserChoseSince) {
    // Another process that runs: the sleeper (SLEEPER, a Unix path: drive Z: under Wine).
    std::wstring sleeper = L"Z:";
    for (const char* c = getenv("SLEEPER"); c && *c; ++c)
        sleeper += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION other;
    ASSERT_TRUE(CreateProcessW(sleeper.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &other));
    FILETIME otherStart, unused[3];
    ASSERT_TRUE(GetProcessTimes(other.hProcess, &otherStart, &unused[0], &unused[1], &unused[2]));
    for (const Replay& r : kReplays) {
        SCOPED_TRACE(r.name);
        UseFakePower();
        g_fakeActiveScheme = r.active;
        g_fakeSchemes["B"] = r.balanced;
        g_fakePowerFailures = r.failures;
        // version, method, scheme, AC, DC, process id and start; no writer unless an id was reused
        DWORD record[11] = {r.version, r.method, 0, 0, 0, 0, r.ac, r.dc, 0, 0, 0};
        const GUID scheme = FakeSchemeGuid(r.scheme);
        memcpy(&record[2], &scheme, sizeof(scheme));
        if (r.writerIdReused) {
            record[8] = other.dwProcessId;
            record[9] = otherStart.dwLowDateTime + 1;
            record[10] = otherStart.dwHighDateTime;
        }
        PutSettingValue(VELTRANA_UNDO_VALUE, r.type, record, r.size);
        const std::string stored = UndoRecord();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, VELTRANA_RUN_ONCE_KEY, VELTRANA_RUN_VALUE); // as Windows does
        EXPECT_EQ(r.result, ReplayUndoRecord());
        EXPECT_EQ(r.calls, TakePowerCalls());
        EXPECT_EQ(r.result ? stored : "none", UndoRecord());
        EXPECT_EQ(r.result != ERROR_SUCCESS, RestoreAtLogon());
        EXPECT_EQ(size_t(0), OutstandingSchemeGuids());
    }
    TerminateProcess(other.hProcess, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other.hProcess, 10000));
    CloseHandle(other.hProcess);
    CloseHandle(other.hThread);
}
