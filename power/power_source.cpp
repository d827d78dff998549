#include "power/power_source.h"

#include "common/names.h"
#include "power/power_functions.h"

// {5D3E9A59-E9D5-4B00-A6BD-FF34FF516548}: GUID_ACDC_POWER_SOURCE.
static const GUID kPowerSourceSetting = {
    0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};
// {E00958C0-C213-4ACE-AC77-FECCED2EEEA5}: GUID_POWER_SAVING_STATUS, 1 while Battery Saver is on.
static const GUID kBatterySaverSetting = {
    0xE00958C0, 0xC213, 0x4ACE, {0xAC, 0x77, 0xFE, 0xCC, 0xED, 0x2E, 0xEE, 0xA5}};
enum : DWORD { kNotifyByCallback = 2 }; // DEVICE_NOTIFY_CALLBACK

// DEVICE_NOTIFY_SUBSCRIBE_PARAMETERS, which MinGW's headers lack.
struct Subscriber {
    ULONG(CALLBACK* callback)(PVOID context, ULONG type, PVOID setting);
    PVOID context;
};

static HWND s_window;
static volatile LONG s_saverOn;
static PVOID s_registrations[2];

static ULONG CALLBACK OnPowerSetting(PVOID, ULONG type, PVOID setting) {
    const POWERBROADCAST_SETTING* changed = static_cast<const POWERBROADCAST_SETTING*>(setting);
    if (type != PBT_POWERSETTINGCHANGE || !changed)
        return ERROR_SUCCESS;
    if (IsEqualGUID(changed->PowerSetting, kBatterySaverSetting) && changed->DataLength >= sizeof(DWORD))
        InterlockedExchange(&s_saverOn, *reinterpret_cast<const DWORD*>(changed->Data) != 0);
    PostMessageW(s_window, VELTRANA_WM_POWERSOURCE, 0, 0);
    return ERROR_SUCCESS;
}

void WatchPowerSource(HWND window) {
    static const Subscriber kSubscriber = {OnPowerSetting, NULL};
    static const GUID* const kSettings[] = {&kPowerSourceSetting, &kBatterySaverSetting};
    s_window = window;
    if (!g_power.PowerSettingRegisterNotification)
        return;
    for (int i = 0; i < 2; ++i) {
        if (g_power.PowerSettingRegisterNotification(kSettings[i], kNotifyByCallback,
                                                     const_cast<Subscriber*>(&kSubscriber),
                                                     &s_registrations[i]) != ERROR_SUCCESS)
            s_registrations[i] = NULL;
    }
}

void StopWatchingPowerSource() {
    for (PVOID& registration : s_registrations) {
        if (registration)
            g_power.PowerSettingUnregisterNotification(registration);
        registration = NULL;
    }
}

bool RunsOnBattery() {
    SYSTEM_BATTERY_STATE state;
    return g_power.CallNtPowerInformation(SystemBatteryState, NULL, 0, &state, sizeof(state)) == 0 &&
           !state.AcOnLine;
}

bool BatterySaverOn() {
    return s_saverOn != 0;
}
