// What the tray icon costs: one idle renderer tick (nothing changed), one repaint, and the
// two system calls every tick makes, measured in the same run and interleaved so that the
// machine's load weighs on all three alike. Prints plain "name: value" lines.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include "common/flags.h"
#include "icon/cell_layout.h"
#include "icon/renderer.h"
#include "icon/renderer_state.h"
#include "power/power_functions.h"

namespace {

const int kRounds = 25;
const int kCallsPerRound = 400;   // idle ticks and system-call pairs
const int kRepaintsPerRound = 40; // repaints are dearer
const UINT kIconId = 1;

HWND g_window;
HICON g_shown;            // the icon the benchmark's tray icon shows
LARGE_INTEGER g_trayTime; // spent in the tray update, summed

// The tray call as the program makes it, on the benchmark's own tray icon.
NOTIFYICONDATAW TrayData(HICON icon) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = g_window;
    data.uID = kIconId;
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    return data;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency) {
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

int CompareDoubles(const void* a, const void* b) {
    const double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

double Median(double* values, int count) {
    qsort(values, count, sizeof(double), CompareDoubles);
    return values[count / 2];
}

// One tick as the program's main loop makes it: a new icon goes to the tray, then the old one
// is destroyed. True when the tick painted.
bool Tick() {
    HICON icon = RenderTrayIcon();
    if (!icon)
        return false;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    NOTIFYICONDATAW data = TrayData(icon);
    Shell_NotifyIconW(NIM_MODIFY, &data);
    QueryPerformanceCounter(&end);
    g_trayTime.QuadPart += end.QuadPart - start.QuadPart;
    if (g_shown)
        DestroyIcon(g_shown);
    g_shown = icon;
    return true;
}

} // namespace

int main() {
    g_power.CallNtPowerInformation = CallNtPowerInformation;
    g_window = CreateWindowExW(0, L"STATIC", L"icon bench", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    NOTIFYICONDATAW added = TrayData(LoadIconW(NULL, IDI_APPLICATION));
    const bool trayAdded = Shell_NotifyIconW(NIM_ADD, &added) != FALSE;
    ComputeCellLayout();
    for (int i = 0; i < 10; ++i) // the forced first repaint, then the snapshot settles
        Tick();

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double idle[kRounds], repaint[kRounds], tray[kRounds], calls[kRounds];
    int idleRepaints = 0;
    static ProcessorReading table[kMaxProcessors];
    for (int round = 0; round < kRounds; ++round) {
        // Nothing changes between ticks here. A tight loop keeps the machine busy, which
        // would repaint every fifth unchanged tick in the activity colour; keeping the
        // unchanged-tick count low measures the tick that decides not to paint.
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kCallsPerRound; ++i) {
            g_unchangedTicks = 0;
            idleRepaints += Tick();
        }
        QueryPerformanceCounter(&end);
        idle[round] = Seconds(start, end, frequency) / kCallsPerRound;

        g_trayTime.QuadPart = 0;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kRepaintsPerRound; ++i) {
            g_forceRedraw = 1;
            Tick();
        }
        QueryPerformanceCounter(&end);
        repaint[round] = Seconds(start, end, frequency) / kRepaintsPerRound;
        tray[round] = double(g_trayTime.QuadPart) / double(frequency.QuadPart) / kRepaintsPerRound;

        QueryPerformanceCounter(&start);
        for (int i = 0; i < kCallsPerRound; ++i) {
            FILETIME idleTime, kernelTime, userTime;
            CallNtPowerInformation(ProcessorInformation, NULL, 0, table, sizeof(table));
            GetSystemTimes(&idleTime, &kernelTime, &userTime);
        }
        QueryPerformanceCounter(&end);
        calls[round] = Seconds(start, end, frequency) / kCallsPerRound;
        Tick(); // the snapshot follows the forced repaints again
    }

    const double idleTick = Median(idle, kRounds), repaintTick = Median(repaint, kRounds);
    const double trayUpdate = Median(tray, kRounds);
    const double twoCalls = Median(calls, kRounds);
    printf("processors: %u, icon: %d x %d, tray icon: %s\n", g_processorCount, g_iconWidth, g_iconHeight,
           trayAdded ? "shown" : "not shown");
    printf("rounds: %d of %d idle ticks, %d repaints and %d call pairs each (medians below)\n", kRounds,
           kCallsPerRound, kRepaintsPerRound, kCallsPerRound);
    printf("idle tick: %.2f us\n", idleTick * 1e6);
    printf("repaint: %.2f us\n", repaintTick * 1e6);
    printf("repaint without the tray update: %.2f us\n", (repaintTick - trayUpdate) * 1e6);
    printf("two system calls: %.2f us\n", twoCalls * 1e6);
    printf("ratio idle tick / two calls: %.3f (goal <= 1.2)\n", idleTick / twoCalls);
    printf("idle ticks that repainted: %d\n", idleRepaints);

    if (trayAdded)
        Shell_NotifyIconW(NIM_DELETE, &added);
    DestroyIcon(g_shown);
    DestroyWindow(g_window);
    return 0;
}
