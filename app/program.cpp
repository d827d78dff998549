#include "app/program.h"

#include <windows.h>
#include <dbt.h>
#include <string.h>
#include <type_traits>

#include "app/placement_hook.h"
#include "app/tray_tip.h"
#include "app/tray_window.h"
#include "app/visibility.h"
#include "common/flags.h"
#include "common/names.h"
#include "common/system_library.h"
#include "icon/cell_layout.h"
#include "icon/palette.h"
#include "icon/processor_performance.h"
#include "icon/renderer.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "power/boost.h"
#include "power/power_source.h"
#include "power/power_functions.h"
#include "resources/localized.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "watcher/process_scan.h"

// SetWaitableTimerEx exists from Windows 7 on; the headers declare it only for builds that
// require Windows 7, so the type is spelled out here.
typedef BOOL(WINAPI* SetWaitableTimerExFn)(HANDLE timer, const LARGE_INTEGER* dueTime, LONG period,
                                           PTIMERAPCROUTINE routine, LPVOID argument,
                                           PREASON_CONTEXT wakeContext, ULONG tolerableDelay);
typedef BOOL(WINAPI* ChangeWindowMessageFilterFn)(UINT message, DWORD flag);
static_assert(std::is_same<decltype(&ChangeWindowMessageFilter), ChangeWindowMessageFilterFn>::value, "");

// Without SetWaitableTimerEx the timers keep their periods but cannot be coalesced.
static BOOL WINAPI SetWaitableTimerFallback(HANDLE timer, const LARGE_INTEGER* dueTime, LONG period,
                                            PTIMERAPCROUTINE routine, LPVOID argument, PREASON_CONTEXT,
                                            ULONG) {
    return SetWaitableTimer(timer, dueTime, period, routine, argument, FALSE);
}

static SetWaitableTimerExFn s_startTimer = SetWaitableTimerFallback;

enum { kFastTimer = 0, kSlowTimer = 1 };
static HANDLE s_timers[2]; // waited on in this order: the index is the wait's result

// "-terminate": asks every running instance to close. All desktops are addressed only when
// the privilege to do so was really granted.
static int RequestTermination() {
    DWORD recipients = BSM_APPLICATIONS;
    HANDLE token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES privileges;
        privileges.PrivilegeCount = 1;
        if (LookupPrivilegeValueW(NULL, L"SeTcbPrivilege", &privileges.Privileges[0].Luid)) {
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            if (AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), NULL, NULL) &&
                GetLastError() != ERROR_NOT_ALL_ASSIGNED)
                recipients |= BSM_ALLDESKTOPS;
        }
        CloseHandle(token);
    }
    long delivered = BroadcastSystemMessageW(BSF_FORCEIFHUNG | BSF_IGNORECURRENTTASK, &recipients,
                                             g_terminateMessage, 0, 0);
    return delivered > 0 ? 0 : static_cast<int>(GetLastError());
}

// Ends start-up with the error of the step that has just failed. Never with 0, which would
// report success: a few calls fail without saying why.
static int FailStartup() {
    DWORD error = GetLastError();
    ReleaseBoost();
    return static_cast<int>(error != ERROR_SUCCESS ? error : static_cast<DWORD>(E_UNEXPECTED));
}

static void LookUpOptionalFunctions() {
    ChangeWindowMessageFilterFn change;
    if (FindFunction(GetModuleHandleW(L"USER32"), "ChangeWindowMessageFilter", &change)) {
        // Lets the two broadcasts through to a process running at a higher integrity level.
        change(g_taskbarCreatedMessage, MSGFLT_ADD);
        change(g_terminateMessage, MSGFLT_ADD);
    }
    SetWaitableTimerExFn timer;
    if (FindFunction(GetModuleHandleW(L"KERNEL32"), "SetWaitableTimerEx", &timer))
        s_startTimer = timer;
}

static bool StartTimer(HANDLE timer, LONG periodMs, ULONG tolerableDelayMs) {
    LARGE_INTEGER due;
    due.QuadPart = -10000LL * periodMs; // relative, in 100-ns units
    return s_startTimer(timer, &due, periodMs, NULL, NULL, NULL, tolerableDelayMs) != FALSE;
}

static bool StartIconTimer() {
    return StartTimer(s_timers[kFastTimer], 50, 50);
}

// Whether the icon's timer runs: it follows whether anyone can see the icon. Seen again, it
// starts once the next slow pass has a reading of the performance counter, and its first tick
// repaints.
static bool s_iconTimerRunning = true;
static bool s_iconTimerDue;

static void FollowIconVisibility() {
    const bool visible = IconVisible();
    if (visible == s_iconTimerRunning)
        return;
    s_iconTimerRunning = visible;
    s_iconTimerDue = visible;
    if (visible) {
        g_forceRedraw = 1;
        RestartPerformanceInterval();
    } else {
        CancelWaitableTimer(s_timers[kFastTimer]);
    }
}

static void RegisterProcessorNotifications(HWND window) {
    // Processors arriving or leaving change the cell layout.
    static const GUID kProcessorInterface = {
        0x97FADB10, 0x4E33, 0x40AE, {0x35, 0x9C, 0x8B, 0xEF, 0x02, 0x9D, 0xBD, 0xD0}};
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    ZeroMemory(&filter, sizeof(filter));
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kProcessorInterface;
    RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

static void RaisePriorities() {
    // The icon and the watcher must keep up on a machine that is busy on purpose.
    if (!SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS))
        SetPriorityClass(GetCurrentProcess(), ABOVE_NORMAL_PRIORITY_CLASS);
    if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST))
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
}

static int EndMainLoop(HHOOK hook, DWORD exitCode) {
    ReleaseBoost();
    if (hook)
        UnhookWindowsHookEx(hook);
    return static_cast<int>(exitCode);
}

// Waits on both timers and the message queue at once. A synchronization timer stays
// signalled until one wait consumes it, so a timer that elapsed several times during a modal
// loop is serviced once afterwards.
static int RunMainLoop(HWND window, HHOOK hook) {
    for (;;) {
        DWORD result = MsgWaitForMultipleObjectsEx(2, s_timers, INFINITE, QS_ALLINPUT, 0);
        if (result == WAIT_OBJECT_0 + kFastTimer) {
            // A tick already due when the icon was hidden is not painted either.
            HICON icon = IconVisible() ? RenderTrayIcon() : NULL;
            if (icon)
                ShowTrayIcon(window, icon);
        } else if (result == WAIT_OBJECT_0 + kSlowTimer) {
            // Goes on while the icon is hidden: Automatic still follows the watch list. The
            // counter and the tooltip are read only for an icon someone sees; the tick never
            // touches the tooltip.
            RetrySessionNotification(window);
            RetryTrayIcon(window);
            ScanProcesses();
            RetryRefusedRelease();
            if (IconVisible()) {
                SampleProcessorPerformance();
                if (s_iconTimerDue && StartIconTimer())
                    s_iconTimerDue = false;
                CheckBoostInForce(); // notifications tell too, but not every system sends them
                RefreshTrayTip(window);
            }
        } else if (result != WAIT_OBJECT_0 + 2) {
            DWORD error = result == WAIT_FAILED ? GetLastError() : static_cast<DWORD>(E_UNEXPECTED);
            return EndMainLoop(hook, error);
        }
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
            if (message.message == WM_QUIT)
                return EndMainLoop(hook, static_cast<DWORD>(message.wParam));
        }
        FollowIconVisibility(); // the session and display notifications have been handled
    }
}

int RunProgram(int argc, char** argv) {
    // Before anything loads a DLL by name: not from the program's folder or the current one.
    RestrictDllSearchToSystem();
    g_terminateMessage = RegisterWindowMessageW(VELTRANA_TERMINATE_MESSAGE);
    if (argc > 1 && strcmp(argv[1], "-terminate") == 0)
        return RequestTermination();
    // Run at the next logon while a boost was in force: undoes what a killed or crashed run, or
    // a release that Windows refused, left behind, and nothing else. A running instance's own
    // boost is left alone. What Windows refuses again stays in the record for the next start or
    // boost, and the exit code names the refusal.
    if (argc > 1 && strcmp(argv[1], "-restore") == 0) {
        if (!LookupPowerFunctions())
            return FailStartup();
        return static_cast<int>(ReplayUndoRecord());
    }

    // One instance per logon session. The handle stays open until the process ends. Without
    // it the program cannot know whether it runs twice: it ends with the reason.
    SetLastError(0);
    HANDLE singleton = CreateMutexW(NULL, FALSE, VELTRANA_SINGLETON_MUTEX);
    if (!singleton)
        return FailStartup();
    DWORD mutexError = GetLastError();
    if (mutexError == ERROR_ACCESS_DENIED || mutexError == ERROR_ALREADY_EXISTS)
        return static_cast<int>(mutexError);

    if (!LookupPowerFunctions())
        return FailStartup();
    // Before anything else touches power: what an earlier run could not undo. What Windows
    // still refuses stays in the record for the slow pass to try again, and start-up goes on.
    UndoLeftBoost();
    g_taskbarCreatedMessage = RegisterWindowMessageW(VELTRANA_TASKBAR_CREATED_MESSAGE);
    LookUpOptionalFunctions();

    LoadSettings();
    ApplyTaskbarPalette();
    g_preferredLanguage = LOWORD(g_languageSetting);
    // Each step is checked as soon as it has run: the next call may overwrite its error.
    g_trayMenu = LoadTrayMenu();
    if (!g_trayMenu)
        return FailStartup();
    HINSTANCE instance = GetModuleHandleW(NULL);
    g_currentTrayIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PLACEHOLDER), IMAGE_ICON, 16, 16, 0));
    if (!g_currentTrayIcon)
        return FailStartup();
    for (HANDLE& timer : s_timers) {
        timer = CreateWaitableTimerW(NULL, FALSE, NULL);
        if (!timer)
            return FailStartup();
    }
    if (!CreateProcessTable())
        return FailStartup();
    LoadWatchList();
    ComputeCellLayout();

    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = BootstrapWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(NULL, IDC_ARROW);
    windowClass.lpszClassName = VELTRANA_TRAY_WINDOW_CLASS;
    if (!RegisterClassW(&windowClass))
        return FailStartup();
    if (!StartIconTimer())
        return FailStartup();
    if (!StartTimer(s_timers[kSlowTimer], 450, 400))
        return FailStartup();

    // Every start begins in Automatic.
    CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
    RefreshTrayMenu();

    // A top-level window (not message-only): the terminate message and "TaskbarCreated"
    // arrive as broadcasts. Its creation adds the tray icon, or leaves that for later while
    // the shell has no notification area yet.
    HWND window = CreateWindowExW(0, VELTRANA_TRAY_WINDOW_CLASS, L"", 0, 0, 0, 0, 0, NULL, NULL, instance,
                                  reinterpret_cast<LPVOID>(TrayWindowProc));
    if (!window)
        return FailStartup();
    RegisterProcessorNotifications(window);
    RegisterVisibilityNotifications(window);
    RegisterSchemeNotification(window);
    WatchPowerSource(window);
    RaisePriorities();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, DialogPlacementHook, NULL, GetCurrentThreadId());
    return RunMainLoop(window, hook);
}
