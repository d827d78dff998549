// The hidden tray window: owner of the notification-area icon and receiver of every message
// the program handles.
#ifndef VELTRANA_TRAY_WINDOW_H
#define VELTRANA_TRAY_WINDOW_H

#include <windows.h>

#include "common/names.h"

#define WM_TRAYICON VELTRANA_WM_TRAYICON // the tray icon's callback message
enum { kTrayIconId = VELTRANA_TRAY_ICON_ID };

extern UINT g_terminateMessage;      // "Quobit::Veltrana::Terminate"
extern UINT g_taskbarCreatedMessage; // "TaskbarCreated"

// The icon the tray shows: the placeholder at start, then each painted icon. Added again
// with it after a shell restart.
extern HICON g_currentTrayIcon;

LRESULT CALLBACK BootstrapWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Adds the icon unless the shell holds it already, then sets its version unless the shell took
// that already; true once both are done.
bool AddTrayIcon(HWND window, HICON icon);
// For the slow timer: adds the current icon, or sets its version, while the shell has not taken
// it yet (a start at logon before the notification area exists, or a refusal after
// "TaskbarCreated").
void RetryTrayIcon(HWND window);
bool UpdateTrayIcon(HWND window, HICON icon);
void RemoveTrayIcon(HWND window);

// The tooltip the shell shows with the icon (NIF_TIP): empty until the first slow pass, then sent
// with every change and whenever the icon is added again.
extern wchar_t g_currentTrayTip[128];
void ShowTrayTip(HWND window, const wchar_t* tip);

// Shows a newly painted icon, then destroys the one it replaces; the new one becomes current
// even when the tray refused it, so that it shows when the icon is next added.
void ShowTrayIcon(HWND window, HICON icon);

#endif
