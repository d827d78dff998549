// Start-up inside this process, beside the stand-in power manager: a step that fails ends the
// program with that step's error, never with success, and leaves no window; a start before the
// shell has its notification area (a logon on a slow machine) runs on without the icon, and adds
// it when the shell announces itself.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/program.h"
#include "common/names.h"
#include "scratch_registry.h"
#include "seams.h"
#include "watcher/process_table.h"

// The failing call of a row: the n-th call of a function (or of a step a fake stands for), which
// fails with `error` as the last error. 0 stands for a failure that says nothing.
static std::string s_failing;
static int s_failingCall, s_calls;
static DWORD s_failingError;

static bool Failing(const char* function) {
    if (s_failing != function || ++s_calls != s_failingCall)
        return false;
    SetLastError(s_failingError);
    return true;
}

// The notification area: there from the start, or only once the shell announces it with
// "TaskbarCreated" (sent from the test's own thread, so handled inside InSendMessage).
static bool s_trayComesLater;
static std::atomic<int> s_refusedAdds;
static int s_addsOnAnnouncement;

struct Fake {
    static HANDLE WINAPI Mutex(LPSECURITY_ATTRIBUTES security, BOOL owned, LPCWSTR name) {
        if (Failing("CreateMutexW"))
            return NULL;
        // Every start here takes the single-instance mutex anew: unnamed, it is never found taken.
        if (name && lstrcmpW(name, VELTRANA_SINGLETON_MUTEX) == 0)
            name = NULL;
        return REAL(L"kernel32.dll", CreateMutexW)(security, owned, name);
    }
    // POWRPROF comes from the system directory; here it is the stand-in that the build made,
    // named by POWERSIM_DLL as a Unix path (drive Z: under Wine).
    static HMODULE WINAPI Load(LPCWSTR name, HANDLE file, DWORD flags) {
        if (lstrcmpiW(name, L"powrprof.dll") != 0)
            return REAL(L"kernel32.dll", LoadLibraryExW)(name, file, flags);
        if (Failing("powrprof"))
            return NULL;
        std::wstring path = L"Z:";
        for (const char* c = getenv("POWERSIM_DLL"); c && *c; ++c)
            path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
        return REAL(L"kernel32.dll", LoadLibraryExW)(path.c_str(), file, 0);
    }
    static HMENU WINAPI Menu(const MENUTEMPLATEW* menu) {
        return Failing("LoadMenuIndirectW") ? NULL : REAL(L"user32.dll", LoadMenuIndirectW)(menu);
    }
    static HANDLE WINAPI Image(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
        return Failing("LoadImageW") ? NULL
                                     : REAL(L"user32.dll", LoadImageW)(instance, name, type, cx, cy, flags);
    }
    // "timer access": a timer handle without the right to start it.
    static HANDLE WINAPI Timer(LPSECURITY_ATTRIBUTES security, BOOL manualReset, LPCWSTR name) {
        if (Failing("CreateWaitableTimerW"))
            return NULL;
        HANDLE timer = REAL(L"kernel32.dll", CreateWaitableTimerW)(security, manualReset, name);
        HANDLE waitOnly = NULL;
        if (!Failing("timer access"))
            return timer;
        DuplicateHandle(GetCurrentProcess(), timer, GetCurrentProcess(), &waitOnly, SYNCHRONIZE, FALSE,
                        DUPLICATE_CLOSE_SOURCE);
        return waitOnly;
    }
    // The process table's block; HeapAlloc leaves the last error as it was.
    static LPVOID WINAPI Allocate(HANDLE heap, DWORD flags, SIZE_T bytes) {
        static auto real = REAL(L"kernel32.dll", HeapAlloc);
        return bytes == 128 * sizeof(TrackedProcess) && Failing("HeapAlloc") ? NULL
                                                                             : real(heap, flags, bytes);
    }
    static ATOM WINAPI Class(const WNDCLASSW* windowClass) {
        return Failing("RegisterClassW") ? 0 : REAL(L"user32.dll", RegisterClassW)(windowClass);
    }
    static HWND WINAPI Window(DWORD exStyle, LPCWSTR windowClass, LPCWSTR name, DWORD style, int x, int y,
                              int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                              LPVOID param) {
        if (Failing("CreateWindowExW"))
            return NULL;
        return REAL(L"user32.dll", CreateWindowExW)(exStyle, windowClass, name, style, x, y, width, height,
                                                    parent, menu, instance, param);
    }
    // Until the announcement the shell has no notification area and refuses every call.
    static BOOL WINAPI Shell(DWORD action, PNOTIFYICONDATAW) {
        if (s_trayComesLater && !InSendMessage() && s_addsOnAnnouncement == 0) {
            s_refusedAdds += action == NIM_ADD;
            SetLastError(ERROR_TIMEOUT);
            return FALSE;
        }
        s_addsOnAnnouncement += action == NIM_ADD && s_trayComesLater;
        return TRUE;
    }
};

SEAM(CreateMutexW, Fake::Mutex);
SEAM(LoadLibraryExW, Fake::Load);
SEAM(LoadMenuIndirectW, Fake::Menu);
SEAM(LoadImageW, Fake::Image);
SEAM(CreateWaitableTimerW, Fake::Timer);
SEAM(HeapAlloc, Fake::Allocate);
SEAM(RegisterClassW, Fake::Class);
SEAM(CreateWindowExW, Fake::Window);
SEAM(Shell_NotifyIconW, Fake::Shell);

// Each start-up step that can fail, in the order they run: the call that fails (a function, or a
// step a fake stands for, and which of its calls), the error it fails with, and the exit code
// where that is not the error itself.
struct Step {
    const char* name;
    const char* fails;
    int call = 1;
    DWORD error = 0, exitCode = 0;
};

const Step kSteps[] = {
    {.name = "the single-instance mutex", .fails = "CreateMutexW", .error = ERROR_INVALID_HANDLE},
    {.name = "POWRPROF", .fails = "powrprof", .error = ERROR_MOD_NOT_FOUND},
    {.name = "the tray menu", .fails = "LoadMenuIndirectW", .error = ERROR_RESOURCE_DATA_NOT_FOUND},
    {.name = "the placeholder icon", .fails = "LoadImageW", .error = ERROR_RESOURCE_TYPE_NOT_FOUND},
    {.name = "the placeholder icon, failing without a reason",
     .fails = "LoadImageW",
     .exitCode = static_cast<DWORD>(E_UNEXPECTED)},
    {.name = "the fast timer", .fails = "CreateWaitableTimerW", .error = ERROR_NO_SYSTEM_RESOURCES},
    {.name = "the slow timer", .fails = "CreateWaitableTimerW", .call = 2, .error = ERROR_NOT_ENOUGH_QUOTA},
    {.name = "the process table",
     .fails = "HeapAlloc",
     .error = 0xDEADBEEF,
     .exitCode = ERROR_NOT_ENOUGH_MEMORY},
    {.name = "the window class", .fails = "RegisterClassW", .error = ERROR_CLASS_ALREADY_EXISTS},
    {.name = "starting the fast timer", .fails = "timer access", .exitCode = ERROR_ACCESS_DENIED},
    {.name = "starting the slow timer", .fails = "timer access", .call = 2, .exitCode = ERROR_ACCESS_DENIED},
    {.name = "the tray window", .fails = "CreateWindowExW", .error = ERROR_NOT_ENOUGH_MEMORY},
};

class Startup : public IsolatedRegistryTest {};

// A start-up that runs on into its main loop, where nothing here would end it, gets its tray window
// closed by this timer after 5 s.
static bool s_ranOn;
static void CALLBACK CloseTrayWindow(HWND, UINT, UINT_PTR, DWORD) {
    const HWND window = FindWindowW(VELTRANA_TRAY_WINDOW_CLASS, NULL);
    s_ranOn = window && PostMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(Startup, EachFailingStepEndsItWithItsOwnError) {
    char* argv[] = {const_cast<char*>("veltrana"), NULL};
    for (const Step& step : kSteps) {
        SCOPED_TRACE(step.name);
        s_failing = step.fails;
        s_failingCall = step.call;
        s_failingError = step.error;
        s_calls = 0;
        s_ranOn = false;
        const UINT_PTR watchdog = SetTimer(NULL, 0, 5000, CloseTrayWindow);
        EXPECT_EQ(static_cast<int>(step.exitCode ? step.exitCode : step.error), RunProgram(1, argv));
        KillTimer(NULL, watchdog);
        EXPECT_FALSE(s_ranOn) << step.name << " failed, yet start-up ran on into its main loop";
        EXPECT_EQ(NULL, FindWindowW(VELTRANA_TRAY_WINDOW_CLASS, NULL));
        UnregisterClassW(VELTRANA_TRAY_WINDOW_CLASS, GetModuleHandleW(NULL));
    }
}

// Waits up to 20 s for a condition that another thread brings about.
template <typename Condition> static bool Eventually(Condition condition) {
    for (DWORD start = GetTickCount(); !condition(); Sleep(10))
        if (GetTickCount() - start > 20000)
            return false;
    return true;
}

// The stand-in's active scheme, as its store holds it.
static std::wstring ActiveScheme() {
    wchar_t scheme[40] = L"";
    DWORD size = sizeof(scheme);
    RegGetValueW(HKEY_LOCAL_MACHINE, POWERSIM_STORE_KEY, L"active", RRF_RT_REG_SZ, NULL, scheme, &size);
    return scheme;
}
const std::wstring kBalanced = L"{381B4222-F694-41F0-9685-FF5BB260DF2E}";
const std::wstring kHighPerformance = L"{8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C}";

// This test program is on the watch list, so Automatic engages the boost at the first pass. The
// shell's thread waits for that and for the slow timer's retry, then announces the notification
// area and asks the program to end.
TEST_F(Startup, WithoutANotificationAreaItRunsOnAndAddsTheIconWhenTheShellComes) {
    wchar_t self[MAX_PATH];
    DWORD length = MAX_PATH;
    ASSERT_TRUE(QueryFullProcessImageNameW(GetCurrentProcess(), 0, self, &length));
    PutSettingString(L"program#0", self);
    PutSettingDword(L"program#0::enabled", 1);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, POWERSIM_STORE_KEY, L"active", REG_SZ, kBalanced.c_str(),
                    static_cast<DWORD>((kBalanced.size() + 1) * sizeof(wchar_t)));
    s_failing.clear();
    s_trayComesLater = true;
    bool engagedWithoutIcon = false, retried = false;
    std::thread shell([&] {
        HWND window = NULL;
        Eventually([&] { return (window = FindWindowW(VELTRANA_TRAY_WINDOW_CLASS, NULL)) != NULL; });
        engagedWithoutIcon = Eventually([] { return ActiveScheme() == kHighPerformance; });
        retried = Eventually([] { return s_refusedAdds >= 2; });
        SendMessageW(window, RegisterWindowMessageW(VELTRANA_TASKBAR_CREATED_MESSAGE), 0, 0);
        SendMessageW(window, RegisterWindowMessageW(VELTRANA_TERMINATE_MESSAGE), 0, 0);
    });
    char* argv[] = {const_cast<char*>("veltrana"), NULL};
    EXPECT_EQ(0, RunProgram(1, argv));
    shell.join();
    EXPECT_TRUE(engagedWithoutIcon);
    EXPECT_TRUE(retried); // the start-up's add, and the slow timer's
    EXPECT_EQ(1, s_addsOnAnnouncement);
    EXPECT_EQ(kBalanced, ActiveScheme()); // released at the end
}
