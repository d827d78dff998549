// The dialog placement hook on real dialogs of this thread: the one opened with the flag set
// moves to the taskbar's corner of the work area; the others stay where Windows puts them. The
// messages a dialog gets before WM_INITDIALOG (WM_CREATE, WM_SETFONT, ...) go through the hook
// too, so the flagged dialog moving also shows that other messages leave the flag alone.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include "app/placement.h"
#include "app/placement_hook.h"
#include "common/flags.h"
#include "seams.h"

static int s_failingRects; // GetWindowRect calls still to fail

static BOOL WINAPI FailingWindowRect(HWND window, LPRECT rect) {
    if (s_failingRects-- <= 0)
        return REAL(L"user32.dll", GetWindowRect)(window, rect);
    memset(rect, 0xAB, sizeof(*rect)); // whatever a failing call leaves
    return SetLastError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
}
SEAM(GetWindowRect, FailingWindowRect);

// Shows an empty dialog and returns where it was once initialised; one opened from inside it,
// where asked, stores where it was in *nested.
static RECT ShowDialog(RECT* nested) {
    static const struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } kEmpty = {{WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, 200, 100}, 0, 0, 0};
    std::pair<RECT, RECT*> run = {{}, nested};
    DialogBoxIndirectParamW(
        NULL, &kEmpty.header, NULL,
        [](HWND dialog, UINT message, WPARAM, LPARAM lParam) -> INT_PTR {
            if (message == WM_INITDIALOG) // the hook runs after this
                return SetWindowLongPtrW(dialog, DWLP_USER, lParam), PostMessageW(dialog, WM_APP, 0, 0);
            if (message != WM_APP)
                return FALSE;
            auto* run = reinterpret_cast<std::pair<RECT, RECT*>*>(GetWindowLongPtrW(dialog, DWLP_USER));
            GetWindowRect(dialog, &run->first);
            if (run->second)
                *run->second = ShowDialog(NULL);
            return EndDialog(dialog, 1);
        },
        reinterpret_cast<LPARAM>(&run));
    return run.first;
}

static std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
           "x" + std::to_string(r.bottom - r.top);
}

// Where the hook puts this dialog, from the monitor and the taskbar of now.
static std::string Corner(const RECT& dialog) {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    MONITORINFO monitor = {sizeof(monitor), {}, {}, 0};
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor);
    APPBARDATA bar = {sizeof(bar), FindWindowW(L"Shell_TrayWnd", NULL), 0, ABE_BOTTOM, {}, 0};
    if (!bar.hWnd || !SHAppBarMessage(ABM_GETTASKBARPOS, &bar))
        bar.uEdge = ABE_BOTTOM;
    const RECT& w = monitor.rcWork;
    int32_t x, y;
    PlaceDialog({w.left, w.top, w.right, w.bottom}, bar.uEdge, dialog.right - dialog.left,
                dialog.bottom - dialog.top, &x, &y);
    return Text({x, y, x + dialog.right - dialog.left, y + dialog.bottom - dialog.top});
}

TEST(PlacementHook, OnlyTheFlaggedDialogMovesAndOnlyOnce) {
    RECT windowsNested, windows = ShowDialog(&windowsNested); // where Windows puts them
    ASSERT_NE(Text(windows), Corner(windows)) << "the corner would show nothing";
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, DialogPlacementHook, NULL, GetCurrentThreadId());
    // The dialog, whether the flag is set, and how many GetWindowRect calls fail.
    const std::tuple<const char*, bool, int> cases[] = {
        {"flagged", true, 0}, {"not flagged", false, 0}, {"flagged, of unknown size", true, 1}};
    for (const auto& [name, flagged, failingRects] : cases) {
        g_placeNextDialog = flagged;
        s_failingRects = failingRects;
        RECT nested, dialog = ShowDialog(&nested);
        // Moved or not, never resized; the dialog opened from inside it stays where Windows puts it.
        EXPECT_EQ(flagged && !failingRects ? Corner(dialog) : Text(windows), Text(dialog)) << name;
        EXPECT_EQ(Text(windowsNested), Text(nested)) << name;
        EXPECT_FALSE(g_placeNextDialog) << name;
    }
    UnhookWindowsHookEx(hook);
    g_placeNextDialog = 0;
}
