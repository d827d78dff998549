// Engaging and undoing the boost, case by case: the starting state, the POWRPROF calls of the
// engage and of the release, and what is left afterwards; a record an earlier run left, as the
// next start or "-restore" finds it; a refused release tried again; Windows' resets around sleep.
#include <gtest/gtest.h>

#include <thread>

#include "boost_state_names.h"
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

// The scheme switch, and the switch back while High Performance is still active.
const Calls kSwitch = {"GetActive", "SetActive(HP)"};
const Calls kSwitchBack = {"Enumerate(0)", "GetActive", "SetActive(B)"};
// The minimum state on Balanced (5 % AC, 0 % DC, no class-1 values), and its undoing.
const Calls kRead = {"GetActive",       "ReadAC(B)",       "WriteAC(B, 100)", "ReadDC(B)",
                     "WriteDC(B, 100)", "ReadAC1(B) -> 2", "ReadDC1(B) -> 2"};
const Calls kRaise = kRead + Calls{"SetActive(B)"};
const Calls kRestore = {"Enumerate(0)",  "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)",
                        "WriteDC(B, 0)", "GetActive", "SetActive(B)"};
// The raise where Balanced has class-1 values (30/20).
const Calls kRaiseBoth = {"GetActive",        "ReadAC(B)",   "WriteAC(B, 100)",  "ReadDC(B)",
                          "WriteDC(B, 100)",  "ReadAC1(B)",  "WriteAC1(B, 100)", "ReadDC1(B)",
                          "WriteDC1(B, 100)", "SetActive(B)"};
// Whether a scheme exists, by listing them: Balanced, High Performance, Power saver.
const Calls kFindHp = {"Enumerate(0)", "Enumerate(1)"};
const Calls kNoHp = {"Enumerate(0)", "Enumerate(1)", "Enumerate(2) -> 259"};
const Calls kDcWrittenBack = {"Enumerate(0)", "ReadDC(B)", "WriteDC(B, 0)", "GetActive", "SetActive(B)"};
const Calls kReapply = {"Enumerate(0)", "GetActive", "SetActive(B)"};
const Failures kGetFails = {{"GetActive", 5}}, kSetFails = {{"SetActive", 5}};
// Windows 11's power modes (Balanced on mains, Best power efficiency on battery) made Best
// performance, and put back.
const Calls kModesBest = {"GetModeAC", "SetModeAC(BP)", "GetModeDC", "SetModeDC(BP)"};
const Calls kModesBack = {"GetModeAC", "SetModeAC(BAL)", "GetModeDC", "SetModeDC(BE)"};

// The stored form of an undo record.
struct Record {
    DWORD version = 1;
    DWORD method = 0;
    GUID scheme = FakeSchemeGuid("B");
    DWORD savedAc = 0xFFFFFFFF;
    DWORD savedDc = 0xFFFFFFFF;
    DWORD processId = 0; // the program that wrote it, and when it started
    FILETIME created = {};
};
static_assert(sizeof(Record) == 44, "the stored record's size");

// A stored record as "method scheme AC DC" ("-" where nothing is saved), or "none".
static std::string Described(const wchar_t* value) {
    Record r;
    DWORD type = 0, size = sizeof(r);
    if (!GetSettingValue(value, &type, &r, &size))
        return "none";
    auto saved = [](DWORD v) { return v == 0xFFFFFFFF ? std::string("-") : std::to_string(v); };
    const bool wellFormed = size == sizeof(r) && type == REG_BINARY && r.version == 1;
    const bool balanced = IsEqualGUID(r.scheme, FakeSchemeGuid("B"));
    return std::string(wellFormed ? "" : "malformed ") + std::to_string(r.method) +
           (balanced ? " B " : " ? ") + saved(r.savedAc) + " " + saved(r.savedDc);
}
// The modes record as "modes AC DC" ("-" where none is saved).
static std::string DescribedModes() {
    struct {
        DWORD version, saved;
        GUID modes[2];
        DWORD writer[3];
    } r;
    DWORD type = 0, size = sizeof(r);
    if (!GetSettingValue(VELTRANA_UNDO_MODES_VALUE, &type, &r, &size))
        return "";
    auto mode = [&](int source) { return r.saved & (1u << source) ? FakeModeName(r.modes[source]) : "-"; };
    return " + modes " + mode(0) + " " + mode(1);
}
// Every record: the first, and " + " the class-1 one and the modes where there are some.
static std::string UndoRecords() {
    const std::string class1 = Described(VELTRANA_UNDO_CLASS1_VALUE);
    return Described(VELTRANA_UNDO_VALUE) + (class1 == "none" ? "" : " + " + class1) + DescribedModes();
}
static bool RestoreAtLogon() {
    wchar_t command[600] = L"";
    DWORD size = sizeof(command);
    return RegGetValueW(HKEY_CURRENT_USER, VELTRANA_RUN_ONCE_KEY, VELTRANA_RUN_VALUE, RRF_RT_REG_SZ, NULL,
                        command, &size) == ERROR_SUCCESS &&
           wcsstr(command, L"\" -restore");
}
// The active scheme and the minimum states of every scheme there is, class 1 where set.
static std::string Schemes() {
    std::string text = "active " + g_fakeActiveScheme;
    for (const auto& [name, states] : g_fakeSchemes)
        text += ", " + name + " " + std::to_string(states.ac) + "/" + std::to_string(states.dc);
    for (const auto& [name, states] : g_fakeClass1)
        text += ", " + name + "1 " + std::to_string(states.ac) + "/" + std::to_string(states.dc);
    if (!g_fakeModes.empty())
        text += ", modes " + g_fakeModes["AC"] + "/" + g_fakeModes["DC"];
    return text;
}
static std::string State() {
    DWORD error = 0;
    BoostState state = CurrentBoostState(&error);
    return BoostStateName(state) + (error ? " " + std::to_string(error) : "");
}

class Boost : public IsolatedRegistryTest {};

// The state at the start, the calls of the engages and of two releases in a row, with the engaged
// flag between them; then the records the releases leave and what
// the next start's replay of them calls; and the schemes at the end, which hold the user's choices
// and otherwise their starting values.
struct Case {
    const char* name;
    DWORD method = 0;
    const char* missing = nullptr;    // a scheme this machine lacks
    const char* active = "B";         // the scheme active at the start
    MinimumStates class1 = {0, 0};    // Balanced's class-1 values, where {0, 0} stands for none
    const char* userPicks = nullptr;  // the scheme the user activates while boosted
    bool modes = false;               // Windows 11's power modes
    const char* userModeAc = nullptr; // the mode the user picks for mains while boosted
    DWORD battery = 1;                // "Boost on battery"
    int engages = 1;
    Failures atEngage = {}, atRelease = {};
    Calls engage = {};
    bool engaged = false;
    Calls release = {};
    std::string left = "none";
    Calls replay = {};
};

const Case kCases[] = {
    {.name = "scheme switch and back", .engage = kSwitch, .engaged = true, .release = kSwitchBack},
    {.name = "High Performance already active", .active = "HP", .engage = {"GetActive"}},
    {.name = "GetActive fails", .atEngage = kGetFails, .engage = {"GetActive -> 5"}},
    {.name = "SetActive fails",
     .atEngage = kSetFails,
     .engage = Calls{"GetActive", "SetActive(HP) -> 5"} + kFindHp},
    {.name = "no High Performance: raised instead",
     .missing = "HP",
     .engage = Calls{"GetActive", "SetActive(HP) -> 2"} + kNoHp + kRaise,
     .engaged = true,
     .release = kRestore},
    {.name = "no High Performance, and the schemes cannot be listed: nothing raised",
     .missing = "HP",
     .atEngage = {{"Enumerate", 5}},
     .engage = {"GetActive", "SetActive(HP) -> 2", "Enumerate(0) -> 5"}},
    {.name = "minimum state raised and restored",
     .method = 1,
     .engage = kRaise,
     .engaged = true,
     .release = kRestore},
    {.name = "DC read fails",
     .method = 1,
     .atEngage = {{"ReadDC", 2}},
     .engage = {"GetActive", "ReadAC(B)", "WriteAC(B, 100)", "ReadDC(B) -> 2", "ReadAC1(B) -> 2",
                "ReadDC1(B) -> 2", "SetActive(B)"},
     .engaged = true,
     .release = {"Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "GetActive", "SetActive(B)"}},
    {.name = "AC raise refused: AC is not written back",
     .method = 1,
     .atEngage = {{"WriteAC", 5}},
     .engage = {"GetActive", "ReadAC(B)", "WriteAC(B, 100) -> 5", "ReadDC(B)", "WriteDC(B, 100)",
                "ReadAC1(B) -> 2", "ReadDC1(B) -> 2", "SetActive(B)"},
     .engaged = true,
     .release = {"Enumerate(0)", "ReadDC(B)", "WriteDC(B, 0)", "GetActive", "SetActive(B)"}},
    {.name = "both reads fail",
     .method = 1,
     .atEngage = {{"ReadAC", 2}, {"ReadDC", 2}},
     .engage = {"GetActive", "ReadAC(B) -> 2", "ReadDC(B) -> 2", "ReadAC1(B) -> 2", "ReadDC1(B) -> 2"}},
    {.name = "user switched after the raise: the raised scheme is restored, the user's stays active",
     .method = 1,
     .userPicks = "PS",
     .engage = kRaise,
     .engaged = true,
     .release = {"Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)", "WriteDC(B, 0)", "GetActive",
                 "SetActive(PS)"}},
    {.name = "final SetActive fails: the values go back, with nothing to apply",
     .method = 1,
     .atEngage = kSetFails,
     .engage = kRead + Calls{"SetActive(B) -> 5", "Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)",
                             "WriteDC(B, 0)"}},
    {.name = "scheme switch twice",
     .engages = 2,
     .engage = kSwitch + kSwitchBack + kSwitch,
     .engaged = true,
     .release = kSwitchBack},
    {.name = "method 2", .method = 2},
    // Releases that Windows refuses in part: the record keeps what is left, for the next start.
    {.name = "switch back refused",
     .atRelease = kSetFails,
     .engage = kSwitch,
     .engaged = true,
     .release = {"Enumerate(0)", "GetActive", "SetActive(B) -> 5"},
     .left = "0 B - -",
     .replay = kSwitchBack},
    {.name = "GetActive fails at release",
     .method = 1,
     .atRelease = kGetFails,
     .engage = kRaise,
     .engaged = true,
     .release = {"Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)", "WriteDC(B, 0)",
                 "GetActive -> 5"},
     .left = "1 B - -",
     .replay = kReapply},
    {.name = "DC write-back refused",
     .method = 1,
     .atRelease = {{"WriteDC", 5}},
     .engage = kRaise,
     .engaged = true,
     .release = {"Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)", "WriteDC(B, 0) -> 5", "GetActive",
                 "SetActive(B)"},
     .left = "1 B - 0",
     .replay = kDcWrittenBack},
    {.name = "class-1 DC write-back refused: its own record keeps it",
     .method = 1,
     .class1 = {30, 20},
     .atRelease = {{"WriteDC1", 5}},
     .engage = kRaiseBoth,
     .engaged = true,
     .release = {"Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)", "WriteDC(B, 0)", "ReadAC1(B)",
                 "WriteAC1(B, 30)", "ReadDC1(B)", "WriteDC1(B, 20) -> 5", "GetActive", "SetActive(B)"},
     .left = "1 B - - + 1 B - 20",
     .replay =
         kReapply + Calls{"Enumerate(0)", "ReadDC1(B)", "WriteDC1(B, 20)", "GetActive", "SetActive(B)"}},
    // The second engage's release is refused, and so is finishing it: no new boost overwrites
    // the record.
    // Windows 11's power modes, with the minimum state only.
    {.name = "power modes with the raise",
     .method = 1,
     .modes = true,
     .engage = kRead + kModesBest + Calls{"SetActive(B)"},
     .engaged = true,
     .release = kModesBack + kRestore},
    {.name = "power modes with the fallback",
     .missing = "HP",
     .modes = true,
     .engage = Calls{"GetActive", "SetActive(HP) -> 2"} + kNoHp + kRead + kModesBest + Calls{"SetActive(B)"},
     .engaged = true,
     .release = kModesBack + kRestore},
    {.name = "the scheme switch leaves the power modes alone",
     .modes = true,
     .engage = kSwitch,
     .engaged = true,
     .release = kSwitchBack},
    {.name = "the user's mode for mains picked while boosted stays",
     .method = 1,
     .modes = true,
     .userModeAc = "BE",
     .engage = kRead + kModesBest + Calls{"SetActive(B)"},
     .engaged = true,
     .release = Calls{"GetModeAC", "GetModeDC", "SetModeDC(BE)"} + kRestore},
    {.name = "a mode refused at engage: nothing stays boosted",
     .method = 1,
     .modes = true,
     .atEngage = {{"SetModeDC", 5}},
     .engage = kRead + Calls{"GetModeAC", "SetModeAC(BP)", "GetModeDC", "SetModeDC(BP) -> 5", "GetModeAC",
                             "SetModeAC(BAL)", "Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)",
                             "WriteDC(B, 0)"}},
    {.name = "a mode put back refused: its own record keeps it",
     .method = 1,
     .modes = true,
     .atRelease = {{"SetModeAC", 5}},
     .engage = kRead + kModesBest + Calls{"SetActive(B)"},
     .engaged = true,
     .release = Calls{"GetModeAC", "SetModeAC(BAL) -> 5", "GetModeDC", "SetModeDC(BE)"} + kRestore,
     .left = "none + modes BAL -",
     .replay = {"GetModeAC", "SetModeAC(BAL)"}},
    {.name = "no boost on battery: mains only",
     .method = 1,
     .modes = true,
     .battery = 0,
     .engage = {"GetActive", "ReadAC(B)", "WriteAC(B, 100)", "ReadAC1(B) -> 2", "GetModeAC", "SetModeAC(BP)",
                "SetActive(B)"},
     .engaged = true,
     .release = {"GetModeAC", "SetModeAC(BAL)", "Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "GetActive",
                 "SetActive(B)"}},
    {.name = "engaged again while Windows refuses the write-back",
     .method = 1,
     .engages = 2,
     .atEngage = {{"WriteDC(B, 0)", 5}},
     .engage = kRaise + Calls{"Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)", "WriteDC(B, 0) -> 5",
                              "GetActive", "SetActive(B)", "Enumerate(0)", "ReadDC(B)", "WriteDC(B, 0) -> 5",
                              "GetActive", "SetActive(B)"},
     .left = "1 B - 0",
     .replay = kDcWrittenBack},
};

TEST_F(Boost, EngageAndReleaseByEveryMethodAndFailure) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        UseFakePower();
        if (c.missing)
            g_fakeSchemes.erase(c.missing);
        if (c.class1.ac)
            g_fakeClass1["B"] = c.class1;
        if (c.modes)
            UseFakePowerModes();
        g_boostOnBattery = c.battery;
        g_boostMethod = c.method;
        g_fakeActiveScheme = c.active;
        // What the schemes hold at the end: the start, with the user's choices.
        std::string expected = Schemes();
        g_fakePowerFailures = c.atEngage;
        for (int i = 0; i < c.engages; ++i)
            EngageBoost();
        EXPECT_EQ(c.engage, TakePowerCalls());
        EXPECT_EQ(c.engaged, g_engaged != 0);
        if (c.userPicks) {
            g_fakeActiveScheme = c.userPicks;
            expected = "active " + g_fakeActiveScheme + expected.substr(expected.find(','));
        }
        if (c.userModeAc) {
            g_fakeModes["AC"] = c.userModeAc;
            expected = expected.substr(0, expected.rfind(' ') + 1) + c.userModeAc + "/BE";
        }
        g_fakePowerFailures = c.atRelease;
        ReleaseBoost();
        ReleaseBoost();
        EXPECT_EQ(c.release, TakePowerCalls());
        EXPECT_FALSE(g_engaged);
        EXPECT_EQ(c.left, UndoRecords());
        EXPECT_EQ(c.left != "none", RestoreAtLogon());
        // The next start, when Windows no longer refuses: the RunOnce value goes with the records.
        g_fakePowerFailures.clear();
        UndoLeftBoost();
        EXPECT_EQ(c.replay, TakePowerCalls());
        EXPECT_EQ("none", State());
        EXPECT_EQ("none", UndoRecords());
        EXPECT_FALSE(RestoreAtLogon());
        EXPECT_EQ(expected, Schemes());
        EXPECT_EQ(size_t(0), OutstandingSchemeGuids());
        EXPECT_EQ(0, StrayGuidFrees());
    }
    g_boostOnBattery = 1;
}

static PowerFunctions s_fake; // behind the spies below
static Calls s_seen;          // the records at each change
struct Spy {
    static DWORD WINAPI Set(HKEY r, const GUID* s) {
        s_seen.push_back(UndoRecords());
        return s_fake.PowerSetActiveScheme(r, s);
    }
    template <bool ac>
    static DWORD WINAPI Write(HKEY r, const GUID* s, const GUID* g, const GUID* v, DWORD x) {
        s_seen.push_back(UndoRecords());
        return (ac ? s_fake.PowerWriteACValueIndex : s_fake.PowerWriteDCValueIndex)(r, s, g, v, x);
    }
};

// The record is written before each change (for the minimum state, each saved value before its
// write), and deleted only after the release has restored everything; meanwhile a RunOnce value
// restores at the next logon (without Start with Windows: see t_undo).
TEST_F(Boost, UndoRecordPrecedesEveryChangeAndGoesAfterTheRelease) {
    const Calls kRaised = {"1 B 5 -", "1 B 5 0", "1 B 5 0"}, kRestored = {"1 B 5 0", "1 B 5 0", "1 B 5 0"};
    const struct {
        DWORD method;
        const char* missing = nullptr;
        Calls engage, release;
    } cases[] = {{.method = 0, .engage = {"0 B - -"}, .release = {"0 B - -"}},
                 {.method = 1, .engage = kRaised, .release = kRestored},
                 {.method = 0, .missing = "HP", .engage = Calls{"0 B - -"} + kRaised, .release = kRestored}};
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
        EXPECT_EQ("none", UndoRecords());
        EXPECT_FALSE(RestoreAtLogon());
    }
}

// A record that an earlier run left, as "-restore" finds it at the next logon: the records, the
// machine by then, and what the replay calls, returns and leaves. Windows deleted the RunOnce value
// before it ran "-restore", which never writes it again.
struct Replay {
    const char* name;
    Record record = {};
    DWORD type = REG_BINARY, size = 44;
    Record class1 = {.version = 0}; // version 0: no class-1 record
    bool writerIdReused = false;    // the writer's process id now names another process, started later
    const char* active = "HP";
    MinimumStates balanced = {100, 100};
    Failures failures = {};
    Calls calls = {};
    DWORD result = ERROR_SUCCESS;
    std::string left = "none";
};

const Replay kReplays[] = {
    {.name = "a record of another type", .type = REG_DWORD, .size = 4},
    {.name = "a record of 3 bytes", .size = 3},
    {.name = "a record of an unknown version", .record = {.version = 2}},
    {.name = "a record of an unknown method", .record = {.method = 2}},
    {.name = "High Performance still active: back to Balanced", .calls = kSwitchBack},
    {.name = "the recorded scheme is gone",
     .record = {.scheme = FakeSchemeGuid("?")},
     .calls = {"Enumerate(0)", "Enumerate(1)", "Enumerate(2)", "Enumerate(3) -> 259"}},
    {.name = "the user chose Power saver since", .active = "PS", .calls = {"Enumerate(0)", "GetActive"}},
    {.name = "the user set AC to 50 % since",
     .record = {.method = 1, .savedAc = 5, .savedDc = 0},
     .active = "B",
     .balanced = {50, 100},
     .calls = {"Enumerate(0)", "ReadAC(B)", "ReadDC(B)", "WriteDC(B, 0)", "GetActive", "SetActive(B)"}},
    {.name = "a class-1 record beside the first",
     .record = {.method = 1, .savedAc = 5, .savedDc = 0},
     .class1 = {.method = 1, .savedAc = 30, .savedDc = 20},
     .active = "B",
     .calls = kRestore + Calls{"Enumerate(0)", "ReadAC1(B)", "WriteAC1(B, 30)", "ReadDC1(B)",
                               "WriteDC1(B, 20)", "GetActive", "SetActive(B)"}},
    {.name = "a class-1 record of the scheme switch", .class1 = {.method = 0}, .calls = kSwitchBack},
    {.name = "Windows refuses a write-back: the rest is done",
     .record = {.method = 1, .savedAc = 5, .savedDc = 0},
     .active = "B",
     .failures = {{"WriteDC", 5}},
     .calls = {"Enumerate(0)", "ReadAC(B)", "WriteAC(B, 5)", "ReadDC(B)", "WriteDC(B, 0) -> 5", "GetActive",
               "SetActive(B)"},
     .result = 5,
     .left = "1 B - 0"},
    {.name = "the schemes cannot be listed",
     .failures = {{"Enumerate", 21}},
     .calls = {"Enumerate(0) -> 21"},
     .result = 21,
     .left = "0 B - -"},
    {.name = "its process id now names another running process",
     .writerIdReused = true,
     .calls = kSwitchBack},
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
        g_fakeClass1["B"] = {100, 100};
        g_fakePowerFailures = r.failures;
        Record record = r.record;
        if (r.writerIdReused) {
            record.processId = other.dwProcessId;
            record.created = otherStart;
            ++record.created.dwLowDateTime;
        }
        PutSettingValue(VELTRANA_UNDO_VALUE, r.type, &record, r.size);
        if (r.class1.version)
            PutSettingValue(VELTRANA_UNDO_CLASS1_VALUE, REG_BINARY, &r.class1, sizeof(r.class1));
        EXPECT_EQ(r.result, ReplayUndoRecord());
        EXPECT_EQ(r.calls, TakePowerCalls());
        EXPECT_EQ(r.left, UndoRecords());
        EXPECT_FALSE(RestoreAtLogon());
        EXPECT_EQ(size_t(0), OutstandingSchemeGuids());
        RegDeleteKeyValueW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, VELTRANA_UNDO_VALUE);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, VELTRANA_UNDO_CLASS1_VALUE);
    }
    TerminateProcess(other.hProcess, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other.hProcess, 10000));
    CloseHandle(other.hProcess);
    CloseHandle(other.hThread);
}

// Whether another thread could take the replay mutex now.
static DWORD ReplayMutexWait() {
    DWORD waited = WAIT_FAILED;
    std::thread([&] {
        HANDLE mutex = CreateMutexW(NULL, FALSE, VELTRANA_REPLAY_MUTEX);
        waited = WaitForSingleObject(mutex, 0);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
    }).join();
    return waited;
}

// A run killed while it replayed abandons the mutex: the next one still replays, and frees it.
TEST_F(Boost, AReplayAfterAnAbandonedOneReplaysAndFreesTheMutex) {
    UseFakePower();
    g_fakeActiveScheme = "HP";
    Record record = {};
    PutSettingValue(VELTRANA_UNDO_VALUE, REG_BINARY, &record, sizeof(record));
    HANDLE holder = NULL;
    std::thread([&] {
        holder = CreateMutexW(NULL, TRUE, VELTRANA_REPLAY_MUTEX); // and ends without releasing it
    }).join();
    EXPECT_EQ(DWORD(ERROR_SUCCESS), ReplayUndoRecord());
    EXPECT_EQ(kSwitchBack, TakePowerCalls()) << "the replay after an abandoned one replayed";
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), ReplayMutexWait()) << "the replay after an abandoned one freed the mutex";
    CloseHandle(holder);
}

// What Windows refused to undo at the start's replay is tried again by the slow pass every eighth
// time (no sooner: no busy loop), and no engage boosts over it meanwhile; the state names the
// refusal until the retry succeeds.
TEST_F(Boost, ARefusedReplayAtStartIsTriedAgainAndNeverBoostedOver) {
    UseFakePower();
    g_boostMethod = 1;
    Record record = {.method = 1, .savedAc = 5, .savedDc = 0};
    PutSettingValue(VELTRANA_UNDO_VALUE, REG_BINARY, &record, sizeof(record));
    g_fakeSchemes["B"] = {100, 100};
    g_fakePowerFailures = {{"WriteDC", 5}};
    UndoLeftBoost();
    EXPECT_EQ("release refused 5", State());
    EXPECT_EQ("1 B - 0", UndoRecords());
    EngageBoost();
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ("refused 5", State());
    EXPECT_EQ("1 B - 0", UndoRecords()) << "an engage boosted over the refused replay";
    ReleaseBoost();
    EXPECT_EQ("release refused 5", State());
    g_fakePowerFailures.clear();
    TakePowerCalls();
    for (int pass = 1; pass < 8; ++pass)
        RetryRefusedRelease();
    EXPECT_EQ(Calls{}, TakePowerCalls()) << "tried again within seven passes";
    RetryRefusedRelease();
    EXPECT_EQ(kDcWrittenBack, TakePowerCalls());
    EXPECT_EQ("none", State());
    EXPECT_EQ("none", UndoRecords());
    EXPECT_EQ(DWORD(0), g_fakeSchemes["B"].dc);
}

// A scheme switched back by Windows around sleep and resume is switched to High Performance again,
// at most three times a minute: then the switch is kept as the user's, and the state says so.
TEST_F(Boost, WindowsResetsAroundSleepAreAnsweredThreeTimesAMinute) {
    UseFakePower();
    g_boostMethod = 0;
    for (int sleep = 1; sleep <= 4; ++sleep) {
        SCOPED_TRACE("sleep " + std::to_string(sleep) + " in a minute");
        EngageBoost();
        OnSystemSuspend();
        g_fakeActiveScheme = "B"; // Windows' own plan again
        OnSystemResume();
        EXPECT_EQ(sleep <= 3 ? "HP" : "B", g_fakeActiveScheme);
        EXPECT_EQ(sleep <= 3 ? "by scheme switch" : "undone elsewhere", State());
        ReleaseBoost();
    }
}
