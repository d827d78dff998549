// The dialog placement hook on real dialogs of this thread: the one opened with the flag set
// moves to the taskbar's corner of the work area; the others stay where Windows puts them.
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

// Where an empty dialog was once initialised, and where one it opened from inside it was.
struct Placed {
    RECT dialog, nested;
    bool openNested;
};

static Placed ShowDialog(bool openNested) {
    static const struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } kEmpty = {{WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, 200, 100}, 0, 0, 0};
    Placed placed = {{}, {}, openNested};
    DialogBoxIndirectParamW(
        NULL, &kEmpty.header, NULL,
        [](HWND dialog, UINT message, WPARAM, LPARAM lParam) -> INT_PTR {
            if (message == WM_INITDIALOG) // the hook runs after this
                return SetWindowLongPtrW(dialog, DWLP_USER, lParam), PostMessageW(dialog, WM_APP, 0, 0);
            if (message != WM_APP)
                return FALSE;
            Placed* placed = reinterpret_cast<Placed*>(GetWindowLongPtrW(dialog, DWLP_USER));
            GetWindowRect(dialog, &placed->dialog);
            if (placed->openNested)
                placed->nested = ShowDialog(false).dialog;
            return EndDialog(dialog, 1);
        },
        reinterpret_cast<LPARAM>(&placed));
    return placed;
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
    const Placed unhooked = ShowDialog(true); // where Windows puts them
    ASSERT_NE(Text(unhooked.dialog), Corner(unhooked.dialog)) << "the corner would show nothing";
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, DialogPlacementHook, NULL, GetCurrentThreadId());
    const std::tuple<const char*, bool, int> cases[] = {
        // the dialog, whether the flag is set, GetWindowRect calls that fail
        {"flagged", true, 0},
        {"not flagged", false, 0},
        {"flagged, of unknown size", true, 1},
    };
    for (const auto& [name, flagged, failingRects] : cases) {
        g_placeNextDialog = flagged, s_failingRects = failingRects;
        const Placed run = ShowDialog(true);
        // Moved or not, never resized; the dialog opened from inside it stays where Windows puts it.
        EXPECT_EQ(flagged && !failingRects ? Corner(run.dialog) : Text(unhooked.dialog), Text(run.dialog))
            << name;
        EXPECT_EQ(Text(unhooked.nested), Text(run.nested)) << name;
        EXPECT_FALSE(g_placeNextDialog) << name;
    }
    // Other messages leave the flag for the dialog it was raised for.
    g_placeNextDialog = 1;
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 5, 6, 70, 80, NULL, NULL, NULL, NULL);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
    EXPECT_TRUE(g_placeNextDialog);
    DestroyWindow(window), UnhookWindowsHookEx(hook), g_placeNextDialog = 0;
}
