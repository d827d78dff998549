// The floor of an idle tray program under Wine: a hidden window and the same two periodic
// waitable timers (50 ms and 450 ms) waited on with MsgWaitForMultipleObjectsEx, the queue
// drained after every wake, and no work at all. scripts/idle-cost runs it beside veltrana.exe
// for the same minute, so that what the program spends on its own work shows apart from what
// every such wait costs under Wine.
#include <windows.h>

int main() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"IdleFloor";
    RegisterClassW(&windowClass);
    CreateWindowExW(0, L"IdleFloor", L"", 0, 0, 0, 0, 0, NULL, NULL, windowClass.hInstance, NULL);
    HANDLE timers[2] = {CreateWaitableTimerW(NULL, FALSE, NULL), CreateWaitableTimerW(NULL, FALSE, NULL)};
    LARGE_INTEGER due;
    due.QuadPart = -500000;
    SetWaitableTimer(timers[0], &due, 50, NULL, NULL, FALSE);
    due.QuadPart = -4500000;
    SetWaitableTimer(timers[1], &due, 450, NULL, NULL, FALSE);
    for (;;) {
        DWORD result = MsgWaitForMultipleObjectsEx(2, timers, INFINITE, QS_ALLINPUT, 0);
        if (result > WAIT_OBJECT_0 + 2)
            return 1;
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return 0;
            DispatchMessageW(&message);
        }
    }
}
