#include "app/tray_window.h"

#include <shellapi.h>

#include "app/tray_tip.h"
#include "app/visibility.h"
#include "icon/cell_layout.h"
#include "icon/palette.h"
#include "menu/commands.h"
#include "menu/tray_menu.h"
#include "power/boost.h"
#include "power/power_source.h"

UINT g_terminateMessage;
UINT g_taskbarCreatedMessage;
HICON g_currentTrayIcon;
wchar_t g_currentTrayTip[128];
static_assert(sizeof(g_currentTrayTip) == sizeof(NOTIFYICONDATAW().szTip), "the tip of the V2 structure");

// Since the window or the shell started: whether the shell holds the icon, and whether it took
// the icon's version too. Windows wants NIM_SETVERSION after every NIM_ADD; until then the icon
// sends no WM_CONTEXTMENU or NIN_SELECT, so it takes no clicks.
static bool s_iconAdded;
static bool s_iconVersioned;
static DWORD s_lastSelectTime;   // tick of the last first activation of a pair
static DWORD s_lastButtonUpTime; // tick of the last button release on the icon

// Every tray call names the icon by window and id, never by GUID, with the structure size
// that ends before guidItem, and version 3 so that notifications carry the icon id in wParam
// and the event in lParam.
static void PrepareNotifyData(NOTIFYICONDATAW* data, HWND window) {
    ZeroMemory(data, sizeof(*data));
    data->cbSize = NOTIFYICONDATAW_V2_SIZE;
    data->hWnd = window;
    data->uID = kTrayIconId;
    data->uVersion = NOTIFYICON_VERSION;
}

bool AddTrayIcon(HWND window, HICON icon) {
    NOTIFYICONDATAW data;
    PrepareNotifyData(&data, window);
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = WM_TRAYICON;
    data.hIcon = icon;
    if (g_currentTrayTip[0]) {
        data.uFlags |= NIF_TIP;
        lstrcpynW(data.szTip, g_currentTrayTip, ARRAYSIZE(data.szTip));
    }
    if (!s_iconAdded) {
        // An add that timed out at a busy logon may have landed all the same, and every later
        // add then fails as a duplicate: a modify tells whether the icon is there.
        s_iconAdded = Shell_NotifyIconW(NIM_ADD, &data) || Shell_NotifyIconW(NIM_MODIFY, &data);
        if (!s_iconAdded)
            return false;
        s_iconVersioned = false;
    }
    if (!s_iconVersioned)
        s_iconVersioned = Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
    return s_iconVersioned;
}

void RetryTrayIcon(HWND window) {
    if (!s_iconAdded || !s_iconVersioned)
        AddTrayIcon(window, g_currentTrayIcon);
}

bool UpdateTrayIcon(HWND window, HICON icon) {
    NOTIFYICONDATAW data;
    PrepareNotifyData(&data, window);
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void ShowTrayTip(HWND window, const wchar_t* tip) {
    if (lstrcmpW(tip, g_currentTrayTip) == 0)
        return;
    // Kept even when the shell refuses it: the icon is added with it after a shell restart.
    lstrcpynW(g_currentTrayTip, tip, ARRAYSIZE(g_currentTrayTip));
    NOTIFYICONDATAW data;
    PrepareNotifyData(&data, window);
    data.uFlags = NIF_TIP;
    lstrcpynW(data.szTip, g_currentTrayTip, ARRAYSIZE(data.szTip));
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void ShowTrayIcon(HWND window, HICON icon) {
    UpdateTrayIcon(window, icon);
    if (g_currentTrayIcon)
        DestroyIcon(g_currentTrayIcon);
    g_currentTrayIcon = icon;
}

void RemoveTrayIcon(HWND window) {
    NOTIFYICONDATAW data;
    PrepareNotifyData(&data, window);
    Shell_NotifyIconW(NIM_DELETE, &data);
}

static void ShowContextMenu(HWND window) {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    UINT flags = TPM_RIGHTBUTTON;
    BOOL rightAligned = FALSE;
    if (SystemParametersInfoW(SPI_GETMENUDROPALIGNMENT, 0, &rightAligned, 0) && rightAligned)
        flags |= TPM_RIGHTALIGN;
    // A menu opened right after a button release on the icon came from the mouse; one opened
    // later came from the keyboard, and the focus then goes back to the notification area.
    DWORD elapsed = GetTickCount() - s_lastButtonUpTime;
    SetForegroundWindow(window);
    TrackPopupMenu(g_trayMenu, flags, cursor.x, cursor.y, 0, window, NULL);
    if (elapsed > 100) {
        NOTIFYICONDATAW data;
        PrepareNotifyData(&data, window);
        Shell_NotifyIconW(NIM_SETFOCUS, &data);
    }
    // Makes the menu close properly when the user clicks elsewhere.
    PostMessageW(window, WM_NULL, 0, 0);
}

// Two activations within the double-click time run the menu's default command once; the
// pair is then used up, so a third activation starts a new pair.
static void OnActivation(HWND window) {
    if (GetTickCount() - s_lastSelectTime > GetDoubleClickTime()) {
        s_lastSelectTime = GetTickCount();
        return;
    }
    s_lastSelectTime = GetTickCount() - 1 - GetDoubleClickTime();
    UINT command = GetMenuDefaultItem(g_trayMenu, FALSE, 0);
    if (command == static_cast<UINT>(-1))
        return;
    SetActiveWindow(window);
    TrayWindowProc(window, WM_COMMAND, command, 0);
}

static void OnTrayNotification(HWND window, WPARAM iconId, LPARAM event) {
    if (iconId != kTrayIconId)
        return;
    switch (event) {
    case WM_MOUSEMOVE:
        OnTrayIconPointer(window);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        s_lastButtonUpTime = GetTickCount();
        break;
    case WM_CONTEXTMENU:
        ShowContextMenu(window);
        break;
    case NIN_SELECT:
    case NIN_KEYSELECT:
        OnActivation(window);
        break;
    }
}

// Sleep and resume carry no pointer; a setting's change does. The display going off and coming
// back counts as sleep and resume too: it is all that a machine with Modern Standby tells.
static void OnPowerBroadcast(WPARAM event, const POWERBROADCAST_SETTING* setting) {
    if (event == PBT_APMSUSPEND) {
        OnSystemSuspend();
    } else if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) {
        OnSystemResume();
    } else if (event == PBT_APMPOWERSTATUSCHANGE) {
        FollowPowerSource();
    } else if (event == PBT_POWERSETTINGCHANGE && IsActiveSchemeChange(setting)) {
        CheckBoostInForce();
    } else if (event == PBT_POWERSETTINGCHANGE) {
        const bool displayWasOff = DisplayOff();
        OnPowerSettingChange(setting);
        if (DisplayOff() && !displayWasOff)
            OnSystemSuspend();
        else if (displayWasOff && !DisplayOff())
            OnSystemResume();
    }
}

LRESULT CALLBACK BootstrapWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_NCCREATE)
        return DefWindowProcW(window, message, wParam, lParam);
    // The real procedure comes with the creation parameters, so that one window class serves
    // whichever procedure its creator names.
    WNDPROC procedure = reinterpret_cast<WNDPROC>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetLastError(0);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
    if (GetLastError() != 0)
        return 0;
    return CallWindowProcW(procedure, window, WM_NCCREATE, wParam, lParam);
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        // At logon the program can start before the shell has made its notification area: it
        // then runs without its icon until "TaskbarCreated" or the slow timer adds it. A version
        // refused now is asked for again by the slow timer too.
        s_iconAdded = false;
        AddTrayIcon(window, g_currentTrayIcon);
        return 0;
    case WM_CLOSE:
        // The program's only way to a normal end: wParam becomes the exit code.
        RemoveTrayIcon(window);
        UnregisterVisibilityNotifications(window);
        UnregisterSchemeNotification();
        StopWatchingPowerSource();
        DestroyWindow(window);
        PostQuitMessage(static_cast<int>(wParam));
        return 0;
    case WM_QUERYENDSESSION:
        // The boost is undone before the session may end; the program ends at the query,
        // even if the end of the session is cancelled later.
        ReleaseBoost();
        SendMessageW(window, WM_CLOSE, ERROR_SHUTDOWN_IN_PROGRESS, 0);
        return TRUE;
    case WM_COMMAND:
        return HandleMenuCommand(window, wParam);
    case WM_DEVICECHANGE:
        ComputeCellLayout();
        return 0;
    case WM_SETTINGCHANGE:
        // The taskbar's theme or high contrast: the colours the user has not chosen follow it.
        if (ChangesTaskbarPalette(wParam, lParam))
            ApplyTaskbarPalette();
        return 0;
    case WM_SYSCOLORCHANGE:
        ApplyTaskbarPalette();
        return 0;
    case WM_TRAYICON:
        OnTrayNotification(window, wParam, lParam);
        return 0;
    case WM_WTSSESSION_CHANGE:
        // Locked or disconnected: nobody sees the icon, so it is not painted (the main loop stops
        // its timer).
        OnSessionChange(wParam);
        return 0;
    case VELTRANA_WM_POWERSOURCE:
        FollowPowerSource();
        return 0;
    case WM_POWERBROADCAST:
        OnPowerBroadcast(wParam, reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam));
        return TRUE;
    }
    // A registered message is never 0; the test keeps a failed registration from turning
    // WM_NULL (posted after every context menu) into a quit request.
    if (message == g_terminateMessage && message != 0) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == g_taskbarCreatedMessage && message != 0) {
        s_iconAdded = false; // a new shell holds no icon yet
        AddTrayIcon(window, g_currentTrayIcon);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
