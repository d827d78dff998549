// The tray window's messages, with the shell, the popup menu, the clock and the cursor
// replaced by recording seams: what goes to the notification area, and when.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tray_window.h"
#include "icon/cell_layout.h"
#include "icon/renderer.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "power/boost.h"
#include "power/power_functions.h"
#include "recording_power.h"
#include "settings/settings.h"

namespace {

struct ShellCall {
    DWORD action;
    NOTIFYICONDATAW data;
};
std::vector<ShellCall> s_shell;
DWORD s_failAction = 0xFFFFFFFF; // the Shell_NotifyIconW action that fails
struct MenuCall {
    HMENU menu;
    UINT flags;
    int x, y;
    size_t shellCallsBefore;
};
std::vector<MenuCall> s_menus;
DWORD s_now = 100000;
BOOL s_rightAligned;

BOOL WINAPI FakeShellNotifyIcon(DWORD action, PNOTIFYICONDATAW data) {
    s_shell.push_back({action, *data});
    if (action == s_failAction) {
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FakeTrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND, const RECT*) {
    s_menus.push_back({menu, flags, x, y, s_shell.size()});
    return TRUE;
}

DWORD WINAPI FakeGetTickCount() {
    return s_now;
}

BOOL WINAPI FakeGetCursorPos(POINT* point) {
    point->x = 321;
    point->y = 654;
    return TRUE;
}

BOOL WINAPI FakeSystemParametersInfo(UINT action, UINT param, void* value, UINT flags) {
    if (action == SPI_GETMENUDROPALIGNMENT) {
        *static_cast<BOOL*>(value) = s_rightAligned;
        return TRUE;
    }
    // This file's own SystemParametersInfoW would come back here: call the system's.
    static auto real = reinterpret_cast<BOOL(WINAPI*)(UINT, UINT, void*, UINT)>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32"), "SystemParametersInfoW")));
    return real(action, param, value, flags);
}

} // namespace

extern "C" {
void* __imp_Shell_NotifyIconW = reinterpret_cast<void*>(&FakeShellNotifyIcon);
void* __imp_TrackPopupMenu = reinterpret_cast<void*>(&FakeTrackPopupMenu);
void* __imp_GetTickCount = reinterpret_cast<void*>(&FakeGetTickCount);
void* __imp_GetCursorPos = reinterpret_cast<void*>(&FakeGetCursorPos);
void* __imp_SystemParametersInfoW = reinterpret_cast<void*>(&FakeSystemParametersInfo);
BOOLEAN WINAPI CanUserWritePwrScheme(void) {
    return TRUE;
}
}

namespace {

class TrayWindowTest : public ::testing::Test {
  protected:
    HWND window = NULL;

    static void SetUpTestSuite() {
        g_terminateMessage = RegisterWindowMessageW(L"Quobit::Veltrana::Terminate");
        g_taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = BootstrapWindowProc;
        windowClass.hInstance = GetModuleHandleW(NULL);
        windowClass.lpszClassName = L"BLANK";
        ASSERT_NE(0, RegisterClassW(&windowClass));
    }

    void SetUp() override {
        s_shell.clear();
        s_menus.clear();
        s_failAction = 0xFFFFFFFF;
        s_rightAligned = FALSE;
        UseRecordingPowerManager();
        g_boostMethod = 0;
        g_trayMenu = LoadTrayMenu();
        ASSERT_TRUE(g_trayMenu != NULL);
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
        g_lastModeCommand = IDM_AUTOMATIC;
        RefreshTrayMenu();
        g_currentTrayIcon = LoadIconW(NULL, IDI_APPLICATION);
    }

    void TearDown() override {
        if (window && IsWindow(window))
            DestroyWindow(window);
        ReleaseBoost();
        DestroyMenu(g_trayMenu);
        g_trayMenu = NULL;
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        }
    }

    HWND Create() {
        return CreateWindowExW(0, L"BLANK", L"", 0, 0, 0, 0, 0, NULL, NULL, GetModuleHandleW(NULL),
                               reinterpret_cast<LPVOID>(TrayWindowProc));
    }

    void Notify(WPARAM id, LPARAM event) { SendMessageW(window, WM_TRAYICON, id, event); }

    // The exit code of a pending WM_QUIT, or -1 when none is queued.
    static long long PendingQuitCode() {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE))
            if (message.message == WM_QUIT)
                return static_cast<long long>(message.wParam);
        return -1;
    }
};

TEST_F(TrayWindowTest, CreationAddsTheIconWithVersion3) {
    window = Create();
    ASSERT_TRUE(window != NULL);
    ASSERT_EQ(2u, s_shell.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), s_shell[0].action);
    EXPECT_EQ(static_cast<DWORD>(NIM_SETVERSION), s_shell[1].action);
    for (const ShellCall& call : s_shell) {
        EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE), call.data.cbSize);
        EXPECT_EQ(window, call.data.hWnd);
        EXPECT_EQ(1u, call.data.uID);
        EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON), call.data.uFlags);
        EXPECT_EQ(static_cast<UINT>(WM_TRAYICON), call.data.uCallbackMessage);
        EXPECT_EQ(g_currentTrayIcon, call.data.hIcon);
        EXPECT_EQ(3u, call.data.uVersion);
        EXPECT_EQ(0, call.data.szTip[0]);
    }
    // A top-level window that is never shown.
    EXPECT_EQ(NULL, GetParent(window));
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(TrayWindowTest, FailingToAddTheIconFailsCreation) {
    for (DWORD failing : {static_cast<DWORD>(NIM_ADD), static_cast<DWORD>(NIM_SETVERSION)}) {
        s_shell.clear();
        s_failAction = failing;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(NULL, Create()) << "failing action " << failing;
        EXPECT_NE(0u, GetLastError());
        EXPECT_EQ(failing == NIM_ADD ? 1u : 2u, s_shell.size());
    }
}

TEST_F(TrayWindowTest, RightClickOpensTheMenuAtTheCursorWithoutHandingBackFocus) {
    window = Create();
    s_shell.clear();
    s_now = 200000;
    Notify(1, WM_RBUTTONUP);
    s_now += 40;
    Notify(1, WM_CONTEXTMENU);
    ASSERT_EQ(1u, s_menus.size());
    EXPECT_EQ(g_trayMenu, s_menus[0].menu);
    EXPECT_EQ(static_cast<UINT>(TPM_RIGHTBUTTON), s_menus[0].flags);
    EXPECT_EQ(321, s_menus[0].x);
    EXPECT_EQ(654, s_menus[0].y);
    EXPECT_TRUE(s_shell.empty());
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, window, WM_NULL, WM_NULL, PM_REMOVE)); // closes the menu cleanly
}

TEST_F(TrayWindowTest, KeyboardOpenedMenuHandsFocusBackAfterClosing) {
    window = Create();
    s_shell.clear();
    s_now = 300000;
    Notify(1, WM_LBUTTONUP);
    s_now += 101; // more than 100 ms after the last release: not a click
    Notify(1, WM_CONTEXTMENU);
    ASSERT_EQ(1u, s_menus.size());
    ASSERT_EQ(1u, s_shell.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_SETFOCUS), s_shell[0].action);
    EXPECT_EQ(0u, s_menus[0].shellCallsBefore); // after the menu, not before
    EXPECT_EQ(1u, s_shell[0].data.uID);
}

TEST_F(TrayWindowTest, RightAlignedMenuDrops) {
    window = Create();
    s_rightAligned = TRUE;
    Notify(1, WM_CONTEXTMENU);
    ASSERT_EQ(1u, s_menus.size());
    EXPECT_EQ(static_cast<UINT>(TPM_RIGHTBUTTON | TPM_RIGHTALIGN), s_menus[0].flags);
}

TEST_F(TrayWindowTest, NotificationsOfAnotherIconAreIgnored) {
    window = Create();
    s_shell.clear();
    for (LPARAM event : {WM_CONTEXTMENU, NIN_SELECT, NIN_KEYSELECT, WM_RBUTTONUP, WM_LBUTTONUP}) {
        Notify(2, event);
        s_now += 10;
    }
    Notify(2, NIN_SELECT);
    EXPECT_TRUE(s_menus.empty());
    EXPECT_TRUE(s_shell.empty());
    EXPECT_TRUE(IsMenuItemChecked(IDM_AUTOMATIC));
}

TEST_F(TrayWindowTest, DoubleActivationRunsTheDefaultCommandOncePerPair) {
    window = Create();
    const DWORD doubleClick = GetDoubleClickTime();
    s_now = 400000;
    // Default in Automatic is Full Throttle; in Full Throttle it is the last mode, Automatic.
    struct Step {
        DWORD advance;
        LPARAM event;
        UINT checkedAfter;
    } steps[] = {
        {0, NIN_SELECT, IDM_AUTOMATIC},                  // first of a pair
        {100, NIN_SELECT, IDM_FULL_THROTTLE},            // second: runs Full Throttle
        {100, NIN_SELECT, IDM_FULL_THROTTLE},            // third: starts a new pair, runs nothing
        {100, NIN_KEYSELECT, IDM_AUTOMATIC},             // completes it, keyboard and mouse mixed
        {doubleClick + 1, NIN_SELECT, IDM_AUTOMATIC},    // a pause longer than the double-click time
        {doubleClick + 1, NIN_SELECT, IDM_AUTOMATIC},    // and again: still no pair
        {doubleClick, NIN_KEYSELECT, IDM_FULL_THROTTLE}, // exactly the double-click time: a pair
    };
    for (const Step& step : steps) {
        s_now += step.advance;
        Notify(1, step.event);
        EXPECT_TRUE(IsMenuItemChecked(step.checkedAfter)) << "at +" << step.advance;
    }
    EXPECT_EQ(static_cast<UINT>(IDM_AUTOMATIC), g_lastModeCommand); // the double-click never changes it
}

TEST_F(TrayWindowTest, DoubleActivationWithoutDefaultItemDoesNothing) {
    window = Create();
    SetMenuDefaultItem(g_trayMenu, static_cast<UINT>(-1), FALSE);
    s_now = 500000;
    Notify(1, NIN_SELECT);
    s_now += 50;
    Notify(1, NIN_SELECT);
    EXPECT_TRUE(IsMenuItemChecked(IDM_AUTOMATIC));
    EXPECT_FALSE(IsMenuItemChecked(IDM_FULL_THROTTLE));
}

TEST_F(TrayWindowTest, CloseRemovesTheIconAndQuitsWithItsCode) {
    window = Create();
    s_shell.clear();
    SendMessageW(window, WM_CLOSE, 77, 0);
    ASSERT_EQ(1u, s_shell.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), s_shell[0].action);
    EXPECT_EQ(0u, s_shell[0].data.uFlags);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(77, PendingQuitCode());
}

TEST_F(TrayWindowTest, TerminateMessageQuitsWithZero) {
    window = Create();
    EXPECT_EQ(0, SendMessageW(window, g_terminateMessage, 0, 0));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0, PendingQuitCode());
}

TEST_F(TrayWindowTest, EndOfSessionReleasesTheBoostThenQuitsWith1115) {
    window = Create();
    EngageBoost();
    ASSERT_TRUE(g_engaged);
    size_t before = g_schemeSwitches.size();
    EXPECT_EQ(TRUE, SendMessageW(window, WM_QUERYENDSESSION, 0, 0));
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(before + 1, g_schemeSwitches.size()); // the previous scheme went back
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(static_cast<long long>(ERROR_SHUTDOWN_IN_PROGRESS), PendingQuitCode());
}

TEST_F(TrayWindowTest, TaskbarRestartAddsTheIconAgainWithTheCurrentPicture) {
    window = Create();
    s_shell.clear();
    g_currentTrayIcon = LoadIconW(NULL, IDI_WARNING); // as if painted since
    s_failAction = NIM_ADD;                           // and a failure is only ignored
    EXPECT_EQ(0, SendMessageW(window, g_taskbarCreatedMessage, 0, 0));
    s_failAction = 0xFFFFFFFF;
    SendMessageW(window, g_taskbarCreatedMessage, 0, 0);
    ASSERT_EQ(3u, s_shell.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), s_shell[1].action);
    EXPECT_EQ(g_currentTrayIcon, s_shell[1].data.hIcon);
    EXPECT_EQ(static_cast<DWORD>(NIM_SETVERSION), s_shell[2].action);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(TrayWindowTest, EveryDeviceChangeRecomputesTheLayout) {
    window = Create();
    for (WPARAM event : {WPARAM(0x8000), WPARAM(0x8004), WPARAM(7)}) {
        g_forceRedraw = 0;
        EXPECT_EQ(0, SendMessageW(window, WM_DEVICECHANGE, event, 0));
        EXPECT_TRUE(g_forceRedraw);
    }
}

TEST_F(TrayWindowTest, UpdateModifiesOnlyTheIcon) {
    window = Create();
    s_shell.clear();
    HICON icon = LoadIconW(NULL, IDI_INFORMATION);
    EXPECT_TRUE(UpdateTrayIcon(window, icon));
    ASSERT_EQ(1u, s_shell.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), s_shell[0].action);
    EXPECT_EQ(static_cast<UINT>(NIF_ICON), s_shell[0].data.uFlags);
    EXPECT_EQ(icon, s_shell[0].data.hIcon);
    s_failAction = NIM_MODIFY;
    EXPECT_FALSE(UpdateTrayIcon(window, icon));
}

} // namespace
