// The simulated power manager's state. It lives in the registry of the Wine prefix, under
// HKEY_LOCAL_MACHINE\Software\PowerSim (always the 64-bit view), so that every process of the
// prefix sees the same schemes, counts and faults: the program, its tests and powersim-ctl.
//
//   active              REG_SZ     the active scheme, "{GUID}"
//   applied::scheme     REG_SZ     the scheme in force: the one last activated
//   applied::ac/dc      REG_DWORD  its minimum processor state when it was activated (absent: none)
//   applied::ac1/dc1    REG_DWORD  its minimum processor state of efficiency class 1 then (absent: none)
//   calls::<function>   REG_DWORD  calls of each counted function since the last reset (the
//                                  POWRPROF functions but CallNtPowerInformation, and
//                                  PdhCollectQueryData)
//   fail::<function>    REG_DWORD  fault knob: the function fails with this code (0: no fault)
//   missing::read       REG_DWORD  what PowerRead*ValueIndex return for a scheme that does not
//                                  exist (absent: ERROR_FILE_NOT_FOUND); Windows documents no code
//   schemes\{scheme}\{subgroup}\{setting}   ac, dc   REG_DWORD value indices; the minimum
//                                  processor state of class 1 is a setting of its own, absent
//                                  from the defaults (a read of it then gives ERROR_FILE_NOT_FOUND)
//
// A fault can also be set with the environment variable POWERSIM_FAIL_<function>; a non-zero
// value there wins over the registry. Every access holds the named mutex "PowerSim::Store".
//   pdh::performance    REG_SZ     the stand-in pdh.dll's "% Processor Performance" of each
//                                  processor, e.g. "50 100" (absent: every processor at 100)
//   pdh::since          REG_QWORD  when it was set (GetSystemTimeAsFileTime; absent: always)
//   pdh::earlier        REG_MULTI_SZ  the settings it replaced, newest first, at most
//                                  kEarlierPerformance, each "SINCE P0 P1 ..." (SINCE in decimal)
//   pdh::jitter         REG_DWORD  1: each collection moves every value by 0.5, up and down in
//                                  turn, for a benchmark of a live counter (absent: off)
//   pdh::nodes          REG_SZ     the NUMA node of each processor, e.g. "0 1", which names its
//                                  instance "N,K" (absent: every processor in node 0)
//   installed           REG_DWORD  the processors installed in every group: CallNtPowerInformation
//                                  (ProcessorInformation) wants and fills one record for each
//                                  (absent: the machine's own)
//   mode::ac, mode::dc  REG_SZ     the user's power mode of each power source, "{GUID}" (absent:
//                                  Balanced, the zero GUID)
//   source              REG_DWORD  the power source: 1 on battery (dc), absent or 0 on mains (ac)
//   saver               REG_DWORD  1: Battery Saver is on (absent: off)
#ifndef POWERSIM_STORE_H
#define POWERSIM_STORE_H

#include <windows.h>

enum PowerFunction {
    kCanUserWritePwrScheme,
    kPowerGetActiveScheme,
    kPowerSetActiveScheme,
    kPowerReadACValueIndex,
    kPowerReadDCValueIndex,
    kPowerWriteACValueIndex,
    kPowerWriteDCValueIndex,
    kPowerEnumerate,
    // Windows 11's power mode of each power source; a system without them lacks the exports.
    kPowerGetUserConfiguredACPowerMode,
    kPowerGetUserConfiguredDCPowerMode,
    kPowerSetUserConfiguredACPowerMode,
    kPowerSetUserConfiguredDCPowerMode,
    // Answers GUID_POWER_SAVING_STATUS and GUID_ACDC_POWER_SOURCE from the store at registration.
    kPowerSettingRegisterNotification,
    kCallNtPowerInformation, // has a fault knob, but is not counted: the program calls it 20 times a second
    // The stand-in pdh.dll's functions: fault knobs; only collections are counted, one per reading.
    kPdhAddEnglishCounterW,
    kPdhCollectQueryData,
    kPdhGetFormattedCounterArrayW,
    kPowerFunctionCount
};
// Whether the store counts the function's calls (calls::<function>).
bool IsCounted(PowerFunction function);
// In the order of PowerFunction, one for each (store.cpp checks the count).
extern const wchar_t* const kPowerFunctionNames[];

struct SchemeDefault {
    const GUID* guid;
    const wchar_t* name;
    DWORD ac;
    DWORD dc;
};
const int kSchemeCount = 3;
extern const SchemeDefault kSchemes[kSchemeCount];

extern const GUID kBalancedScheme;
extern const GUID kHighPerformanceScheme;
extern const GUID kPowerSaverScheme;
extern const GUID kProcessorSubgroup;
extern const GUID kThrottleMinimum;
// The minimum processor state of efficiency class 1, the fast cores of a hybrid processor.
extern const GUID kThrottleMinimum1;

// Locks the store and opens its key, writing the defaults when it has none yet.
DWORD OpenStore(HKEY* store);
void CloseStore(HKEY store);
// The store's key for reading knobs, without the lock (each value is read whole); null where
// there is no store yet. Closed with RegCloseKey.
HKEY OpenStoreToRead();
// Closes the process's handle of the store mutex; for DLL unload.
void ForgetStoreMutex();

// Removes every value and key of the store (schemes, counts, knobs) and writes the defaults.
DWORD ResetStore();

// The fault knob of a function: the environment first, then the store (opened for the query
// when store is null). 0 when no fault is set.
DWORD FaultOf(HKEY store, PowerFunction function);
DWORD CallsOf(HKEY store, PowerFunction function);
void CountCall(HKEY store, PowerFunction function);
DWORD SetFault(HKEY store, PowerFunction function, DWORD code);
DWORD ClearCalls(HKEY store);

bool SchemeExists(HKEY store, const GUID& scheme);
// The installed processors that CallNtPowerInformation stands for (the store is opened for the
// query when it is null); 0 when the machine's own count stands. SetInstalledProcessors(0) removes it.
DWORD InstalledProcessors(HKEY store);
DWORD SetInstalledProcessors(HKEY store, DWORD count);

// The index-th scheme in the store's order. ERROR_NO_MORE_ITEMS past the last one.
DWORD SchemeAt(HKEY store, DWORD index, GUID* scheme);
// What a read of a scheme that does not exist returns: the knob missing::read, or
// ERROR_FILE_NOT_FOUND. SetMissingReadCode(0) puts the default back.
DWORD MissingReadCode(HKEY store);
DWORD SetMissingReadCode(HKEY store, DWORD code);
// which is L"ac" or L"dc". ERROR_FILE_NOT_FOUND when the value was never set.
DWORD ReadIndex(HKEY store, const GUID& scheme, const GUID& subgroup, const GUID& setting,
                const wchar_t* which, DWORD* value);
DWORD WriteIndex(HKEY store, const GUID& scheme, const GUID& subgroup, const GUID& setting,
                 const wchar_t* which, DWORD value);
DWORD DeleteIndex(HKEY store, const GUID& scheme, const GUID& subgroup, const GUID& setting,
                  const wchar_t* which);

DWORD GetActiveScheme(HKEY store, GUID* scheme);
// Removes a scheme with all its values, as a machine without it has none.
DWORD RemoveScheme(HKEY store, const GUID& scheme);
// Makes the scheme active and in force, recording its minimum processor states (classes 0 and
// 1) as applied.
DWORD ApplyScheme(HKEY store, const GUID& scheme);

// The power modes of Windows 11: Best power efficiency, Balanced (the zero GUID, the default)
// and Best performance.
extern const GUID kModeBestEfficiency;
extern const GUID kModeBalanced;
extern const GUID kModeBestPerformance;
struct PowerModeName {
    const GUID* guid;
    const wchar_t* name;
};
const int kModeCount = 3;
extern const PowerModeName kModes[kModeCount];
// The mode's short name ("balanced", ...), or null for a GUID of no known mode.
const wchar_t* ModeName(const GUID& mode);
// which is L"ac" or L"dc". The mode of that power source; Balanced when none was set.
GUID PowerModeOf(HKEY store, const wchar_t* which);
DWORD SetPowerMode(HKEY store, const wchar_t* which, const GUID& mode);
// The power source (false: mains, ac; true: battery, dc) and Battery Saver; the store is opened
// for the query when it is null.
bool OnBattery(HKEY store);
DWORD SetOnBattery(HKEY store, bool battery);
bool BatterySaverOn(HKEY store);
DWORD SetBatterySaver(HKEY store, bool on);

// The stand-in PDH's performance: the setting in force and the ones before it, so that a
// collection can average over its interval.
const int kEarlierPerformance = 8;
const int kPerformanceText = 512;
struct PerformanceSetting {
    ULONGLONG since;                  // a FILETIME as 100-ns units; 0: since always
    wchar_t values[kPerformanceText]; // "P0 P1 ..."; empty: every processor at 100
};
// Makes `values` (null: none, every processor at 100) the setting in force from now on; the one
// it replaces becomes the newest earlier one.
DWORD SetPerformance(HKEY store, const wchar_t* values);
// The setting in force, then the earlier ones, newest first: how many (1 to capacity).
int ReadPerformance(HKEY store, PerformanceSetting* settings, int capacity);
// Whether each collection moves every value by 0.5, up and down in turn (pdh::jitter).
bool PerformanceJitter(HKEY store);
DWORD SetPerformanceJitter(HKEY store, bool on);
// GetSystemTimeAsFileTime as one number, the clock every process of the machine shares.
ULONGLONG SystemTimeNow();

// Reads a REG_SZ "{GUID}" value of a key; false when absent or malformed.
bool ReadGuidValue(HKEY key, const wchar_t* name, GUID* guid);
bool ReadDwordValue(HKEY key, const wchar_t* name, DWORD* value);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, 38 characters and a terminator.
const int kGuidTextLength = 39;
void FormatGuid(const GUID& guid, wchar_t* text);
bool ParseGuid(const wchar_t* text, GUID* guid);
// The scheme's short name ("balanced", ...), or null for a scheme of no default.
const wchar_t* SchemeName(const GUID& scheme);

#endif
