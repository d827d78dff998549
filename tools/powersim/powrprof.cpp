// A stand-in POWRPROF for running the program under Wine, whose own lacks the functions that
// read and write power-scheme values. Loaded in place of Wine's through
// WINEDLLOVERRIDES="powrprof=n,b" from the system folder of the prefix; never shipped.
//
// Every counted call locks the store, counts itself, then checks its fault knob: a faulted call
// returns the knob's code and changes nothing else. State is re-read from the registry at every
// call, so other processes may preset or inspect it at any time.
#include "store.h"

#include <powrprof.h>
#include <string.h>

#ifdef POWERSIM_NO_GET_ACTIVE
// The variant for the start-up test of a system that lacks PowerGetActiveScheme.
#define GET_ACTIVE_EXPORT
#else
#define GET_ACTIVE_EXPORT __declspec(dllexport)
#endif
#ifdef POWERSIM_NO_MODES
// The variant for Windows 10, whose POWRPROF has no power mode functions: GetProcAddress finds none.
#define MODE_EXPORT
#else
#define MODE_EXPORT __declspec(dllexport)
#endif
#define EXPORT __declspec(dllexport)

typedef LONG(WINAPI* NtPowerInformationFunction)(POWER_INFORMATION_LEVEL, PVOID, ULONG, PVOID, ULONG);

static const LONG kStatusNotImplemented = static_cast<LONG>(0xC0000002);
static const LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);

// The battery the stand-in plays, in mWh and mW: 80 % of 50 Wh, charged at 15 W on mains,
// drained at 10 W on battery; the alerts at 3 % and 7 %.
static const DWORD kBatteryCapacity = 50000;
static const DWORD kBatteryRemaining = 40000;
static const LONG kChargeRate = 15000;
static const LONG kDischargeRate = -10000;
static const DWORD kBatteryAlert1 = 1500;
static const DWORD kBatteryAlert2 = 3500;

// PROCESSOR_POWER_INFORMATION, which the headers leave to the DDK.
struct ProcessorRecord {
    ULONG Number, MaxMhz, CurrentMhz, MhzLimit, MaxIdleState, CurrentIdleState;
};

// Opens the store for a counted function; on success the caller closes it.
static DWORD Enter(PowerFunction function, HKEY* store) {
    DWORD result = OpenStore(store);
    if (result != ERROR_SUCCESS)
        return result;
    CountCall(*store, function);
    result = FaultOf(*store, function);
    if (result != ERROR_SUCCESS)
        CloseStore(*store);
    return result;
}

static DWORD ReadValue(PowerFunction function, const wchar_t* which, const GUID* scheme, const GUID* subgroup,
                       const GUID* setting, DWORD* value) {
    HKEY store;
    DWORD result = Enter(function, &store);
    if (result != ERROR_SUCCESS)
        return result;
    if (!scheme || !subgroup || !setting || !value)
        result = ERROR_INVALID_PARAMETER;
    else if (!SchemeExists(store, *scheme))
        result = MissingReadCode(store);
    else
        result = ReadIndex(store, *scheme, *subgroup, *setting, which, value);
    CloseStore(store);
    return result;
}

static DWORD WriteValue(PowerFunction function, const wchar_t* which, const GUID* scheme,
                        const GUID* subgroup, const GUID* setting, DWORD value) {
    HKEY store;
    DWORD result = Enter(function, &store);
    if (result != ERROR_SUCCESS)
        return result;
    if (!scheme || !subgroup || !setting)
        result = ERROR_INVALID_PARAMETER;
    else if (!SchemeExists(store, *scheme))
        result = ERROR_FILE_NOT_FOUND;
    else
        result = WriteIndex(store, *scheme, *subgroup, *setting, which, value);
    CloseStore(store);
    return result;
}

static DWORD GetMode(PowerFunction function, const wchar_t* which, GUID* mode) {
    HKEY store;
    DWORD result = Enter(function, &store);
    if (result != ERROR_SUCCESS)
        return result;
    if (!mode)
        result = ERROR_INVALID_PARAMETER;
    else
        *mode = PowerModeOf(store, which);
    CloseStore(store);
    return result;
}

// Any GUID is taken: the store keeps what the caller set, as a test of an unknown mode needs.
static DWORD SetMode(PowerFunction function, const wchar_t* which, const GUID* mode) {
    HKEY store;
    DWORD result = Enter(function, &store);
    if (result != ERROR_SUCCESS)
        return result;
    result = mode ? SetPowerMode(store, which, *mode) : ERROR_INVALID_PARAMETER;
    CloseStore(store);
    return result;
}

// SYSTEM_BATTERY_STATE of the laptop the store plays: on mains the battery charges, on battery
// it discharges.
static LONG BatteryState(PVOID output, ULONG outputLength) {
    if (!output || outputLength < sizeof(SYSTEM_BATTERY_STATE))
        return kStatusBufferTooSmall;
    const bool battery = OnBattery(NULL);
    SYSTEM_BATTERY_STATE state;
    memset(&state, 0, sizeof(state));
    state.AcOnLine = battery ? FALSE : TRUE;
    state.BatteryPresent = TRUE;
    state.Charging = battery ? FALSE : TRUE;
    state.Discharging = battery ? TRUE : FALSE;
    state.MaxCapacity = kBatteryCapacity;
    state.RemainingCapacity = kBatteryRemaining;
    // Rate is a LONG in a DWORD: negative while discharging.
    state.Rate = static_cast<DWORD>(battery ? kDischargeRate : kChargeRate);
    // Seconds left at the present drain; unknown (-1) on mains.
    state.EstimatedTime =
        battery ? kBatteryRemaining * 3600 / static_cast<DWORD>(-kDischargeRate) : static_cast<DWORD>(-1);
    state.DefaultAlert1 = kBatteryAlert1;
    state.DefaultAlert2 = kBatteryAlert2;
    memcpy(output, &state, sizeof(state));
    return 0;
}

// GUID_POWER_SAVING_STATUS, which the MinGW headers lack, and the callback recipient of
// PowerSettingRegisterNotification (DEVICE_NOTIFY_SUBSCRIBE_PARAMETERS).
static const GUID kPowerSavingStatus = {
    0xE00958C0, 0xC213, 0x4ACE, {0xAC, 0x77, 0xFE, 0xCC, 0xED, 0x2E, 0xEE, 0xA5}};
static const GUID kAcDcPowerSource = {
    0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};
static const DWORD kNotifyCallback = 2; // DEVICE_NOTIFY_CALLBACK
typedef ULONG(CALLBACK* NotifyRoutine)(PVOID context, ULONG type, PVOID setting);
struct SubscribeParameters {
    NotifyRoutine callback;
    PVOID context;
};
// POWERBROADCAST_SETTING with its DWORD of data.
struct SettingBroadcast {
    GUID PowerSetting;
    DWORD DataLength;
    DWORD Data;
};

extern "C" {

EXPORT BOOLEAN WINAPI CanUserWritePwrScheme(VOID) {
    HKEY store;
    DWORD fault = Enter(kCanUserWritePwrScheme, &store);
    if (fault != ERROR_SUCCESS) {
        SetLastError(fault);
        return FALSE;
    }
    CloseStore(store);
    return TRUE;
}

GET_ACTIVE_EXPORT DWORD WINAPI PowerGetActiveScheme(HKEY, GUID** activePolicy) {
    HKEY store;
    DWORD result = Enter(kPowerGetActiveScheme, &store);
    if (result != ERROR_SUCCESS)
        return result;
    GUID active;
    if (!activePolicy) {
        result = ERROR_INVALID_PARAMETER;
    } else if ((result = GetActiveScheme(store, &active)) == ERROR_SUCCESS) {
        // Windows hands out a LocalAlloc block that the caller releases with LocalFree.
        GUID* copy = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
        if (copy) {
            *copy = active;
            *activePolicy = copy;
        } else {
            result = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    CloseStore(store);
    return result;
}

EXPORT DWORD WINAPI PowerSetActiveScheme(HKEY, const GUID* scheme) {
    HKEY store;
    DWORD result = Enter(kPowerSetActiveScheme, &store);
    if (result != ERROR_SUCCESS)
        return result;
    if (!scheme)
        result = ERROR_INVALID_PARAMETER;
    else if (!SchemeExists(store, *scheme))
        result = ERROR_FILE_NOT_FOUND;
    else
        result = ApplyScheme(store, *scheme);
    CloseStore(store);
    return result;
}

EXPORT DWORD WINAPI PowerReadACValueIndex(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                          LPDWORD value) {
    return ReadValue(kPowerReadACValueIndex, L"ac", scheme, subgroup, setting, value);
}

EXPORT DWORD WINAPI PowerReadDCValueIndex(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                          LPDWORD value) {
    return ReadValue(kPowerReadDCValueIndex, L"dc", scheme, subgroup, setting, value);
}

EXPORT DWORD WINAPI PowerWriteACValueIndex(HKEY, const GUID* scheme, const GUID* subgroup,
                                           const GUID* setting, DWORD value) {
    return WriteValue(kPowerWriteACValueIndex, L"ac", scheme, subgroup, setting, value);
}

EXPORT DWORD WINAPI PowerWriteDCValueIndex(HKEY, const GUID* scheme, const GUID* subgroup,
                                           const GUID* setting, DWORD value) {
    return WriteValue(kPowerWriteDCValueIndex, L"dc", scheme, subgroup, setting, value);
}

// Only the schemes themselves (ACCESS_SCHEME), one GUID per index; a null buffer asks for the
// size. ERROR_NO_MORE_ITEMS past the last scheme.
EXPORT DWORD WINAPI PowerEnumerate(HKEY, const GUID* scheme, const GUID* subgroup, POWER_DATA_ACCESSOR access,
                                   ULONG index, UCHAR* buffer, DWORD* bufferSize) {
    HKEY store;
    DWORD result = Enter(kPowerEnumerate, &store);
    if (result != ERROR_SUCCESS)
        return result;
    GUID found;
    if (scheme || subgroup || access != ACCESS_SCHEME || !bufferSize)
        result = ERROR_INVALID_PARAMETER;
    else if ((result = SchemeAt(store, index, &found)) == ERROR_SUCCESS && buffer &&
             *bufferSize < sizeof(GUID))
        result = ERROR_MORE_DATA;
    if (result == ERROR_SUCCESS && buffer)
        memcpy(buffer, &found, sizeof(GUID));
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)
        *bufferSize = sizeof(GUID);
    CloseStore(store);
    return result;
}

MODE_EXPORT DWORD WINAPI PowerGetUserConfiguredACPowerMode(GUID* mode) {
    return GetMode(kPowerGetUserConfiguredACPowerMode, L"ac", mode);
}

MODE_EXPORT DWORD WINAPI PowerGetUserConfiguredDCPowerMode(GUID* mode) {
    return GetMode(kPowerGetUserConfiguredDCPowerMode, L"dc", mode);
}

MODE_EXPORT DWORD WINAPI PowerSetUserConfiguredACPowerMode(const GUID* mode) {
    return SetMode(kPowerSetUserConfiguredACPowerMode, L"ac", mode);
}

MODE_EXPORT DWORD WINAPI PowerSetUserConfiguredDCPowerMode(const GUID* mode) {
    return SetMode(kPowerSetUserConfiguredDCPowerMode, L"dc", mode);
}

// Only callbacks (DEVICE_NOTIFY_CALLBACK): the stand-in plays no services. As Windows documents,
// the callback is invoked right after registration with the setting's current value; for
// GUID_POWER_SAVING_STATUS (1: Battery Saver on) and GUID_ACDC_POWER_SOURCE (0 PoAc, 1 PoDc)
// that value comes from the store. Later changes of the store are not notified, and other
// settings are registered without a callback.
EXPORT DWORD WINAPI PowerSettingRegisterNotification(const GUID* setting, DWORD flags, HANDLE recipient,
                                                     PVOID* registration) {
    HKEY store;
    DWORD result = Enter(kPowerSettingRegisterNotification, &store);
    if (result != ERROR_SUCCESS)
        return result;
    const SubscribeParameters* subscriber = static_cast<const SubscribeParameters*>(recipient);
    SettingBroadcast broadcast;
    bool known = false;
    if (!setting || flags != kNotifyCallback || !subscriber || !subscriber->callback || !registration) {
        result = ERROR_INVALID_PARAMETER;
    } else {
        broadcast.PowerSetting = *setting;
        broadcast.DataLength = sizeof(DWORD);
        if (memcmp(setting, &kPowerSavingStatus, sizeof(GUID)) == 0) {
            broadcast.Data = BatterySaverOn(store) ? 1 : 0;
            known = true;
        } else if (memcmp(setting, &kAcDcPowerSource, sizeof(GUID)) == 0) {
            broadcast.Data = OnBattery(store) ? 1 : 0;
            known = true;
        }
        // The handle is a block of the registration's own, freed at unregistration.
        *registration = LocalAlloc(LMEM_FIXED, sizeof(SubscribeParameters));
        if (*registration)
            memcpy(*registration, subscriber, sizeof(SubscribeParameters));
        else
            result = ERROR_NOT_ENOUGH_MEMORY;
    }
    CloseStore(store);
    if (result == ERROR_SUCCESS && known)
        subscriber->callback(subscriber->context, PBT_POWERSETTINGCHANGE, &broadcast);
    return result;
}

EXPORT DWORD WINAPI PowerSettingUnregisterNotification(PVOID registration) {
    if (!registration)
        return ERROR_INVALID_PARAMETER;
    LocalFree(registration);
    return ERROR_SUCCESS;
}

// The real readings come from ntdll, which is what the system's POWRPROF does too; loading the
// system's POWRPROF instead would find this module again, having the same name. The result is an
// NTSTATUS (a LONG); a fault knob's code is returned as one. Not counted: the program calls it
// 20 times a second, so the store is opened once a call, for both knobs, and without its lock.
// With `installed N` in the store, ProcessorInformation stands for a machine of N processors: as
// on Windows, it wants room for a record of every one and fails with
// STATUS_BUFFER_TOO_SMALL otherwise; past the machine's own processors the records repeat theirs
// with their own numbers. SystemBatteryState answers from the store, as the laptop it plays.
EXPORT LONG WINAPI CallNtPowerInformation(POWER_INFORMATION_LEVEL level, PVOID input, ULONG inputLength,
                                          PVOID output, ULONG outputLength) {
    HKEY knobs = OpenStoreToRead();
    const DWORD fault = FaultOf(knobs, kCallNtPowerInformation); // the environment's too
    const DWORD installed = knobs && level == ProcessorInformation ? InstalledProcessors(knobs) : 0;
    if (knobs)
        RegCloseKey(knobs);
    if (fault)
        return static_cast<LONG>(fault);
    if (level == SystemBatteryState)
        return BatteryState(output, outputLength);
    if (installed && outputLength / sizeof(ProcessorRecord) < installed)
        return kStatusBufferTooSmall;
    HMODULE ntdll = GetModuleHandleW(L"ntdll");
    NtPowerInformationFunction query =
        ntdll ? reinterpret_cast<NtPowerInformationFunction>(
                    reinterpret_cast<void*>(GetProcAddress(ntdll, "NtPowerInformation")))
              : NULL;
    if (!query)
        return kStatusNotImplemented;
    LONG status = query(level, input, inputLength, output, outputLength);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD own = system.dwNumberOfProcessors;
    ProcessorRecord* records = static_cast<ProcessorRecord*>(output);
    for (DWORD i = own; status == 0 && own != 0 && i < installed; ++i) {
        records[i] = records[i % own];
        records[i].Number = i;
    }
    return status;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // At process exit other threads are gone and the handle goes with the process anyway.
    if (reason == DLL_PROCESS_DETACH && !reserved)
        ForgetStoreMutex();
    return TRUE;
}
}
