// The stand-in POWRPROF, loaded from the build by full path, and powersim-ctl beside it. Every
// test starts from an empty store (the DLL writes the defaults at first use) and no knobs.
#include <windows.h>
#include <powrprof.h>
#include <gtest/gtest.h>

#include <string>

#include "program_runner.h"
#include "wine_paths.h"

namespace {

const GUID kBalanced = {0x381B4222, 0xF694, 0x41F0, {0x96, 0x85, 0xFF, 0x5B, 0xB2, 0x60, 0xDF, 0x2E}};
const GUID kHigh = {0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}};
const GUID kSaver = {0xA1841308, 0x3541, 0x4FAB, {0xBC, 0x81, 0xF7, 0x15, 0x56, 0xF2, 0x0B, 0x4A}};
const GUID kUnknown = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kSubgroup = {0x54533251, 0x82BE, 0x4824, {0x96, 0xC1, 0x47, 0xB6, 0x0B, 0x74, 0x0D, 0x00}};
const GUID kMinimum = {0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4C}};
// GUID_PROCESSOR_THROTTLE_MAXIMUM: a setting the store has no default for.
const GUID kMaximum = {0xBC5038F7, 0x23E0, 0x4960, {0x96, 0xDA, 0x33, 0xAB, 0xAF, 0x59, 0x35, 0xEC}};

const wchar_t* const kKnobbed[] = {L"CanUserWritePwrScheme",  L"PowerGetActiveScheme",
                                   L"PowerSetActiveScheme",   L"PowerReadACValueIndex",
                                   L"PowerReadDCValueIndex",  L"PowerWriteACValueIndex",
                                   L"PowerWriteDCValueIndex", L"CallNtPowerInformation"};

struct ProcessorPowerInformation {
    ULONG number, maxMhz, currentMhz, mhzLimit, maxIdleState, currentIdleState;
};

struct PowerSim {
    HMODULE module;
    decltype(&CanUserWritePwrScheme) canWrite;
    decltype(&PowerGetActiveScheme) getActive;
    decltype(&PowerSetActiveScheme) setActive;
    decltype(&PowerReadACValueIndex) readAc;
    decltype(&PowerReadDCValueIndex) readDc;
    decltype(&PowerWriteACValueIndex) writeAc;
    decltype(&PowerWriteDCValueIndex) writeDc;
    decltype(&CallNtPowerInformation) callNt;
};

template <typename F> void Find(HMODULE module, const char* name, F* function) {
    *function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    ASSERT_TRUE(*function) << name;
}

void Load(const char* variable, PowerSim* sim) {
    std::wstring path = PathFromEnvironment(variable);
    ASSERT_FALSE(path.empty()) << variable << " is not set";
    sim->module = LoadLibraryW(path.c_str());
    ASSERT_TRUE(sim->module) << "error " << GetLastError();
    // Wine's own POWRPROF lacks the read functions: finding them proves the stand-in was loaded.
    Find(sim->module, "CanUserWritePwrScheme", &sim->canWrite);
    Find(sim->module, "PowerSetActiveScheme", &sim->setActive);
    Find(sim->module, "PowerReadACValueIndex", &sim->readAc);
    Find(sim->module, "PowerReadDCValueIndex", &sim->readDc);
    Find(sim->module, "PowerWriteACValueIndex", &sim->writeAc);
    Find(sim->module, "PowerWriteDCValueIndex", &sim->writeDc);
    Find(sim->module, "CallNtPowerInformation", &sim->callNt);
    sim->getActive = reinterpret_cast<decltype(&PowerGetActiveScheme)>(
        reinterpret_cast<void*>(GetProcAddress(sim->module, "PowerGetActiveScheme")));
}

// A value of HKLM\Software\PowerSim; `missing` when absent.
DWORD StoreDword(const wchar_t* name, DWORD missing = 0xFFFFFFFF) {
    DWORD value = 0, size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\PowerSim", name, RRF_RT_REG_DWORD, NULL, &value, &size))
        return missing;
    return value;
}

std::wstring StoreString(const wchar_t* name) {
    wchar_t text[64] = {0};
    DWORD size = sizeof(text) - 2;
    RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\PowerSim", name, RRF_RT_REG_SZ, NULL, text, &size);
    return text;
}

void PutStoreDword(const wchar_t* name, DWORD value) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\PowerSim", name, REG_DWORD, &value, 4));
}

class PowerSimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const wchar_t* function : kKnobbed)
            SetEnvironmentVariableW((std::wstring(L"POWERSIM_FAIL_") + function).c_str(), NULL);
        LSTATUS deleted = RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\PowerSim");
        ASSERT_TRUE(deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND);
        Load("POWERSIM_DLL", &sim);
    }
    void TearDown() override {
        if (sim.module)
            FreeLibrary(sim.module);
    }
    DWORD ReadAc(const GUID& scheme, const GUID& setting = kMinimum) {
        DWORD value = 0xBAD;
        DWORD result = sim.readAc(NULL, &scheme, &kSubgroup, &setting, &value);
        return result ? 1000000 + result : value;
    }
    DWORD ReadDc(const GUID& scheme, const GUID& setting = kMinimum) {
        DWORD value = 0xBAD;
        DWORD result = sim.readDc(NULL, &scheme, &kSubgroup, &setting, &value);
        return result ? 1000000 + result : value;
    }
    GUID Active() {
        GUID* active = NULL;
        EXPECT_EQ(ERROR_SUCCESS, sim.getActive(NULL, &active));
        GUID copy = active ? *active : GUID();
        LocalFree(active);
        return copy;
    }
    PowerSim sim = {};
};

// Read results are the value, or 1000000 + the error.
const DWORD kNotFound = 1000000 + ERROR_FILE_NOT_FOUND;

TEST_F(PowerSimTest, StartsWithTheDefaultSchemesAndBalancedActive) {
    EXPECT_TRUE(IsEqualGUID(kBalanced, Active()));
    EXPECT_EQ(5u, ReadAc(kBalanced));
    EXPECT_EQ(5u, ReadDc(kBalanced));
    EXPECT_EQ(100u, ReadAc(kHigh));
    EXPECT_EQ(100u, ReadDc(kHigh));
    EXPECT_EQ(5u, ReadAc(kSaver));
    EXPECT_EQ(5u, ReadDc(kSaver));
    EXPECT_EQ(kNotFound, ReadAc(kBalanced, kMaximum));
    EXPECT_TRUE(sim.canWrite());
    EXPECT_EQ(L"{381B4222-F694-41F0-9685-FF5BB260DF2E}", StoreString(L"applied::scheme"));
    EXPECT_EQ(5u, StoreDword(L"applied::ac"));
}

TEST_F(PowerSimTest, ActiveSchemeComesInItsOwnLocalAllocBlock) {
    GUID* first = NULL;
    GUID* second = NULL;
    ASSERT_EQ(ERROR_SUCCESS, sim.getActive(NULL, &first));
    ASSERT_EQ(ERROR_SUCCESS, sim.getActive(NULL, &second));
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_GE(LocalSize(first), sizeof(GUID));
    EXPECT_TRUE(IsEqualGUID(kBalanced, *second));
    EXPECT_EQ(NULL, LocalFree(first));
    EXPECT_EQ(NULL, LocalFree(second));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), sim.getActive(NULL, NULL));
}

TEST_F(PowerSimTest, StatePersistsAcrossLoadsAndProcesses) {
    ASSERT_EQ(ERROR_SUCCESS, sim.writeAc(NULL, &kHigh, &kSubgroup, &kMinimum, 80));
    ASSERT_EQ(ERROR_SUCCESS, sim.writeDc(NULL, &kHigh, &kSubgroup, &kMinimum, 70));
    ASSERT_EQ(ERROR_SUCCESS, sim.writeAc(NULL, &kSaver, &kSubgroup, &kMaximum, 60));
    ASSERT_EQ(ERROR_SUCCESS, sim.setActive(NULL, &kHigh));
    FreeLibrary(sim.module);
    Load("POWERSIM_DLL", &sim);
    EXPECT_TRUE(IsEqualGUID(kHigh, Active()));
    EXPECT_EQ(80u, ReadAc(kHigh));
    EXPECT_EQ(70u, ReadDc(kHigh));
    EXPECT_EQ(60u, ReadAc(kSaver, kMaximum));
    EXPECT_EQ(kNotFound, ReadDc(kSaver, kMaximum)); // only the AC value was ever written
    std::string dump;
    ASSERT_EQ(0u, RunTool("POWERSIM_CTL", L"dump", &dump));
    EXPECT_NE(std::string::npos,
              dump.find("active {8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C} high-performance\n"));
    EXPECT_NE(std::string::npos, dump.find("applied {8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C} high-performance "
                                           "ac 80 dc 70\n"));
}

TEST_F(PowerSimTest, RejectsUnknownSchemesAndNullArguments) {
    const DWORD invalid = ERROR_INVALID_PARAMETER, notFound = ERROR_FILE_NOT_FOUND;
    DWORD value = 0xBAD;
    EXPECT_EQ(notFound, sim.setActive(NULL, &kUnknown));
    EXPECT_EQ(notFound, sim.writeAc(NULL, &kUnknown, &kSubgroup, &kMinimum, 1));
    EXPECT_EQ(notFound, sim.writeDc(NULL, &kUnknown, &kSubgroup, &kMinimum, 1));
    EXPECT_EQ(notFound, sim.readAc(NULL, &kUnknown, &kSubgroup, &kMinimum, &value));
    EXPECT_EQ(notFound, sim.readDc(NULL, &kUnknown, &kSubgroup, &kMinimum, &value));
    EXPECT_EQ(invalid, sim.setActive(NULL, NULL));
    EXPECT_EQ(invalid, sim.readAc(NULL, &kBalanced, &kSubgroup, &kMinimum, NULL));
    EXPECT_EQ(invalid, sim.readDc(NULL, NULL, &kSubgroup, &kMinimum, &value));
    EXPECT_EQ(invalid, sim.readAc(NULL, &kBalanced, NULL, &kMinimum, &value));
    EXPECT_EQ(invalid, sim.writeAc(NULL, &kBalanced, &kSubgroup, NULL, 1));
    EXPECT_EQ(invalid, sim.writeDc(NULL, NULL, &kSubgroup, &kMinimum, 1));
    EXPECT_EQ(0xBADu, value);
    EXPECT_TRUE(IsEqualGUID(kBalanced, Active()));
    EXPECT_EQ(5u, ReadAc(kBalanced));
    EXPECT_EQ(5u, ReadDc(kBalanced));
}

TEST_F(PowerSimTest, ChangedValuesTakeEffectOnlyWhenTheirSchemeIsActivated) {
    ASSERT_EQ(ERROR_SUCCESS, sim.writeAc(NULL, &kSaver, &kSubgroup, &kMinimum, 50));
    ASSERT_EQ(ERROR_SUCCESS, sim.writeAc(NULL, &kBalanced, &kSubgroup, &kMinimum, 100));
    ASSERT_EQ(ERROR_SUCCESS, sim.writeDc(NULL, &kBalanced, &kSubgroup, &kMinimum, 90));
    EXPECT_EQ(L"{381B4222-F694-41F0-9685-FF5BB260DF2E}", StoreString(L"applied::scheme"));
    EXPECT_EQ(5u, StoreDword(L"applied::ac"));
    EXPECT_EQ(5u, StoreDword(L"applied::dc"));
    ASSERT_EQ(ERROR_SUCCESS, sim.setActive(NULL, &kBalanced));
    EXPECT_EQ(100u, StoreDword(L"applied::ac"));
    EXPECT_EQ(90u, StoreDword(L"applied::dc"));
    ASSERT_EQ(ERROR_SUCCESS, sim.setActive(NULL, &kSaver));
    EXPECT_EQ(L"{A1841308-3541-4FAB-BC81-F71556F20B4A}", StoreString(L"applied::scheme"));
    EXPECT_EQ(50u, StoreDword(L"applied::ac"));
    EXPECT_EQ(5u, StoreDword(L"applied::dc"));
}

TEST_F(PowerSimTest, CountsEveryCallOfTheSchemeFunctions) {
    DWORD value;
    sim.canWrite();
    Active();
    sim.setActive(NULL, &kUnknown); // failed calls count too
    sim.readAc(NULL, &kBalanced, &kSubgroup, &kMinimum, &value);
    sim.readAc(NULL, &kBalanced, &kSubgroup, &kMinimum, &value);
    sim.readDc(NULL, &kBalanced, &kSubgroup, &kMinimum, &value);
    sim.writeAc(NULL, &kBalanced, &kSubgroup, &kMinimum, 5);
    sim.writeDc(NULL, NULL, &kSubgroup, &kMinimum, 5);
    EXPECT_EQ(1u, StoreDword(L"calls::CanUserWritePwrScheme"));
    EXPECT_EQ(1u, StoreDword(L"calls::PowerGetActiveScheme"));
    EXPECT_EQ(1u, StoreDword(L"calls::PowerSetActiveScheme"));
    EXPECT_EQ(2u, StoreDword(L"calls::PowerReadACValueIndex"));
    EXPECT_EQ(1u, StoreDword(L"calls::PowerReadDCValueIndex"));
    EXPECT_EQ(1u, StoreDword(L"calls::PowerWriteACValueIndex"));
    EXPECT_EQ(1u, StoreDword(L"calls::PowerWriteDCValueIndex"));
}

TEST_F(PowerSimTest, FaultKnobsFromTheRegistryAndTheEnvironment) {
    PutStoreDword(L"fail::PowerSetActiveScheme", 5);
    EXPECT_EQ(5u, sim.setActive(NULL, &kHigh));
    EXPECT_TRUE(IsEqualGUID(kBalanced, Active()));
    EXPECT_EQ(L"{381B4222-F694-41F0-9685-FF5BB260DF2E}", StoreString(L"applied::scheme"));
    EXPECT_EQ(1u, StoreDword(L"calls::PowerSetActiveScheme"));

    SetEnvironmentVariableW(L"POWERSIM_FAIL_PowerWriteACValueIndex", L"0x1F");
    EXPECT_EQ(31u, sim.writeAc(NULL, &kBalanced, &kSubgroup, &kMinimum, 100));
    EXPECT_EQ(5u, ReadAc(kBalanced));
    SetEnvironmentVariableW(L"POWERSIM_FAIL_PowerWriteACValueIndex", NULL);
    EXPECT_EQ(ERROR_SUCCESS, sim.writeAc(NULL, &kBalanced, &kSubgroup, &kMinimum, 100));

    SetEnvironmentVariableW(L"POWERSIM_FAIL_PowerReadDCValueIndex", L"1234");
    DWORD value = 0xBAD;
    EXPECT_EQ(1234u, sim.readDc(NULL, &kBalanced, &kSubgroup, &kMinimum, &value));
    EXPECT_EQ(0xBADu, value);

    SetEnvironmentVariableW(L"POWERSIM_FAIL_PowerGetActiveScheme", L"120");
    GUID* active = NULL;
    EXPECT_EQ(120u, sim.getActive(NULL, &active));
    EXPECT_EQ(NULL, active);

    PutStoreDword(L"fail::CanUserWritePwrScheme", 5);
    SetLastError(0);
    EXPECT_FALSE(sim.canWrite());
    EXPECT_EQ(5u, GetLastError());
    PutStoreDword(L"fail::CanUserWritePwrScheme", 0);
    EXPECT_TRUE(sim.canWrite());
    SetEnvironmentVariableW(L"POWERSIM_FAIL_CanUserWritePwrScheme", L"1");
    EXPECT_FALSE(sim.canWrite());

    ProcessorPowerInformation info[64];
    PutStoreDword(L"fail::CallNtPowerInformation", 0xC0000001);
    EXPECT_EQ(static_cast<LONG>(0xC0000001), sim.callNt(ProcessorInformation, NULL, 0, info, sizeof(info)));
}

TEST_F(PowerSimTest, CallNtPowerInformationGivesTheSystemsReadings) {
    typedef LONG(WINAPI * Query)(POWER_INFORMATION_LEVEL, PVOID, ULONG, PVOID, ULONG);
    Query ntQuery = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "NtPowerInformation")));
    ASSERT_TRUE(ntQuery);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    ProcessorPowerInformation ours[64], theirs[64];
    memset(ours, 0xAB, sizeof(ours));
    memset(theirs, 0xAB, sizeof(theirs));
    ASSERT_EQ(0, sim.callNt(ProcessorInformation, NULL, 0, ours, sizeof(ours)));
    ASSERT_EQ(0, ntQuery(ProcessorInformation, NULL, 0, theirs, sizeof(theirs)));
    for (DWORD i = 0; i < system.dwNumberOfProcessors; ++i) {
        EXPECT_EQ(i, ours[i].number);
        EXPECT_EQ(theirs[i].maxMhz, ours[i].maxMhz);
        EXPECT_EQ(theirs[i].mhzLimit, ours[i].mhzLimit);
        EXPECT_EQ(theirs[i].maxIdleState, ours[i].maxIdleState);
    }
    // Too small a buffer fails as the system's does.
    EXPECT_EQ(ntQuery(ProcessorInformation, NULL, 0, theirs, 4),
              sim.callNt(ProcessorInformation, NULL, 0, ours, 4));
}

TEST_F(PowerSimTest, VariantLacksOnlyPowerGetActiveScheme) {
    ASSERT_TRUE(sim.getActive);
    FreeLibrary(sim.module);
    sim = PowerSim();
    Load("POWERSIM_NO_GET_ACTIVE_DLL", &sim);
    EXPECT_FALSE(sim.getActive);
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_EQ(5u, ReadAc(kBalanced));
}

TEST_F(PowerSimTest, CtlPresetsActivatesAndDumps) {
    ASSERT_EQ(0u, RunTool("POWERSIM_CTL", L"preset power-saver 40 -"));
    ASSERT_EQ(0u, RunTool("POWERSIM_CTL", L"activate power-saver"));
    ASSERT_EQ(0u, RunTool("POWERSIM_CTL", L"fail PowerWriteDCValueIndex 31"));
    ASSERT_EQ(0u, RunTool("POWERSIM_CTL", L"preset {12345678-1111-2222-0102-030405060708} 7 8"));
    EXPECT_EQ(2u, RunTool("POWERSIM_CTL", L"preset no-such-scheme 1 1"));
    EXPECT_EQ(40u, ReadAc(kSaver));
    EXPECT_EQ(kNotFound, ReadDc(kSaver));
    EXPECT_TRUE(IsEqualGUID(kSaver, Active()));
    std::string dump;
    ASSERT_EQ(0u, RunTool("POWERSIM_CTL", L"dump", &dump));
    EXPECT_EQ("active {A1841308-3541-4FAB-BC81-F71556F20B4A} power-saver\n"
              "scheme {381B4222-F694-41F0-9685-FF5BB260DF2E} balanced ac 5 dc 5\n"
              "scheme {8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C} high-performance ac 100 dc 100\n"
              "scheme {A1841308-3541-4FAB-BC81-F71556F20B4A} power-saver ac 40 dc -\n"
              "applied {A1841308-3541-4FAB-BC81-F71556F20B4A} power-saver ac 40 dc -\n"
              "calls CanUserWritePwrScheme 0\n"
              "calls PowerGetActiveScheme 1\n"
              "calls PowerSetActiveScheme 0\n"
              "calls PowerReadACValueIndex 1\n"
              "calls PowerReadDCValueIndex 1\n"
              "calls PowerWriteACValueIndex 0\n"
              "calls PowerWriteDCValueIndex 0\n"
              "fail CanUserWritePwrScheme 0\n"
              "fail PowerGetActiveScheme 0\n"
              "fail PowerSetActiveScheme 0\n"
              "fail PowerReadACValueIndex 0\n"
              "fail PowerReadDCValueIndex 0\n"
              "fail PowerWriteACValueIndex 0\n"
              "fail PowerWriteDCValueIndex 31\n"
              "fail CallNtPowerInformation 0\n"
              "value {12345678-1111-2222-0102-030405060708} {54533251-82BE-4824-96C1-47B60B740D00} "
              "{893DEE8E-2BEF-41E0-89C6-B55D0929964C} ac 7 dc 8\n",
              dump);
    ASSERT_EQ(0u, RunTool("POWERSIM_CTL", L"reset"));
    EXPECT_TRUE(IsEqualGUID(kBalanced, Active()));
    EXPECT_EQ(5u, ReadAc(kSaver));
    EXPECT_EQ(0xFFFFFFFFu, StoreDword(L"fail::PowerWriteDCValueIndex"));
    EXPECT_EQ(1u, StoreDword(L"calls::PowerGetActiveScheme"));
}

// A program that imports from POWRPROF at load time, run with the override and the stand-in
// beside it, gets the stand-in (Wine's own returns ERROR_CALL_NOT_IMPLEMENTED and counts nothing).
// The override comes from this test's environment: Wine reads it from the Unix environment that
// a child inherits, so the test cannot also show the case without it.
TEST_F(PowerSimTest, ProgramBesideTheStandInGetsIt) {
    EXPECT_EQ(0u, RunTool("POWERSIM_PROBE", L""));
    EXPECT_EQ(1u, StoreDword(L"calls::PowerGetActiveScheme", 0));
    SetEnvironmentVariableW(L"POWERSIM_FAIL_PowerGetActiveScheme", L"1168");
    EXPECT_EQ(1168u, RunTool("POWERSIM_PROBE", L""));
    EXPECT_EQ(2u, StoreDword(L"calls::PowerGetActiveScheme", 0));
}

} // namespace
