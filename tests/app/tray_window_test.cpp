// The tray window's messages, with the shell, the popup menu, the clock and the cursor replaced.
// What reaches the notification area, the menu, the icons, the power manager and the message
// queue goes into one log, so each case states what happens and in which order.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include "app/tray_window.h"
#include "common/flags.h"
#include "fake_power.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "power/boost.h"
#include "seams.h"

namespace {

typedef std::vector<std::string> Log;
Log s_log;
DWORD s_failAction = ~0u; // the Shell_NotifyIconW action that fails
DWORD s_now = 100000;
BOOL s_rightAligned;

void Note(const std::string& entry) {
    for (const std::string& call : TakePowerCalls())
        s_log.push_back(call);
    if (!entry.empty())
        s_log.push_back(entry);
}
// The log so far, ending with what was posted: WM_NULL and WM_QUIT with its exit code.
Log TakeLog() {
    Note("");
    for (MSG message; PeekMessageW(&message, NULL, 0, 0, PM_REMOVE);)
        Note(message.message == WM_QUIT ? "quit " + std::to_string(message.wParam) : "null");
    Log log;
    log.swap(s_log);
    return log;
}
std::string Label(HICON icon) {
    return icon == g_currentTrayIcon ? " current" : icon ? " new" : "";
}

// Every tray call names the tray window's icon 1, as version 3, with no tip.
struct Fake {
    static BOOL WINAPI Shell(DWORD action, PNOTIFYICONDATAW d) {
        const char* names[] = {"add", "modify", "delete", "setfocus", "setversion"};
        EXPECT_TRUE(d->cbSize == NOTIFYICONDATAW_V2_SIZE && d->uID == 1 && d->uVersion == 3 && !d->szTip[0] &&
                    GetWindowLongPtrW(d->hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(TrayWindowProc));
        EXPECT_EQ(d->uFlags & NIF_MESSAGE ? WM_TRAYICON : 0u, d->uCallbackMessage);
        Note(names[action] + (" " + std::to_string(d->uFlags)) + Label(d->hIcon));
        return action != s_failAction || (SetLastError(ERROR_TIMEOUT), FALSE);
    }
    static BOOL WINAPI Menu(HMENU menu, UINT flags, int x, int y, int, HWND, const RECT*) {
        return Note("menu " + std::to_string(flags) + (menu == g_trayMenu ? " at " : " ? at ") +
                    std::to_string(x) + "," + std::to_string(y)),
               TRUE;
    }
    static DWORD WINAPI Now() { return s_now; }
    static BOOL WINAPI Cursor(LPPOINT point) { return *point = {321, 654}, TRUE; }
    static BOOL WINAPI Parameters(UINT action, UINT param, PVOID value, UINT flags) {
        if (action != SPI_GETMENUDROPALIGNMENT)
            return REAL(L"user32.dll", SystemParametersInfoW)(action, param, value, flags);
        return *static_cast<BOOL*>(value) = s_rightAligned, TRUE;
    }
    static BOOL WINAPI Destroy(HICON icon) {
        return Note("destroy" + Label(icon)), REAL(L"user32.dll", DestroyIcon)(icon);
    }
};

} // namespace

SEAM(Shell_NotifyIconW, Fake::Shell);
SEAM(TrackPopupMenu, Fake::Menu);
SEAM(GetTickCount, Fake::Now);
SEAM(GetCursorPos, Fake::Cursor);
SEAM(SystemParametersInfoW, Fake::Parameters);
SEAM(DestroyIcon, Fake::Destroy);

namespace {

const Log kAdd = {"add 3 current", "setversion 3 current"};
const Log kEngage = {"GetActive", "SetActive(HP)"};

struct Step {
    DWORD advance; // ms since the step before
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    Log log;
};

class TrayWindowTest : public ::testing::Test {
  protected:
    HWND window = NULL;

    void SetUp() override {
        g_terminateMessage = RegisterWindowMessageW(VELTRANA_TERMINATE_MESSAGE);
        g_taskbarCreatedMessage = RegisterWindowMessageW(VELTRANA_TASKBAR_CREATED_MESSAGE);
        WNDCLASSW windowClass = {0,    BootstrapWindowProc,       0, 0, NULL, NULL, NULL, NULL,
                                 NULL, VELTRANA_TRAY_WINDOW_CLASS};
        RegisterClassW(&windowClass); // fails harmlessly after the first test
        UseFakePower();
        g_trayMenu = LoadTrayMenu();
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
        g_lastModeCommand = IDM_AUTOMATIC;
        RefreshTrayMenu();
        g_currentTrayIcon = LoadIconW(NULL, IDI_APPLICATION);
        s_failAction = ~0u;
        ASSERT_TRUE((window = Create()) != NULL);
        EXPECT_EQ(kAdd, TakeLog());
    }
    void TearDown() override {
        DestroyWindow(window);
        ReleaseBoost();
        DestroyMenu(g_trayMenu);
        TakeLog();
    }
    static HWND Create() {
        return CreateWindowExW(0, VELTRANA_TRAY_WINDOW_CLASS, L"", 0, 0, 0, 0, 0, NULL, NULL, NULL,
                               reinterpret_cast<LPVOID>(TrayWindowProc));
    }
    void Run(const std::vector<Step>& steps) {
        for (size_t i = 0; i < steps.size(); ++i) {
            s_now += steps[i].advance;
            EXPECT_EQ(LRESULT(steps[i].message == WM_QUERYENDSESSION),
                      SendMessageW(window, steps[i].message, steps[i].wParam, steps[i].lParam));
            EXPECT_EQ(steps[i].log, TakeLog()) << "step " << i;
        }
    }
};

TEST_F(TrayWindowTest, CreationAddsTheIconToAHiddenTopLevelWindowOrFails) {
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(window, GA_PARENT)); // not message-only
    EXPECT_FALSE(IsWindowVisible(window));
    for (DWORD failing : {NIM_ADD, NIM_SETVERSION}) {
        s_failAction = failing;
        EXPECT_EQ(NULL, Create()) << failing;
        EXPECT_EQ(Log(kAdd.begin(), kAdd.begin() + (failing == NIM_ADD ? 1 : 2)), TakeLog());
    }
}

// A menu opened within 100 ms of a button release came from the mouse; one opened later came
// from the keyboard, and the focus goes back to the notification area after it.
TEST_F(TrayWindowTest, ContextMenuOpensAtTheCursor) {
    Run({{0, WM_TRAYICON, 1, WM_RBUTTONUP, {}},
         {100, WM_TRAYICON, 1, WM_CONTEXTMENU, {"menu 2 at 321,654", "null"}},
         {101, WM_TRAYICON, 1, WM_CONTEXTMENU, {"menu 2 at 321,654", "setfocus 0", "null"}},
         {0, WM_TRAYICON, 2, WM_CONTEXTMENU, {}}, // another icon's
         {0, WM_TRAYICON, 2, NIN_SELECT, {}},
         {0, WM_TRAYICON, 2, NIN_SELECT, {}}});
    s_rightAligned = TRUE;
    Run({{0, WM_TRAYICON, 1, WM_CONTEXTMENU, {"menu 10 at 321,654", "setfocus 0", "null"}}});
    s_rightAligned = FALSE;
}

// Two activations within the double-click time run the default item: Full Throttle from
// Automatic, and from Full Throttle the last mode, Automatic, which releases the boost.
TEST_F(TrayWindowTest, DoubleActivationRunsTheDefaultCommandOncePerPair) {
    const DWORD doubleClick = GetDoubleClickTime();
    Run({{0, WM_TRAYICON, 1, NIN_SELECT, {}},
         {100, WM_TRAYICON, 1, NIN_SELECT, kEngage},
         {100, WM_TRAYICON, 1, NIN_SELECT, {}}, // a third click starts a new pair
         {100, WM_TRAYICON, 1, NIN_KEYSELECT, {"SetActive(B)"}},
         {doubleClick + 1, WM_TRAYICON, 1, NIN_SELECT, {}},
         {doubleClick + 1, WM_TRAYICON, 1, NIN_SELECT, {}},
         {doubleClick, WM_TRAYICON, 1, NIN_KEYSELECT, kEngage}});
    SetMenuDefaultItem(g_trayMenu, static_cast<UINT>(-1), FALSE); // nothing to run
    Run({{0, WM_TRAYICON, 1, NIN_SELECT, {}}, {0, WM_TRAYICON, 1, NIN_SELECT, {}}});
    EXPECT_TRUE(IsMenuItemChecked(IDM_FULL_THROTTLE));
}

// The end of the session releases the boost before the icon goes; the other ends leave that
// to the main loop.
TEST_F(TrayWindowTest, EndingMessagesRemoveTheIconAndQuitWithTheirCode) {
    const Step ends[] = {{0, WM_CLOSE, 77, 0, {"delete 0", "quit 77"}},
                         {0, g_terminateMessage, 0, 0, {"delete 0", "quit 0"}},
                         {0, WM_QUERYENDSESSION, 0, 0, {"SetActive(B)", "delete 0", "quit 1115"}}};
    for (const Step& end : ends) {
        window = IsWindow(window) ? window : Create();
        EngageBoost();
        TakeLog();
        Run({end});
        EXPECT_FALSE(IsWindow(window));
        ReleaseBoost();
    }
}

TEST_F(TrayWindowTest, ShellRestartAddsTheCurrentPictureAgainAndDeviceChangesLayOutAgain) {
    g_currentTrayIcon = LoadIconW(NULL, IDI_WARNING); // painted since
    s_failAction = NIM_ADD;                           // a refusal is only ignored
    Run({{0, g_taskbarCreatedMessage, 0, 0, {"add 3 current"}}});
    s_failAction = ~0u;
    Run({{0, g_taskbarCreatedMessage, 0, 0, kAdd}});
    for (WPARAM event : {0x8000, 0x8004, 7}) {
        g_forceRedraw = 0;
        Run({{0, WM_DEVICECHANGE, event, 0, {}}});
        EXPECT_TRUE(g_forceRedraw) << event;
    }
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(TrayWindowTest, ShownIconReplacesTheOldOneEvenWhenTheTrayRefusesIt) {
    for (DWORD failing : {DWORD(~0u), DWORD(NIM_MODIFY)}) {
        const HICON icon = CopyIcon(g_currentTrayIcon);
        s_failAction = failing;
        ShowTrayIcon(window, icon);
        EXPECT_EQ(Log({"modify 2 new", "destroy current"}), TakeLog());
        EXPECT_EQ(icon, g_currentTrayIcon);
    }
}

} // namespace
