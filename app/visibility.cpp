#include "app/visibility.h"

#include <wtsapi32.h>

#include "common/system_library.h"

namespace {

// {2B84C20E-AD23-4DDF-93DB-05FFBD7EFCA5}: the session's display, remote ones included
// (Windows 8 on); {02731015-4510-4526-99E6-E5A17EBD1AEA}: the console's monitor, before.
const GUID kSessionDisplayStatus = {
    0x2B84C20E, 0xAD23, 0x4DDF, {0x93, 0xDB, 0x05, 0xFF, 0xBD, 0x7E, 0xFC, 0xA5}};
const GUID kMonitorPowerOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
const DWORD kDisplayOff = 0; // 1 is on, 2 dimmed: a dimmed display is still seen

struct SessionFunctions {
    decltype(&WTSRegisterSessionNotification) registerFor;
    decltype(&WTSUnRegisterSessionNotification) unregister;
};

SessionFunctions s_wts;
bool s_wtsLooked;
bool s_sessionRegistered;
HPOWERNOTIFY s_displayNotification;
bool s_locked, s_disconnected, s_displayOff;

bool WindowsEightOrLater() {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = 6;
    version.dwMinorVersion = 2;
    DWORDLONG condition = VerSetConditionMask(VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL),
                                              VER_MINORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, condition) != FALSE;
}

// wtsapi32 is not a KnownDLL: from the system directory only, at run time.
bool LookUpSessionFunctions() {
    if (!s_wtsLooked) {
        s_wtsLooked = true;
        HMODULE wtsapi = LoadSystemLibrary(L"wtsapi32.dll");
        if (!FindFunction(wtsapi, "WTSRegisterSessionNotification", &s_wts.registerFor) ||
            !FindFunction(wtsapi, "WTSUnRegisterSessionNotification", &s_wts.unregister))
            s_wts.registerFor = NULL;
    }
    return s_wts.registerFor != NULL;
}

} // namespace

void RegisterVisibilityNotifications(HWND window) {
    RetrySessionNotification(window);
    s_displayNotification = RegisterPowerSettingNotification(
        window, WindowsEightOrLater() ? &kSessionDisplayStatus : &kMonitorPowerOn,
        DEVICE_NOTIFY_WINDOW_HANDLE);
}

void RetrySessionNotification(HWND window) {
    if (!s_sessionRegistered && LookUpSessionFunctions())
        s_sessionRegistered = s_wts.registerFor(window, NOTIFY_FOR_THIS_SESSION) != FALSE;
}

void UnregisterVisibilityNotifications(HWND window) {
    if (s_sessionRegistered)
        s_wts.unregister(window);
    s_sessionRegistered = false;
    if (s_displayNotification)
        UnregisterPowerSettingNotification(s_displayNotification);
    s_displayNotification = NULL;
}

bool IconVisible() {
    return !s_locked && !s_disconnected && !s_displayOff;
}

bool DisplayOff() {
    return s_displayOff;
}

bool OnSessionChange(WPARAM event) {
    const bool before = IconVisible();
    switch (event) {
    case WTS_SESSION_LOCK:
        s_locked = true;
        break;
    case WTS_SESSION_UNLOCK:
        s_locked = false;
        break;
    case WTS_CONSOLE_DISCONNECT:
    case WTS_REMOTE_DISCONNECT:
        s_disconnected = true;
        break;
    case WTS_CONSOLE_CONNECT:
    case WTS_REMOTE_CONNECT:
        s_disconnected = false;
        break;
    }
    return IconVisible() != before;
}

bool OnPowerSettingChange(const POWERBROADCAST_SETTING* setting) {
    const bool before = IconVisible();
    if (setting && setting->DataLength >= sizeof(DWORD) &&
        (IsEqualGUID(setting->PowerSetting, kSessionDisplayStatus) ||
         IsEqualGUID(setting->PowerSetting, kMonitorPowerOn))) {
        DWORD state;
        CopyMemory(&state, setting->Data, sizeof(state));
        s_displayOff = state == kDisplayOff;
    }
    return IconVisible() != before;
}
