// The POWRPROF functions the program calls, looked up at run time in the system's own
// POWRPROF.dll (never one beside the program): the power-scheme functions the boost uses
// (and the enumeration that tells whether a scheme exists), the processor clocks the icon
// shows, and whether the user may change power schemes; and, where Windows has them, the user's
// power mode of each power source (Windows 11) and the power-setting notifications by callback.
// Every caller goes through this table, so tests fill it with their own functions.
#ifndef VELTRANA_POWER_FUNCTIONS_H
#define VELTRANA_POWER_FUNCTIONS_H

#include <windows.h>
// powrprof.h has no include guard: a file that includes this header must not include it again.
#include <powrprof.h>

typedef DWORD(WINAPI* PowerGetActiveSchemeFn)(HKEY root, GUID** scheme);
typedef DWORD(WINAPI* PowerSetActiveSchemeFn)(HKEY root, const GUID* scheme);
typedef DWORD(WINAPI* PowerWriteValueIndexFn)(HKEY root, const GUID* scheme, const GUID* subgroup,
                                              const GUID* setting, DWORD value);
typedef DWORD(WINAPI* PowerReadValueIndexFn)(HKEY root, const GUID* scheme, const GUID* subgroup,
                                             const GUID* setting, DWORD* value);
typedef DWORD(WINAPI* PowerEnumerateFn)(HKEY root, const GUID* scheme, const GUID* subgroup,
                                        POWER_DATA_ACCESSOR access, ULONG index, UCHAR* buffer, DWORD* size);
typedef LONG(WINAPI* CallNtPowerInformationFn)(POWER_INFORMATION_LEVEL level, PVOID input, ULONG inputLength,
                                               PVOID output, ULONG outputLength);
typedef BOOLEAN(WINAPI* CanUserWritePwrSchemeFn)(void);
// powersetting.h of Windows 11; MinGW's headers lack them.
typedef DWORD(WINAPI* PowerGetUserConfiguredPowerModeFn)(GUID* mode);
typedef DWORD(WINAPI* PowerSetUserConfiguredPowerModeFn)(const GUID* mode);
typedef DWORD(WINAPI* PowerSettingRegisterNotificationFn)(const GUID* setting, DWORD flags, HANDLE recipient,
                                                          PVOID* registration);
typedef DWORD(WINAPI* PowerSettingUnregisterNotificationFn)(PVOID registration);

struct PowerFunctions {
    PowerGetActiveSchemeFn PowerGetActiveScheme;
    PowerSetActiveSchemeFn PowerSetActiveScheme;
    PowerWriteValueIndexFn PowerWriteACValueIndex;
    PowerWriteValueIndexFn PowerWriteDCValueIndex;
    PowerReadValueIndexFn PowerReadACValueIndex;
    PowerReadValueIndexFn PowerReadDCValueIndex;
    PowerEnumerateFn PowerEnumerate;
    CallNtPowerInformationFn CallNtPowerInformation;
    CanUserWritePwrSchemeFn CanUserWritePwrScheme;
    // Optional: null where POWRPROF lacks them. The four mode functions are there all together or
    // not at all.
    PowerGetUserConfiguredPowerModeFn PowerGetUserConfiguredACPowerMode;
    PowerGetUserConfiguredPowerModeFn PowerGetUserConfiguredDCPowerMode;
    PowerSetUserConfiguredPowerModeFn PowerSetUserConfiguredACPowerMode;
    PowerSetUserConfiguredPowerModeFn PowerSetUserConfiguredDCPowerMode;
    PowerSettingRegisterNotificationFn PowerSettingRegisterNotification;
    PowerSettingUnregisterNotificationFn PowerSettingUnregisterNotification;
};

extern PowerFunctions g_power;

// Loads POWRPROF from the system directory and fills the table. On failure returns false
// with the system's last error set (ERROR_PROC_NOT_FOUND for a missing required function).
bool LookupPowerFunctions();

#endif
