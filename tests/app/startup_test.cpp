// Start-up inside this process, beside the stand-in power manager, with a notification area
// that refuses the icon: the program must end with the error at hand, not run on unseen.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include "app/program.h"

namespace {

int s_adds;

BOOL WINAPI RefusingShell(DWORD action, PNOTIFYICONDATAW) {
    if (action == NIM_ADD)
        ++s_adds;
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
}

} // namespace

extern "C" {
void* __imp_Shell_NotifyIconW = reinterpret_cast<void*>(&RefusingShell);
}

TEST(Startup, RefusedTrayIconEndsStartupWithTheErrorAtHand) {
    char name[] = "veltrana";
    char* argv[] = {name, NULL};
    SetLastError(0);
    int code = RunProgram(1, argv);
    EXPECT_EQ(1, s_adds);
    // The window's creation failed, so start-up ended before the main loop with the error
    // that was current then.
    EXPECT_EQ(static_cast<int>(ERROR_TIMEOUT), code);
    EXPECT_EQ(NULL, FindWindowW(L"BLANK", L""));
}
