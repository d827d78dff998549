// The power source the machine runs on, and Battery Saver, for the boost on battery: the source
// read with CallNtPowerInformation(SystemBatteryState), both watched by POWRPROF's power-setting
// callbacks where Windows has them. A callback only notes what it was told and posts
// VELTRANA_WM_POWERSOURCE to the tray window, which then asks the boost to follow.
#ifndef VELTRANA_POWER_SOURCE_H
#define VELTRANA_POWER_SOURCE_H

#include <windows.h>

// Registers the callbacks of GUID_ACDC_POWER_SOURCE and GUID_POWER_SAVING_STATUS. Windows calls
// each right after the registration with the present value, and again at each change, on a
// thread of its own.
void WatchPowerSource(HWND window);
void StopWatchingPowerSource();

// Whether the machine runs on battery: a battery state without mains power. A machine that cannot
// tell (a failed call) runs on mains.
bool RunsOnBattery();
// Whether Battery Saver is on, as the last callback told (off until one does).
bool BatterySaverOn();

#endif
