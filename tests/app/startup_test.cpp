// Start-up inside this process, beside the stand-in power manager: a failure before the main
// loop ends the program with the error at hand, never with success, and leaves no window.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>

#include "app/program.h"
#include "common/names.h"
#include "seams.h"

namespace {

DWORD s_mutexError; // non-zero: CreateMutexW fails with it
HANDLE s_mutex;     // the one it made, closed after each case so that the next start is the first
int s_adds;

HANDLE WINAPI FailingCreateMutex(LPSECURITY_ATTRIBUTES security, BOOL owned, LPCWSTR name) {
    if (s_mutexError) {
        SetLastError(s_mutexError);
        return NULL;
    }
    return s_mutex = REAL(L"kernel32.dll", CreateMutexW)(security, owned, name);
}

BOOL WINAPI RefusingShell(DWORD action, PNOTIFYICONDATAW) {
    s_adds += action == NIM_ADD;
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
}

// The program takes POWRPROF from the system directory; here it gets the stand-in that the build
// made instead, named by POWERSIM_DLL as a Unix path (drive Z: under Wine).
HMODULE WINAPI StandInPowrprof(LPCWSTR name, HANDLE file, DWORD flags) {
    if (lstrcmpiW(name, L"powrprof.dll") != 0)
        return REAL(L"kernel32.dll", LoadLibraryExW)(name, file, flags);
    std::wstring path = L"Z:";
    for (const char* c = getenv("POWERSIM_DLL"); c && *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return REAL(L"kernel32.dll", LoadLibraryExW)(path.c_str(), file, 0);
}

} // namespace

SEAM(CreateMutexW, FailingCreateMutex);
SEAM(Shell_NotifyIconW, RefusingShell);
SEAM(LoadLibraryExW, StandInPowrprof);

TEST(Startup, FailuresBeforeTheMainLoopEndWithTheirError) {
    const struct {
        const char* name;
        DWORD mutexError;
        int exitCode, iconAdds;
    } cases[] = {
        {"CreateMutexW fails", ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE, 0},
        {"the tray refuses the icon", 0, ERROR_TIMEOUT, 1},
    };
    for (const auto& c : cases) {
        s_mutexError = c.mutexError;
        s_adds = 0;
        char name[] = "veltrana";
        char* argv[] = {name, NULL};
        SetLastError(0);
        EXPECT_EQ(c.exitCode, RunProgram(1, argv)) << c.name;
        EXPECT_EQ(c.iconAdds, s_adds) << c.name;
        EXPECT_EQ(NULL, FindWindowW(VELTRANA_TRAY_WINDOW_CLASS, NULL)) << c.name;
        if (s_mutex)
            CloseHandle(s_mutex);
        s_mutex = NULL;
        UnregisterClassW(VELTRANA_TRAY_WINDOW_CLASS, GetModuleHandleW(NULL));
    }
}
