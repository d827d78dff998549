// The floor of an idle tray program under Wine: a hidden window and the same two periodic
// waitable timers (50 ms and 450 ms) waited on with MsgWaitForMultipleObjectsEx, the queue
// drained after every wake, and on every 50 ms wake the two system calls an icon tick cannot
// do without (the processors' clocks and the system times), nothing else. POWRPROF comes from
// the system directory, as the program takes it. scripts/idle-cost runs it beside
// veltrana.exe, so that what the program spends on its own work shows apart from what every
// such loop costs.
#include <windows.h>
#include <powrprof.h>

#include "common/system_library.h"

int main() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"IdleFloor";
    RegisterClassW(&windowClass);
    CreateWindowExW(0, L"IdleFloor", L"", 0, 0, 0, 0, 0, NULL, NULL, windowClass.hInstance, NULL);
    decltype(&CallNtPowerInformation) readClocks;
    if (!FindFunction(LoadSystemLibrary(L"powrprof.dll"), "CallNtPowerInformation", &readClocks))
        return 127;
    HANDLE timers[2] = {CreateWaitableTimerW(NULL, FALSE, NULL), CreateWaitableTimerW(NULL, FALSE, NULL)};
    LARGE_INTEGER due;
    due.QuadPart = -500000;
    SetWaitableTimer(timers[0], &due, 50, NULL, NULL, FALSE);
    due.QuadPart = -4500000;
    SetWaitableTimer(timers[1], &due, 450, NULL, NULL, FALSE);
    static DWORD clocks[64 * 6]; // 64 PROCESSOR_POWER_INFORMATION records
    for (;;) {
        DWORD result = MsgWaitForMultipleObjectsEx(2, timers, INFINITE, QS_ALLINPUT, 0);
        if (result > WAIT_OBJECT_0 + 2)
            return 1;
        if (result == WAIT_OBJECT_0) {
            FILETIME idle, kernel, user;
            readClocks(ProcessorInformation, NULL, 0, clocks, sizeof(clocks));
            GetSystemTimes(&idle, &kernel, &user);
        }
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return 0;
            DispatchMessageW(&message);
        }
    }
}
