// What one Automatic-mode pass costs when nothing changed, with 300 tracked processes, next
// to its floor: the one EnumProcesses and the ceil(n / 64) zero-timeout waits that any such
// pass must make. Both are measured interleaved in the same run. The 300 processes are
// stand-ins (event handles that never signal, and ids that the enumeration reports beside the
// real ones), so the benchmark needs no 300 real processes.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "resources/localized.h"
#include "icon/processor_performance.h"
#include "watcher/process_scan.h"
#include "watcher/process_table.h"

namespace {

const DWORD kStandIns = 300;
const int kRounds = 25;
const int kPassesPerRound = 200;
DWORD s_standInIds[kStandIns];
HANDLE s_standInHandles[kStandIns];

int CompareDoubles(const void* a, const void* b) {
    const double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

} // namespace

// The system's list with the stand-ins' ids after it: what a machine with 300 more
// processes would report.
extern "C" BOOL WINAPI EnumProcesses(DWORD* ids, DWORD bytes, DWORD* returned) {
    static auto real = reinterpret_cast<BOOL(WINAPI*)(DWORD*, DWORD, DWORD*)>(
        reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryW(L"psapi.dll"), "EnumProcesses")));
    if (!real(ids, bytes, returned))
        return FALSE;
    DWORD count = *returned / sizeof(DWORD);
    for (DWORD i = 0; i < kStandIns && count < bytes / sizeof(DWORD); ++i)
        ids[count++] = s_standInIds[i];
    *returned = count * sizeof(DWORD);
    return TRUE;
}

int main() {
    g_preferredLanguage = 0x0409;
    g_trayMenu = LoadTrayMenu();
    CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
    // A few watched programs, none of them running.
    for (UINT slot = 0; slot < 5; ++slot)
        g_watchList[slot].path = DuplicateString(L"C:\\Games\\NotRunning.exe");
    if (!CreateProcessTable())
        return 1;
    // The stand-ins fill the table first, as processes seen in earlier passes.
    for (DWORD i = 0; i < kStandIns; ++i) {
        s_standInIds[i] = 0x70000000 + 4 * i;
        s_standInHandles[i] = CreateEventW(NULL, TRUE, FALSE, NULL);
    }
    SIZE_T capacity = HeapSize(GetProcessHeap(), 0, g_processTable) / sizeof(TrackedProcess);
    while (capacity < kStandIns) {
        g_processTable = static_cast<TrackedProcess*>(HeapReAlloc(
            GetProcessHeap(), HEAP_ZERO_MEMORY, g_processTable, 2 * capacity * sizeof(TrackedProcess)));
        capacity *= 2;
    }
    for (DWORD i = 0; i < kStandIns; ++i)
        g_processTable[i] = {s_standInIds[i], s_standInHandles[i],
                             DuplicateString(L"C:\\Other\\Process.exe")};
    ScanProcesses(); // tracks the real processes too; from now on nothing changes

    SIZE_T tracked = 0;
    capacity = HeapSize(GetProcessHeap(), 0, g_processTable) / sizeof(TrackedProcess);
    HANDLE* handles = static_cast<HANDLE*>(HeapAlloc(GetProcessHeap(), 0, capacity * sizeof(HANDLE)));
    for (SIZE_T i = 0; i < capacity; ++i)
        if (g_processTable[i].id)
            handles[tracked++] = g_processTable[i].handle;
    DWORD* ids = static_cast<DWORD*>(HeapAlloc(GetProcessHeap(), 0, 64 * 1024));

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // The slow pass also collects the performance counter (the stand-in PDH under Wine): its first
    // collection has no value yet.
    SampleProcessorPerformance();
    double passes[kRounds], floors[kRounds], samples[kRounds];
    for (int round = 0; round < kRounds; ++round) {
        LARGE_INTEGER a, b, c, d;
        QueryPerformanceCounter(&a);
        for (int i = 0; i < kPassesPerRound; ++i)
            ScanProcesses();
        QueryPerformanceCounter(&b);
        for (int i = 0; i < kPassesPerRound; ++i) {
            DWORD returned;
            EnumProcesses(ids, 64 * 1024, &returned);
            for (SIZE_T at = 0; at < tracked; at += MAXIMUM_WAIT_OBJECTS) {
                DWORD count = static_cast<DWORD>(tracked - at < MAXIMUM_WAIT_OBJECTS ? tracked - at
                                                                                     : MAXIMUM_WAIT_OBJECTS);
                WaitForMultipleObjects(count, handles + at, FALSE, 0);
            }
        }
        QueryPerformanceCounter(&c);
        for (int i = 0; i < kPassesPerRound; ++i)
            SampleProcessorPerformance();
        QueryPerformanceCounter(&d);
        passes[round] = double(b.QuadPart - a.QuadPart) / frequency.QuadPart / kPassesPerRound * 1e6;
        floors[round] = double(c.QuadPart - b.QuadPart) / frequency.QuadPart / kPassesPerRound * 1e6;
        samples[round] = double(d.QuadPart - c.QuadPart) / frequency.QuadPart / kPassesPerRound * 1e6;
    }
    qsort(passes, kRounds, sizeof(double), CompareDoubles);
    qsort(floors, kRounds, sizeof(double), CompareDoubles);
    qsort(samples, kRounds, sizeof(double), CompareDoubles);
    double pass = passes[kRounds / 2], floor = floors[kRounds / 2], sample = samples[kRounds / 2];
    DWORD current, maximum;
    const bool counted = ProcessorPerformance(0, &current, &maximum);
    printf("tracked processes: %u\n", static_cast<unsigned>(tracked));
    printf("pass with nothing changed: %.2f us (median of %d rounds)\n", pass, kRounds);
    printf("floor (EnumProcesses + %u zero-timeout waits): %.2f us\n",
           static_cast<unsigned>((tracked + MAXIMUM_WAIT_OBJECTS - 1) / MAXIMUM_WAIT_OBJECTS), floor);
    printf("ratio pass / floor: %.2f (goal <= 1.3)\n", pass / floor);
    printf("performance counter collection: %.2f us (%s), so the slow pass with it: %.2f us\n", sample,
           counted ? "with readings" : "no counter: retried once a minute", pass + sample);
    return 0;
}
