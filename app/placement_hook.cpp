#include "app/placement_hook.h"

#include <shellapi.h>

#include "app/placement.h"
#include "common/flags.h"

// Runs after a window procedure of this thread has handled a sent message, so a dialog that
// places itself in WM_INITDIALOG is already placed and this placement wins. The hook's
// wParam (whether the message came from this process) is not looked at: the dialogs to
// place are created by this very thread, which makes it non-zero for exactly them.
LRESULT CALLBACK DialogPlacementHook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_placeNextDialog && call->message == WM_INITDIALOG) {
        POINT cursor = {0, 0};
        GetCursorPos(&cursor);
        MONITORINFO monitor;
        monitor.cbSize = sizeof(monitor);
        RECT dialog;
        // Without the monitor or the dialog's size there is nothing sound to move it to.
        if (GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor) &&
            GetWindowRect(call->hwnd, &dialog)) {
            UINT edge = ABE_BOTTOM;
            HWND taskbar = FindWindowW(L"Shell_TrayWnd", NULL);
            if (taskbar) {
                APPBARDATA bar;
                ZeroMemory(&bar, sizeof(bar));
                bar.cbSize = sizeof(bar);
                bar.hWnd = taskbar;
                if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar))
                    edge = bar.uEdge;
            }
            OffsetRect(&dialog, -dialog.left, -dialog.top);
            PlacementRect work = {monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right,
                                  monitor.rcWork.bottom};
            int32_t x, y;
            PlaceDialog(work, edge, dialog.right, dialog.bottom, &x, &y);
            MoveWindow(call->hwnd, x, y, dialog.right, dialog.bottom, TRUE);
        }
        // Used up even when the monitor was unknown: a dialog opened from inside this one
        // stays where Windows puts it.
        g_placeNextDialog = 0;
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
