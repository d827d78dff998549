// The tray window's messages, with the shell, the popup menu, the clock and the cursor replaced.
// What reaches the notification area, the menu, the icons, the power manager and the message
// queue goes into one log, so each step states what happens and in which order.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/tray_tip.h"
#include "app/tray_window.h"
#include "app/visibility.h"
#include "common/flags.h"
#include "fake_power.h"
#include "flag_names.h"
#include "icon/cell_layout.h"
#include "icon/renderer_state.h"
#include "menu/commands.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "power/boost.h"
#include "resources/localized.h"
#include "scratch_registry.h"
#include "seams.h"
#include "settings/settings.h"
#include "watcher/process_scan.h"

typedef std::vector<std::string> Log;
static Log s_log;
static DWORD s_failing; // the Shell_NotifyIconW actions that fail, as bits 1 << action
static DWORD s_now = 100000;
static BOOL s_rightAligned;
static POINT s_cursor = {321, 654};

static void Note(const std::string& entry) {
    for (const std::string& call : TakePowerCalls())
        s_log.push_back(call);
    if (!entry.empty())
        s_log.push_back(entry);
}
// The log so far, ending with what was posted: WM_NULL, and WM_QUIT with its exit code.
static Log TakeLog() {
    Note("");
    for (MSG message; PeekMessageW(&message, NULL, 0, 0, PM_REMOVE);)
        Note(message.message == WM_QUIT ? "quit " + std::to_string(message.wParam) : "null");
    return std::move(s_log);
}
static std::string Icon(HICON icon) {
    return icon == g_currentTrayIcon ? " current" : icon ? " new" : "";
}
static std::string Utf8(const wchar_t* text) {
    char bytes[512] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof(bytes), NULL, NULL);
    return bytes;
}

struct Fake {
    // Every tray call names icon 1 of the tray window, as version 3, with a tip only under NIF_TIP.
    static BOOL WINAPI Shell(DWORD action, PNOTIFYICONDATAW d) {
        EXPECT_TRUE(d->cbSize == NOTIFYICONDATAW_V2_SIZE && d->uID == 1 && d->uVersion == 3 &&
                    GetWindowLongPtrW(d->hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(TrayWindowProc));
        EXPECT_EQ(d->uFlags & NIF_MESSAGE ? WM_TRAYICON : 0u, d->uCallbackMessage);
        EXPECT_EQ(d->uFlags & NIF_TIP ? Utf8(g_currentTrayTip) : "", Utf8(d->szTip));
        const char* names[] = {"add", "modify", "delete", "setfocus", "setversion"};
        const std::string flags =
            FlagNames(d->uFlags, {{NIF_MESSAGE, "message"}, {NIF_ICON, "icon"}, {NIF_TIP, "tip"}});
        Note(names[action] + (flags.empty() ? "" : " " + flags) + Icon(d->hIcon) +
             (d->uFlags & NIF_TIP ? " " + Utf8(d->szTip) : ""));
        if (!(s_failing >> action & 1))
            return TRUE;
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    static BOOL WINAPI Menu(HMENU menu, UINT flags, int x, int y, int, HWND, const RECT*) {
        EXPECT_TRUE(menu == g_trayMenu && x == 321 && y == 654); // the tray menu at the cursor
        Note("menu " + FlagNames(flags, {{TPM_RIGHTBUTTON, "rightbutton"}, {TPM_RIGHTALIGN, "rightalign"}}));
        return TRUE;
    }
    static DWORD WINAPI Now() { return s_now; }
    static BOOL WINAPI Cursor(LPPOINT point) {
        *point = s_cursor;
        return TRUE;
    }
    static BOOL WINAPI Parameters(UINT action, UINT param, PVOID value, UINT flags) {
        if (action != SPI_GETMENUDROPALIGNMENT)
            return REAL(L"user32.dll", SystemParametersInfoW)(action, param, value, flags);
        *static_cast<BOOL*>(value) = s_rightAligned;
        return TRUE;
    }
    static BOOL WINAPI Destroy(HICON x) {
        Note("destroy" + Icon(x));
        return REAL(L"user32.dll", DestroyIcon)(x);
    }
};

SEAM(Shell_NotifyIconW, Fake::Shell);
SEAM(TrackPopupMenu, Fake::Menu);
SEAM(GetTickCount, Fake::Now);
SEAM(GetCursorPos, Fake::Cursor);
SEAM(SystemParametersInfoW, Fake::Parameters);
SEAM(DestroyIcon, Fake::Destroy);

// The session notifications come from wtsapi32.dll, which the program loads from the system
// directory: here it gets this test program instead, which exports the two functions.
static int s_registrations, s_unregistrations, s_failingRegistrations;
extern "C" __declspec(dllexport) BOOL WINAPI WTSRegisterSessionNotification(HWND, DWORD) {
    ++s_registrations;
    if (s_failingRegistrations-- <= 0)
        return TRUE;
    SetLastError(RPC_S_INVALID_BINDING);
    return FALSE;
}
extern "C" __declspec(dllexport) BOOL WINAPI WTSUnRegisterSessionNotification(HWND) {
    return ++s_unregistrations;
}
static HMODULE WINAPI LoadLibraryFake(LPCWSTR name, HANDLE file, DWORD flags) {
    return lstrcmpiW(name, L"wtsapi32.dll") ? REAL(L"kernel32.dll", LoadLibraryExW)(name, file, flags)
                                            : GetModuleHandleW(NULL);
}
SEAM(LoadLibraryExW, LoadLibraryFake);

const Log kAdd = {"add message|icon current", "setversion message|icon current"};
const Log kEngage = {"GetActive", "SetActive(HP)"};
const Log kRelease = {"Enumerate(0)", "GetActive", "SetActive(B)"};
// Milliseconds since the step before, the message and its parameters (by default the tray icon's
// notification, its event in lParam), and the log it makes.
struct Step {
    DWORD after = 0;
    UINT message = WM_TRAYICON;
    WPARAM wParam = kTrayIconId;
    LPARAM lParam = 0;
    Log log = {};
};
static HWND s_window;

static HWND Create() {
    return CreateWindowExW(0, VELTRANA_TRAY_WINDOW_CLASS, L"", 0, 0, 0, 0, 0, NULL, NULL, NULL,
                           reinterpret_cast<LPVOID>(TrayWindowProc));
}
// A tray window as start-up makes it, in Automatic with the boost released.
static void Start() {
    DestroyWindow(s_window);
    ReleaseBoost();
    DestroyMenu(g_trayMenu);
    UseFakePower();
    g_terminateMessage = RegisterWindowMessageW(VELTRANA_TERMINATE_MESSAGE);
    g_taskbarCreatedMessage = RegisterWindowMessageW(VELTRANA_TASKBAR_CREATED_MESSAGE);
    WNDCLASSW windowClass = {0,    BootstrapWindowProc,       0, 0, NULL, NULL, NULL, NULL,
                             NULL, VELTRANA_TRAY_WINDOW_CLASS};
    RegisterClassW(&windowClass); // fails harmlessly after the first time
    g_trayMenu = LoadTrayMenu();
    g_lastModeCommand = IDM_AUTOMATIC;
    CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
    RefreshTrayMenu();
    g_currentTrayIcon = LoadIconW(NULL, IDI_APPLICATION);
    s_failing = 0;
    s_rightAligned = FALSE;
    g_currentTrayTip[0] = 0;
    ASSERT_TRUE((s_window = Create()) != NULL);
    EXPECT_EQ(kAdd, TakeLog());
}
// Only the end of the session answers TRUE; every other message returns 0.
static void Send(const std::vector<Step>& steps) {
    for (const auto& [after, message, wParam, lParam, log] : steps) {
        s_now += after;
        EXPECT_EQ(message == WM_QUERYENDSESSION, SendMessageW(s_window, message, wParam, lParam)) << message;
        EXPECT_EQ(log, TakeLog()) << "message " << message << ", " << lParam;
    }
}

// Creation adds the icon as version 3 to a hidden top-level window. A shell restart
// adds it again with the picture of now; a refusal leaves it to the slow timer. A new picture goes to
// the tray and replaces the old one even when the tray refuses it.
// The boost the tests engage writes its undo record into a scratch HKEY_CURRENT_USER.
class TrayWindow : public IsolatedRegistryTest {};

TEST_F(TrayWindow, TheIconFromCreationToReplacement) {
    Start();
    // A hidden top-level window, not a message-only one.
    EXPECT_TRUE(GetAncestor(s_window, GA_PARENT) == GetDesktopWindow() && !IsWindowVisible(s_window));
    const DWORD add = 1 << NIM_ADD, modify = 1 << NIM_MODIFY, version = 1 << NIM_SETVERSION;
    const std::string a = kAdd[0], m = "modify message|icon current", v = kAdd[1];
    // A refused version leaves the slow timer to ask again until the shell takes it. Before the
    // shell has its notification area (a start at logon), the window is made without the icon,
    // and the retries add it. An add that timed out but landed fails as a duplicate: a modify
    // finds the icon there. Each window's retries end once icon and version are there.
    const struct {
        const char* shell;
        DWORD failing;
        Log log;
    } starts[] = {
        {.shell = "refusing the version", .failing = version, .log = {a, v, v, v}},
        {.shell = "without a notification area", .failing = add | modify, .log = {a, m, a, m, a, v}},
        {.shell = "holding the icon of an add that failed", .failing = add, .log = {a, m, v}},
    };
    for (const auto& start : starts) {
        s_failing = start.failing;
        const HWND window = Create();
        EXPECT_TRUE(window != NULL) << start.shell;
        RetryTrayIcon(window);
        s_failing = 0;
        RetryTrayIcon(window);
        RetryTrayIcon(window);
        EXPECT_EQ(start.log, TakeLog()) << start.shell;
        DestroyWindow(window);
    }
    // A new shell that refuses the icon at first gets it at the slow timer's next retry; one that
    // refuses its version is asked again too.
    g_currentTrayIcon = LoadIconW(NULL, IDI_WARNING);
    s_failing = add | modify;
    Send({{.message = g_taskbarCreatedMessage, .wParam = 0, .log = {a, m}}});
    s_failing = 0;
    RetryTrayIcon(s_window);
    EXPECT_EQ(kAdd, TakeLog())
        << "the slow timer did not add the icon that the shell refused after TaskbarCreated";
    s_failing = version;
    Send({{.message = g_taskbarCreatedMessage, .wParam = 0, .log = kAdd}});
    s_failing = 0;
    RetryTrayIcon(s_window);
    EXPECT_EQ(Log({v}), TakeLog())
        << "the slow timer did not ask again for the version refused after TaskbarCreated";
    // A tip goes to the shell when it changes, and with the icon when it is added again.
    for (const wchar_t* tip : {L"a\nb", L"a\nb", L"c"})
        ShowTrayTip(s_window, tip);
    EXPECT_EQ(Log({"modify tip a\nb", "modify tip c"}), TakeLog());
    Send({{.message = g_taskbarCreatedMessage,
           .wParam = 0,
           .log = {"add message|icon|tip current c", "setversion message|icon|tip current c"}}});
    for (DWORD failing : {DWORD(0), modify}) {
        const HICON icon = CopyIcon(g_currentTrayIcon);
        s_failing = failing;
        ShowTrayIcon(s_window, icon);
        EXPECT_EQ(Log({"modify icon new", "destroy current"}), TakeLog());
        EXPECT_EQ(icon, g_currentTrayIcon);
    }
    for (WPARAM event : {0x8000, 0x8004, 7}) { // every device change lays the cells out again
        g_forceRedraw = 0;
        Send({{.message = WM_DEVICECHANGE, .wParam = event}});
        EXPECT_TRUE(g_forceRedraw) << event;
    }
}

// A menu opened within 100 ms of a button release came from the mouse; one opened later came
// from the keyboard, and the focus goes back to the notification area after it. Two activations
// within the double-click time run the default item: Full Throttle from Automatic, and from Full
// Throttle the last mode, Automatic, which releases the boost.
TEST_F(TrayWindow, ContextMenuAndDoubleActivation) {
    Start();
    const DWORD doubleClick = GetDoubleClickTime();
    Send({{.lParam = WM_RBUTTONUP},
          {.after = 100, .lParam = WM_CONTEXTMENU, .log = {"menu rightbutton", "null"}},
          {.after = 101, .lParam = WM_CONTEXTMENU, .log = {"menu rightbutton", "setfocus", "null"}},
          {.wParam = 2, .lParam = WM_CONTEXTMENU}, // another icon's
          {.wParam = 2, .lParam = NIN_SELECT},
          {.lParam = NIN_SELECT}, // so the first of a pair
          {.after = 100, .lParam = NIN_SELECT, .log = kEngage},
          {.after = 100, .lParam = NIN_SELECT}, // a third click starts a new pair
          {.after = 100, .lParam = NIN_KEYSELECT, .log = kRelease},
          {.after = doubleClick + 1, .lParam = NIN_SELECT},
          {.after = doubleClick + 1, .lParam = NIN_SELECT},
          {.after = doubleClick, .lParam = NIN_KEYSELECT, .log = kEngage}});
    s_rightAligned = TRUE;
    Send({{.lParam = WM_CONTEXTMENU, .log = {"menu rightbutton|rightalign", "setfocus", "null"}}});
    SetMenuDefaultItem(g_trayMenu, static_cast<UINT>(-1), FALSE); // nothing to run
    Send({{.lParam = NIN_SELECT}, {.lParam = NIN_SELECT}});
}

// The end of the session releases the boost before the icon goes; the other ends leave that to
// the main loop. Each ends the window.
TEST_F(TrayWindow, EndingMessagesRemoveTheIconAndQuitWithTheirCode) {
    for (const Step& end : {Step{.message = WM_CLOSE, .wParam = 77, .log = {"delete", "quit 77"}},
                            Step{.message = g_terminateMessage, .wParam = 0, .log = {"delete", "quit 0"}},
                            Step{.message = WM_QUERYENDSESSION,
                            .wParam = 0,
                            .log = {"Enumerate(0)", "GetActive", "SetActive(B)", "delete", "quit 1115"}}}) {
        Start();
        EngageBoost();
        TakeLog();
        Send({end});
        EXPECT_FALSE(IsWindow(s_window));
    }
}

// Locked, disconnected or with the display off (dimmed still counts as on), nobody sees the icon;
// when it can be seen again, the first tick repaints. Registering for session changes fails early
// at logon: the slow pass retries until it succeeds, and the window unregisters as it closes.
TEST_F(TrayWindow, IconIsSeenOnlyWhileTheSessionIsOnTheScreen) {
    Start();
    s_failingRegistrations = 2;
    RegisterVisibilityNotifications(s_window);
    for (int pass = 0; pass < 4; ++pass)
        RetrySessionNotification(s_window);
    EXPECT_EQ(3, s_registrations);
    POWERBROADCAST_SETTING display = {
        {0x2B84C20E, 0xAD23, 0x4DDF, {0x93, 0xDB, 0x05, 0xFF, 0xBD, 0x7E, 0xFC, 0xA5}}, sizeof(DWORD), {0}};
    const struct {
        UINT message;
        WPARAM event;
        BYTE displayState = 0;
        bool seen = false;
    } steps[] = {
        {.message = WM_WTSSESSION_CHANGE, .event = WTS_SESSION_LOCK},
        {.message = WM_POWERBROADCAST, .event = PBT_POWERSETTINGCHANGE}, // display off
        {.message = WM_WTSSESSION_CHANGE, .event = WTS_SESSION_UNLOCK},  // still off
        // dimmed
        {.message = WM_POWERBROADCAST, .event = PBT_POWERSETTINGCHANGE, .displayState = 2, .seen = true},
        {.message = WM_WTSSESSION_CHANGE, .event = WTS_REMOTE_DISCONNECT},
        {.message = WM_WTSSESSION_CHANGE, .event = WTS_REMOTE_CONNECT, .seen = true}};
    for (const auto& step : steps) {
        display.Data[0] = step.displayState;
        SendMessageW(s_window, step.message, step.event, reinterpret_cast<LPARAM>(&display));
        EXPECT_EQ(step.seen, IconVisible()) << step.message << " " << step.event;
    }
    SendMessageW(s_window, WM_CLOSE, 0, 0);
    EXPECT_EQ(1, s_unregistrations);
}

// The tooltip says what the program does, in the menu's language: each state as the commands, the
// power manager and the watcher bring it about, and the fastest processor of the icon's last tick
// (the clock alone: Wine has no performance counter; a counter's reading is put in by hand).
TEST_F(TrayWindow, TooltipTellsTheModeTheBoostAndTheFastestProcessor) {
    TakeLog(); // what the tests before left behind
    ASSERT_TRUE(CreateProcessTable());
    wchar_t self[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    ASSERT_TRUE(QueryFullProcessImageNameW(GetCurrentProcess(), 0, self, &size));
    auto full = [](DWORD method) {
        g_boostMethod = method;
        HandleMenuCommand(s_window, IDM_FULL_THROTTLE);
    };
    auto watched = [&] {
        g_watchList[7] = {DuplicateString(self), 1};
        InsertWatchListEntry(7);
        g_reevaluate = 1;
        ScanProcesses();
    };
    const struct {
        const char* state;
        std::function<void()> arrange;
        const wchar_t* tip;
    } rows[] = {
        {"by scheme", [&] { full(0); }, L"Veltrana: Full Throttle, boosted (High Performance)"},
        {"by minimum state", [&] { full(1); }, L"Veltrana: Full Throttle, boosted (minimum CPU state 100 %)"},
        {"without High Performance",
         [&] {
             g_fakeSchemes.erase("HP");
             full(0);
         },
         L"Veltrana: Full Throttle, boosted (minimum CPU state 100 %, no High Performance)"},
        {"High Performance before",
         [&] {
             g_fakeActiveScheme = "HP";
             full(0);
         },
         L"Veltrana: Full Throttle, boosted (High Performance, already active)"},
        {"refused",
         [&] {
             g_fakePowerFailures = {{"SetActive", ERROR_ACCESS_DENIED}};
             full(1);
         },
         L"Veltrana: Full Throttle, not boosted (error 5: Access denied)"},
        {"undone, as the slow pass finds",
         [&] {
             full(0);
             g_fakeActiveScheme = "PS";
             CheckBoostInForce();
         },
         L"Veltrana: Full Throttle, boost undone by another program"},
        {"waiting", [] {}, L"Veltrana: Automatic, waiting"},
        {"for a watched program", watched,
         L"Veltrana: Automatic, boosted for app_test.exe (High Performance)"},
        {"refused for a watched program",
         [&] {
             g_fakePowerFailures = {{"SetActive", ERROR_ACCESS_DENIED}};
             watched();
         },
         L"Veltrana: Automatic, not boosted (error 5: Access denied)"},
        {"disabled", [&] { HandleMenuCommand(s_window, IDM_DISABLED); }, L"Veltrana: Disabled, not boosted"},
        {"release refused",
         [&] {
             full(1);
             g_fakePowerFailures = {{"WriteDC", ERROR_ACCESS_DENIED}};
             HandleMenuCommand(s_window, IDM_DISABLED);
         },
         L"Veltrana: Disabled, boost not undone (error 5: Access denied), trying again"},
    };
    auto tip = [](const std::function<void()>& arrange) {
        Start();
        g_boostMethod = 0;
        LoadWatchList(); // none stored: emptied, and the watcher matches nothing
        g_reevaluate = 1;
        ScanProcesses();
        arrange();
        g_processorCount = 4;
        for (DWORD i = 0; i < 4; ++i)
            g_powerTable[i] = {i, 3000, i == 2 ? 2449u : 1200u, 3000, 0, 0};
        TrayTipState state;
        ReadTrayTipState(&state);
        wchar_t text[kTrayTipUnits];
        BuildTrayTip(state, text);
        ReleaseBoost();
        TakeLog();
        return std::wstring(text);
    };
    g_preferredLanguage = 0x0409;
    for (const auto& row : rows)
        EXPECT_EQ(row.tip + std::wstring(L"\nFastest: CPU 2, 2.4 GHz"), tip(row.arrange)) << row.state;
    // The words follow the menu's language.
    g_preferredLanguage = 0x0405;
    EXPECT_EQ(
        L"Veltrana: Automaticky, zrychleno pro app_test.exe (Vysoký výkon)\nNejrychlejší: CPU 2, 2,4 GHz",
        tip(watched));
    EXPECT_EQ(L"Veltrana: Plný výkon, nezrychleno (chyba 5: Přístup odepřen)\nNejrychlejší: CPU 2, 2,4 GHz",
              tip(rows[4].arrange)); // refused: Windows' words in Czech too
    g_preferredLanguage = 0x0409;
    LoadWatchList();
}

// A new first line goes to the shell wherever the pointer is; the fastest processor's line alone
// only while the pointer rests where the icon's WM_MOUSEMOVE found it, which sends it at once.
TEST_F(TrayWindow, TheClockGoesOutOnlyWhileThePointerRestsOnTheIcon) {
    Start();
    g_processorCount = 1;
    const std::string tip = "modify tip Veltrana: Automatic, waiting\nFastest: CPU 0, ";
    const POINT away = {5, 5}, on = s_cursor;
    const std::tuple<DWORD, POINT, UINT, Log> steps[] = {
        // clock, pointer, message (0 or a command: a slow pass after it), log
        {1200, away, 0, {tip + "1.2 GHz"}},
        {2400, away, 0, {}},
        {2400, on, WM_MOUSEMOVE, {tip + "2.4 GHz"}},
        {3000, on, 0, {tip + "3.0 GHz"}},
        {1200, away, 0, {}},
        {1200, away, IDM_DISABLED, {"modify tip Veltrana: Disabled, not boosted\nFastest: CPU 0, 1.2 GHz"}}};
    for (const auto& [mhz, cursor, message, log] : steps) {
        g_powerTable[0] = {0, 3000, mhz, 3000, 0, 0};
        s_cursor = cursor;
        if (message == IDM_DISABLED)
            HandleMenuCommand(s_window, message);
        if (message == WM_MOUSEMOVE)
            SendMessageW(s_window, WM_TRAYICON, kTrayIconId, message);
        else
            RefreshTrayTip(s_window);
        EXPECT_EQ(log, TakeLog()) << mhz << " MHz, message " << message << ", pointer at " << cursor.x;
    }
    s_cursor = on;
}

// The power broadcasts reach the boost: a change of the active scheme outside sleep is the user's
// and kept; the display going off and coming back counts as sleep and resume, after which a plan
// switched back is boosted again.
TEST_F(TrayWindow, PowerBroadcastsReachTheBoost) {
    Start();
    g_boostMethod = 0;
    HandleMenuCommand(s_window, IDM_FULL_THROTTLE);
    POWERBROADCAST_SETTING schemeChanged = {
        {0x31F9F286, 0x5084, 0x42FE, {0xB7, 0x20, 0x2B, 0x02, 0x64, 0x99, 0x37, 0x63}}, 0, {0}};
    g_fakeActiveScheme = "PS";
    SendMessageW(s_window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                 reinterpret_cast<LPARAM>(&schemeChanged));
    DWORD error = 0;
    EXPECT_EQ(kBoostUndoneElsewhere, CurrentBoostState(&error)) << "a plan switched while awake";
    HandleMenuCommand(s_window, IDM_FULL_THROTTLE);
    POWERBROADCAST_SETTING display = {
        {0x2B84C20E, 0xAD23, 0x4DDF, {0x93, 0xDB, 0x05, 0xFF, 0xBD, 0x7E, 0xFC, 0xA5}}, sizeof(DWORD), {0}};
    SendMessageW(s_window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&display));
    g_fakeActiveScheme = "PS";
    display.Data[0] = 1;
    SendMessageW(s_window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&display));
    EXPECT_EQ("HP", g_fakeActiveScheme) << "a plan switched while the display was off";
    ReleaseBoost();
    TakeLog();
}
