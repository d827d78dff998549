// Start-up inside this process, beside the stand-in power manager: a failure before the main
// loop ends the program with the error at hand, never with success, and leaves no window.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include "app/program.h"
#include "common/names.h"
#include "seams.h"

static DWORD s_mutexError, s_iconAdds; // the error CreateMutexW fails with (0: it works); NIM_ADD calls

struct Fake {
    static HANDLE WINAPI Mutex(LPSECURITY_ATTRIBUTES security, BOOL owned, LPCWSTR name) {
        if (s_mutexError)
            return SetLastError(s_mutexError), HANDLE(NULL);
        return REAL(L"kernel32.dll", CreateMutexW)(security, owned, name);
    }
    static BOOL WINAPI Shell(DWORD action, PNOTIFYICONDATAW) {
        return s_iconAdds += action == NIM_ADD, SetLastError(ERROR_TIMEOUT), FALSE;
    }
    // POWRPROF comes from the system directory; here it is the stand-in that the build made,
    // named by POWERSIM_DLL as a Unix path (drive Z: under Wine).
    static HMODULE WINAPI Load(LPCWSTR name, HANDLE file, DWORD flags) {
        if (lstrcmpiW(name, L"powrprof.dll") != 0)
            return REAL(L"kernel32.dll", LoadLibraryExW)(name, file, flags);
        std::wstring path = L"Z:";
        for (const char* c = getenv("POWERSIM_DLL"); c && *c; ++c)
            path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
        return REAL(L"kernel32.dll", LoadLibraryExW)(path.c_str(), file, 0);
    }
};

SEAM(CreateMutexW, Fake::Mutex);
SEAM(Shell_NotifyIconW, Fake::Shell);
SEAM(LoadLibraryExW, Fake::Load);

TEST(Startup, FailuresBeforeTheMainLoopEndWithTheirError) {
    // The first start takes the single-instance mutex, so the failure of the mutex comes first.
    // What fails, CreateMutexW's error, the exit code, and the attempts to add the icon.
    const std::tuple<const char*, DWORD, int, DWORD> cases[] = {
        {"CreateMutexW", ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE, 0},
        {"the tray refusing the icon", 0, ERROR_TIMEOUT, 1}};
    for (const auto& [failing, mutexError, exitCode, iconAdds] : cases) {
        s_mutexError = mutexError, s_iconAdds = 0;
        char* argv[] = {const_cast<char*>("veltrana"), NULL};
        EXPECT_EQ(exitCode, RunProgram(1, argv)) << failing;
        EXPECT_EQ(iconAdds, s_iconAdds) << failing;
        EXPECT_EQ(NULL, FindWindowW(VELTRANA_TRAY_WINDOW_CLASS, NULL)) << failing;
    }
}
