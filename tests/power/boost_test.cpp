// Engaging and undoing the boost through a recording power table: every call, its scheme,
// its value and its result, compared with the expected sequence.
#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "power/boost.h"
#include "power/power_functions.h"
#include "settings/settings.h"

namespace {

const GUID kBalanced = {0x381B4222, 0xF694, 0x41F0, {0x96, 0x85, 0xFF, 0x5B, 0xB2, 0x60, 0xDF, 0x2E}};
const GUID kHighPerformance = {0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}};
const GUID kPowerSaver = {0xA1841308, 0x3541, 0x4FAB, {0xBC, 0x81, 0xF7, 0x15, 0x56, 0xF2, 0x0B, 0x4A}};
const GUID kSubgroup = {0x54533251, 0x82BE, 0x4824, {0x96, 0xC1, 0x47, 0xB6, 0x0B, 0x74, 0x0D, 0x00}};
const GUID kMinimum = {0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4C}};

struct Values {
    DWORD ac, dc;
};

// The simulated power manager of one test.
GUID s_active;
std::map<std::string, Values> s_values;  // by scheme name
std::map<std::string, DWORD> s_failures; // function name -> error it returns
std::vector<std::string> s_calls;
std::set<void*> s_outstanding; // GUIDs handed out and not yet freed
int s_doubleFrees;
int s_refreshes;

std::string Name(const GUID* g) {
    if (!g)
        return "null";
    if (!memcmp(g, &kBalanced, 16))
        return "B";
    if (!memcmp(g, &kHighPerformance, 16))
        return "HP";
    if (!memcmp(g, &kPowerSaver, 16))
        return "PS";
    return "?";
}

DWORD Result(const char* function) {
    auto found = s_failures.find(function);
    return found == s_failures.end() ? ERROR_SUCCESS : found->second;
}

void Record(std::string call, DWORD result) {
    s_calls.push_back(call + " -> " + std::to_string(result));
}

bool SettingOk(const GUID* subgroup, const GUID* setting) {
    return subgroup && setting && !memcmp(subgroup, &kSubgroup, 16) && !memcmp(setting, &kMinimum, 16);
}

DWORD WINAPI FakeGetActive(HKEY root, GUID** scheme) {
    DWORD r = root ? ERROR_INVALID_PARAMETER : Result("GetActive");
    if (r == ERROR_SUCCESS) {
        *scheme = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
        **scheme = s_active;
        s_outstanding.insert(*scheme);
    }
    Record("GetActive", r);
    return r;
}

DWORD WINAPI FakeSetActive(HKEY, const GUID* scheme) {
    DWORD r = Result("SetActive");
    if (r == ERROR_SUCCESS)
        s_active = *scheme;
    Record("SetActive(" + Name(scheme) + ")", r);
    return r;
}

DWORD Read(const char* function, const GUID* scheme, const GUID* sub, const GUID* setting, DWORD* value,
           bool ac) {
    DWORD r = SettingOk(sub, setting) ? Result(function) : ERROR_INVALID_PARAMETER;
    if (r == ERROR_SUCCESS) {
        const Values& v = s_values[Name(scheme)];
        *value = ac ? v.ac : v.dc;
    }
    Record(std::string(function) + "(" + Name(scheme) + ")", r);
    return r;
}

DWORD Write(const char* function, const GUID* scheme, const GUID* sub, const GUID* setting, DWORD value,
            bool ac) {
    DWORD r = SettingOk(sub, setting) ? Result(function) : ERROR_INVALID_PARAMETER;
    if (r == ERROR_SUCCESS)
        (ac ? s_values[Name(scheme)].ac : s_values[Name(scheme)].dc) = value;
    Record(std::string(function) + "(" + Name(scheme) + ", " + std::to_string(value) + ")", r);
    return r;
}

DWORD WINAPI FakeReadAC(HKEY, const GUID* s, const GUID* g, const GUID* v, DWORD* out) {
    return Read("ReadAC", s, g, v, out, true);
}
DWORD WINAPI FakeReadDC(HKEY, const GUID* s, const GUID* g, const GUID* v, DWORD* out) {
    return Read("ReadDC", s, g, v, out, false);
}
DWORD WINAPI FakeWriteAC(HKEY, const GUID* s, const GUID* g, const GUID* v, DWORD value) {
    return Write("WriteAC", s, g, v, value, true);
}
DWORD WINAPI FakeWriteDC(HKEY, const GUID* s, const GUID* g, const GUID* v, DWORD value) {
    return Write("WriteDC", s, g, v, value, false);
}

HLOCAL WINAPI FakeLocalFree(HLOCAL memory) {
    if (memory) {
        if (s_outstanding.erase(memory) == 0)
            ++s_doubleFrees; // not handed out, or freed before
    }
    // This file's own LocalFree would come back here: call the system's.
    static auto real = reinterpret_cast<HLOCAL(WINAPI*)(HLOCAL)>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32"), "LocalFree")));
    return real(memory);
}

} // namespace

// Link seams: the boost frees scheme GUIDs through this LocalFree, and every menu refresh
// asks whether the user may write power schemes.
extern "C" {
void* __imp_LocalFree = reinterpret_cast<void*>(&FakeLocalFree);
BOOLEAN WINAPI CanUserWritePwrScheme(void) {
    ++s_refreshes;
    return TRUE;
}
}

namespace {

class BoostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_power = {FakeGetActive, FakeSetActive, FakeWriteAC, FakeWriteDC, FakeReadAC, FakeReadDC};
        s_active = kBalanced;
        s_values = {{"B", {5, 0}}, {"HP", {100, 100}}, {"PS", {5, 5}}};
        s_failures.clear();
        s_calls.clear();
        s_refreshes = 0;
        s_doubleFrees = 0;
        g_boostMethod = 0;
    }
    void TearDown() override {
        ReleaseBoost();
        // Every GUID the power manager handed out was freed exactly once.
        EXPECT_TRUE(s_outstanding.empty()) << s_outstanding.size() << " scheme GUIDs leaked";
        EXPECT_EQ(0, s_doubleFrees);
        s_outstanding.clear();
    }
    // The calls made since the last look.
    std::vector<std::string> Calls() {
        std::vector<std::string> calls;
        calls.swap(s_calls);
        return calls;
    }
};

typedef std::vector<std::string> Sequence;

TEST_F(BoostTest, SchemeMethodSwitchesAndReturnsToThePreviousScheme) {
    EngageBoost();
    EXPECT_EQ(Sequence({"GetActive -> 0", "SetActive(HP) -> 0"}), Calls());
    EXPECT_TRUE(g_engaged);
    EXPECT_EQ(1, s_refreshes);
    EXPECT_EQ(1u, s_outstanding.size()); // kept for the release

    ReleaseBoost();
    EXPECT_EQ(Sequence({"SetActive(B) -> 0"}), Calls());
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(2, s_refreshes);
    EXPECT_TRUE(s_outstanding.empty());
}

TEST_F(BoostTest, SchemeMethodWithHighPerformanceActiveEngagesNothing) {
    s_active = kHighPerformance;
    EngageBoost();
    EXPECT_EQ(Sequence({"GetActive -> 0"}), Calls());
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(0, s_refreshes);
    EXPECT_TRUE(s_outstanding.empty());
    ReleaseBoost();
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(0, s_refreshes);
}

TEST_F(BoostTest, SchemeMethodReturnsToTheSavedSchemeAfterTheUserSwitched) {
    EngageBoost();
    s_active = kPowerSaver; // the user picks another plan meanwhile
    Calls();
    ReleaseBoost();
    EXPECT_EQ(Sequence({"SetActive(B) -> 0"}), Calls());
    EXPECT_FALSE(g_engaged);
}

TEST_F(BoostTest, SchemeMethodFailuresLeaveNothingEngaged) {
    s_failures["GetActive"] = ERROR_ACCESS_DENIED;
    EngageBoost();
    EXPECT_EQ(Sequence({"GetActive -> 5"}), Calls());
    s_failures = {{"SetActive", ERROR_ACCESS_DENIED}};
    EngageBoost();
    EXPECT_EQ(Sequence({"GetActive -> 0", "SetActive(HP) -> 5"}), Calls());
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(0, s_refreshes);
}

TEST_F(BoostTest, MinimumStateMethodRaisesAndRestoresBothValues) {
    g_boostMethod = 1;
    EngageBoost();
    EXPECT_EQ(Sequence({"GetActive -> 0", "ReadAC(B) -> 0", "WriteAC(B, 100) -> 0", "ReadDC(B) -> 0",
                        "WriteDC(B, 100) -> 0", "SetActive(B) -> 0"}),
              Calls());
    EXPECT_TRUE(g_engaged);
    EXPECT_EQ(1, s_refreshes);

    ReleaseBoost();
    EXPECT_EQ(Sequence({"GetActive -> 0", "WriteAC(B, 5) -> 0", "WriteDC(B, 0) -> 0", "SetActive(B) -> 0"}),
              Calls());
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(2, s_refreshes);
    EXPECT_EQ(5u, s_values["B"].ac);
    EXPECT_EQ(0u, s_values["B"].dc);
}

TEST_F(BoostTest, MinimumStateMethodWithFailingDcReadRestoresOnlyAc) {
    g_boostMethod = 1;
    s_failures["ReadDC"] = ERROR_FILE_NOT_FOUND;
    EngageBoost();
    EXPECT_EQ(Sequence({"GetActive -> 0", "ReadAC(B) -> 0", "WriteAC(B, 100) -> 0", "ReadDC(B) -> 2",
                        "SetActive(B) -> 0"}),
              Calls());
    EXPECT_TRUE(g_engaged);
    ReleaseBoost();
    EXPECT_EQ(Sequence({"GetActive -> 0", "WriteAC(B, 5) -> 0", "SetActive(B) -> 0"}), Calls());
}

TEST_F(BoostTest, MinimumStateMethodWithBothReadsFailingChangesNothing) {
    g_boostMethod = 1;
    s_failures = {{"ReadAC", ERROR_FILE_NOT_FOUND}, {"ReadDC", ERROR_FILE_NOT_FOUND}};
    EngageBoost();
    EXPECT_EQ(Sequence({"GetActive -> 0", "ReadAC(B) -> 2", "ReadDC(B) -> 2"}), Calls());
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(0, s_refreshes);
    EXPECT_TRUE(s_outstanding.empty());
}

TEST_F(BoostTest, MinimumStateMethodRestoresTheRaisedSchemeAfterTheUserSwitched) {
    g_boostMethod = 1;
    EngageBoost();
    s_active = kPowerSaver;
    Calls();
    ReleaseBoost();
    // The raised scheme gets its values back; the scheme active now is only applied again.
    EXPECT_EQ(Sequence({"GetActive -> 0", "WriteAC(B, 5) -> 0", "WriteDC(B, 0) -> 0", "SetActive(PS) -> 0"}),
              Calls());
    EXPECT_EQ(5u, s_values["B"].ac);
    EXPECT_EQ(0u, s_values["B"].dc);
    EXPECT_EQ(5u, s_values["PS"].ac);
    EXPECT_EQ(5u, s_values["PS"].dc);
    EXPECT_FALSE(g_engaged);
}

TEST_F(BoostTest, MinimumStateMethodUndoesTheRaiseWhenApplyingFails) {
    g_boostMethod = 1;
    s_failures["SetActive"] = ERROR_ACCESS_DENIED;
    EngageBoost();
    EXPECT_EQ(
        Sequence({"GetActive -> 0", "ReadAC(B) -> 0", "WriteAC(B, 100) -> 0", "ReadDC(B) -> 0",
                  "WriteDC(B, 100) -> 0", "SetActive(B) -> 5", "WriteAC(B, 5) -> 0", "WriteDC(B, 0) -> 0"}),
        Calls());
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(0, s_refreshes);
    EXPECT_EQ(5u, s_values["B"].ac);
    EXPECT_EQ(0u, s_values["B"].dc);
}

TEST_F(BoostTest, MinimumStateReleaseRestoresEvenWhenTheActiveSchemeIsUnknown) {
    g_boostMethod = 1;
    EngageBoost();
    Calls();
    s_failures["GetActive"] = ERROR_ACCESS_DENIED;
    ReleaseBoost();
    EXPECT_EQ(Sequence({"GetActive -> 5", "WriteAC(B, 5) -> 0", "WriteDC(B, 0) -> 0"}), Calls());
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(2, s_refreshes);
    EXPECT_EQ(5u, s_values["B"].ac);
}

TEST_F(BoostTest, EngagingTwiceUndoesFirst) {
    for (DWORD method : {0u, 1u}) {
        g_boostMethod = method;
        EngageBoost();
        Calls();
        EngageBoost();
        Sequence expected =
            method == 0
                ? Sequence({"SetActive(B) -> 0", "GetActive -> 0", "SetActive(HP) -> 0"})
                : Sequence({"GetActive -> 0", "WriteAC(B, 5) -> 0", "WriteDC(B, 0) -> 0", "SetActive(B) -> 0",
                            "GetActive -> 0", "ReadAC(B) -> 0", "WriteAC(B, 100) -> 0", "ReadDC(B) -> 0",
                            "WriteDC(B, 100) -> 0", "SetActive(B) -> 0"});
        EXPECT_EQ(expected, Calls()) << "method " << method;
        EXPECT_TRUE(g_engaged);
        ReleaseBoost();
        Calls();
        // The second raise read the restored values, not the first raise's 100 %.
        EXPECT_EQ(5u, s_values["B"].ac);
        EXPECT_EQ(0u, s_values["B"].dc);
    }
}

TEST_F(BoostTest, ReleasingTwiceDoesNothingTheSecondTime) {
    EngageBoost();
    ReleaseBoost();
    int refreshes = s_refreshes;
    Calls();
    ReleaseBoost();
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(refreshes, s_refreshes);
}

TEST_F(BoostTest, UnknownMethodNeverEngages) {
    for (DWORD method : {2u, 0xFFFFFFFFu}) {
        g_boostMethod = method;
        EngageBoost();
        EXPECT_TRUE(Calls().empty());
        EXPECT_FALSE(g_engaged);
    }
    EXPECT_EQ(0, s_refreshes);
}

} // namespace
