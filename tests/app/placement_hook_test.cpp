// The dialog placement hook on real dialogs of this thread: the one opened with the flag set
// moves to the taskbar's corner of the work area; others stay where Windows puts them.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include "app/placement.h"
#include "app/placement_hook.h"

namespace {

struct DialogRun {
    RECT placed; // where the dialog was after its initialisation
    RECT nested; // a dialog opened from inside it, if asked for
    bool openNested;
};

// A dialog template of 200 x 100 dialog units with no controls.
struct EmptyDialog {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
};

INT_PTR ShowDialog(DialogRun* run);

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        PostMessageW(dialog, WM_APP, 0, 0); // the hook has run by the time this arrives
        return TRUE;
    }
    if (message == WM_APP) {
        DialogRun* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
        GetWindowRect(dialog, &run->placed);
        if (run->openNested) {
            DialogRun inner = {};
            ShowDialog(&inner);
            run->nested = inner.placed;
        }
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

INT_PTR ShowDialog(DialogRun* run) {
    EmptyDialog empty = {};
    empty.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    empty.header.cx = 200;
    empty.header.cy = 100;
    return DialogBoxIndirectParamW(GetModuleHandleW(NULL), &empty.header, NULL, DialogProcedure,
                                   reinterpret_cast<LPARAM>(run));
}

class PlacementHookTest : public ::testing::Test {
  protected:
    HHOOK hook = NULL;
    void SetUp() override {
        hook = SetWindowsHookExW(WH_CALLWNDPROCRET, DialogPlacementHook, NULL, GetCurrentThreadId());
        ASSERT_TRUE(hook != NULL);
        g_placeNextDialog = 0;
    }
    void TearDown() override { UnhookWindowsHookEx(hook); }

    // Where the hook should put a dialog of this size, from the monitor and taskbar of now.
    static POINT ExpectedCorner(const RECT& dialog) {
        POINT cursor = {0, 0};
        GetCursorPos(&cursor);
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor);
        UINT edge = ABE_BOTTOM;
        APPBARDATA bar = {};
        bar.cbSize = sizeof(bar);
        bar.hWnd = FindWindowW(L"Shell_TrayWnd", NULL);
        if (bar.hWnd && SHAppBarMessage(ABM_GETTASKBARPOS, &bar))
            edge = bar.uEdge;
        PlacementRect work = {monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right,
                              monitor.rcWork.bottom};
        POINT corner;
        PlaceDialog(work, edge, dialog.right - dialog.left, dialog.bottom - dialog.top,
                    reinterpret_cast<int32_t*>(&corner.x), reinterpret_cast<int32_t*>(&corner.y));
        return corner;
    }
};

TEST_F(PlacementHookTest, FlaggedDialogMovesOnceAndClearsTheFlag) {
    DialogRun unflagged = {};
    ASSERT_EQ(1, ShowDialog(&unflagged));

    g_placeNextDialog = 1;
    DialogRun flagged = {};
    flagged.openNested = true;
    ASSERT_EQ(1, ShowDialog(&flagged));
    EXPECT_FALSE(g_placeNextDialog);
    POINT corner = ExpectedCorner(flagged.placed);
    EXPECT_EQ(corner.x, flagged.placed.left);
    EXPECT_EQ(corner.y, flagged.placed.top);
    // Moved, not resized.
    EXPECT_EQ(unflagged.placed.right - unflagged.placed.left, flagged.placed.right - flagged.placed.left);
    EXPECT_EQ(unflagged.placed.bottom - unflagged.placed.top, flagged.placed.bottom - flagged.placed.top);
    EXPECT_TRUE(corner.x != unflagged.placed.left || corner.y != unflagged.placed.top)
        << "the corner is where Windows puts dialogs anyway: nothing shown";

    // The dialog opened from inside the placed one stays where Windows puts it.
    EXPECT_EQ(unflagged.placed.left, flagged.nested.left);
    EXPECT_EQ(unflagged.placed.top, flagged.nested.top);
}

TEST_F(PlacementHookTest, DialogsWithTheFlagClearStayPut) {
    UnhookWindowsHookEx(hook);
    DialogRun unhooked = {};
    ShowDialog(&unhooked);
    hook = SetWindowsHookExW(WH_CALLWNDPROCRET, DialogPlacementHook, NULL, GetCurrentThreadId());
    DialogRun hooked = {};
    ShowDialog(&hooked);
    EXPECT_EQ(unhooked.placed.left, hooked.placed.left);
    EXPECT_EQ(unhooked.placed.top, hooked.placed.top);
}

TEST_F(PlacementHookTest, OtherMessagesLeaveTheFlagSet) {
    g_placeNextDialog = 1;
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 5, 6, 70, 80, NULL, NULL, NULL, NULL);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
    SendMessageW(window, WM_SIZE, 0, 0);
    EXPECT_TRUE(g_placeNextDialog);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(5, rect.left);
    DestroyWindow(window);
    g_placeNextDialog = 0;
}

} // namespace
