// The dialog placement hook on real dialogs of this thread: the one opened with the flag set
// moves to the taskbar's corner of the work area; the others stay where Windows puts them.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <string.h>

#include "app/placement.h"
#include "app/placement_hook.h"
#include "common/flags.h"
#include "seams.h"

namespace {

int s_failingRects; // GetWindowRect calls still to fail

BOOL WINAPI FailingWindowRect(HWND window, LPRECT rect) {
    if (s_failingRects <= 0)
        return REAL(L"user32.dll", GetWindowRect)(window, rect);
    --s_failingRects;
    memset(rect, 0xAB, sizeof(*rect)); // whatever a failing call leaves
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

struct DialogRun {
    RECT placed, nested; // where it and a dialog opened from inside it were once initialised
    bool inner;
};

INT_PTR ShowDialog(DialogRun* run);

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        PostMessageW(dialog, WM_APP, 0, 0); // the hook has run by the time this arrives
        return TRUE;
    }
    if (message != WM_APP)
        return FALSE;
    DialogRun* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
    GetWindowRect(dialog, &run->placed);
    DialogRun inner = {{}, {}, true};
    if (!run->inner && ShowDialog(&inner) == 1)
        run->nested = inner.placed;
    EndDialog(dialog, 1);
    return TRUE;
}

// An empty dialog of 200 x 100 dialog units.
INT_PTR ShowDialog(DialogRun* run) {
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } empty = {};
    empty.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    empty.header.cx = 200;
    empty.header.cy = 100;
    return DialogBoxIndirectParamW(NULL, &empty.header, NULL, DialogProcedure, reinterpret_cast<LPARAM>(run));
}

// Where the hook puts a dialog of this size, from the monitor and taskbar of now.
POINT ExpectedCorner(const RECT& dialog) {
    POINT cursor = {0, 0}, corner;
    GetCursorPos(&cursor);
    MONITORINFO monitor = {sizeof(monitor), {}, {}, 0};
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor);
    APPBARDATA bar = {sizeof(bar), FindWindowW(L"Shell_TrayWnd", NULL), 0, ABE_BOTTOM, {}, 0};
    if (!bar.hWnd || !SHAppBarMessage(ABM_GETTASKBARPOS, &bar))
        bar.uEdge = ABE_BOTTOM;
    const RECT& w = monitor.rcWork;
    PlaceDialog({w.left, w.top, w.right, w.bottom}, bar.uEdge, dialog.right - dialog.left,
                dialog.bottom - dialog.top, reinterpret_cast<int32_t*>(&corner.x),
                reinterpret_cast<int32_t*>(&corner.y));
    return corner;
}

} // namespace

SEAM(GetWindowRect, FailingWindowRect);

TEST(PlacementHook, OnlyTheFlaggedDialogMovesAndOnlyOnce) {
    DialogRun unhooked = {}; // where Windows puts the dialogs
    ASSERT_EQ(1, ShowDialog(&unhooked));
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, DialogPlacementHook, NULL, GetCurrentThreadId());
    ASSERT_TRUE(hook != NULL);
    const struct {
        const char* name;
        bool flagged;
        int failingRects;
        bool moves;
    } cases[] = {
        {"flagged", true, 0, true},
        {"not flagged", false, 0, false},
        {"dialog size unknown", true, 1, false},
    };
    for (const auto& c : cases) {
        g_placeNextDialog = c.flagged;
        s_failingRects = c.failingRects;
        DialogRun run = {};
        ASSERT_EQ(1, ShowDialog(&run));
        EXPECT_FALSE(g_placeNextDialog) << c.name;
        const POINT at =
            c.moves ? ExpectedCorner(run.placed) : POINT{unhooked.placed.left, unhooked.placed.top};
        EXPECT_TRUE(!c.moves || at.x != unhooked.placed.left || at.y != unhooked.placed.top)
            << "Windows puts dialogs in the corner anyway: nothing shown";
        EXPECT_EQ(at.x, run.placed.left) << c.name;
        EXPECT_EQ(at.y, run.placed.top) << c.name;
        EXPECT_EQ(unhooked.placed.right - unhooked.placed.left, run.placed.right - run.placed.left) << c.name;
        EXPECT_EQ(unhooked.placed.bottom - unhooked.placed.top, run.placed.bottom - run.placed.top) << c.name;
        // A dialog opened from inside it stays where Windows puts it.
        EXPECT_EQ(unhooked.nested.left, run.nested.left) << c.name;
        EXPECT_EQ(unhooked.nested.top, run.nested.top) << c.name;
    }
    // Other messages leave the flag for the dialog it was raised for.
    g_placeNextDialog = 1;
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 5, 6, 70, 80, NULL, NULL, NULL, NULL);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
    EXPECT_TRUE(g_placeNextDialog);
    DestroyWindow(window);
    UnhookWindowsHookEx(hook);
    g_placeNextDialog = 0;
}
