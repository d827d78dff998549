// Whether anyone can see the tray icon. Not while the session is locked or disconnected, or
// the display is off: then the icon's timer stops, and nothing is painted for nobody. The
// program starts visible and changes only on an explicit notification from Windows.
#ifndef VELTRANA_VISIBILITY_H
#define VELTRANA_VISIBILITY_H

#include <windows.h>

// Asks for session changes (WM_WTSSESSION_CHANGE) and display changes (WM_POWERBROADCAST).
void RegisterVisibilityNotifications(HWND window);
// The session registration can fail early at logon, just when a program started with Windows
// runs: the slow pass calls this until it has succeeded.
void RetrySessionNotification(HWND window);
// Before the window goes.
void UnregisterVisibilityNotifications(HWND window);

// A notification's effect on visibility. True when the icon became visible or hidden.
bool OnSessionChange(WPARAM event);
bool OnPowerSettingChange(const POWERBROADCAST_SETTING* setting);
bool IconVisible();
bool DisplayOff();

#endif
