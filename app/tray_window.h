// The hidden tray window: owner of the notification-area icon and receiver of every message
// the program handles.
#ifndef VELTRANA_TRAY_WINDOW_H
#define VELTRANA_TRAY_WINDOW_H

#include <windows.h>

#define WM_TRAYICON WM_APP // the tray icon's callback message
enum { kTrayIconId = 1 };

extern UINT g_terminateMessage;      // "Quobit::Veltrana::Terminate"
extern UINT g_taskbarCreatedMessage; // "TaskbarCreated"

LRESULT CALLBACK BootstrapWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool AddTrayIcon(HWND window, HICON icon);
bool UpdateTrayIcon(HWND window, HICON icon);
void RemoveTrayIcon(HWND window);

#endif
