#include "icon/renderer.h"

#include <string.h>
#include "common/flags.h"
#include "common/system_library.h"
#include "icon/cell_layout.h"
#include "icon/processor_performance.h"
#include "icon/renderer_state.h"
#include "power/power_functions.h"
#include "settings/settings.h"

ProcessorReading g_powerTable[kMaxProcessors];
ProcessorReading g_powerSnapshot[kMaxProcessors];
UINT g_unchangedTicks;
ULONGLONG g_previousIdleTime;
ULONGLONG g_previousKernelTime;
ULONGLONG g_previousUserTime;

static_assert(sizeof(g_powerTable) == 1536, "64 PROCESSOR_POWER_INFORMATION records");

namespace {

const UINT kBusyPercent = 95; // above this the whole grid takes the activity colour
const LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);
const DWORD kMostRecords = 4096; // far more processors than Windows supports
const WORD kAllGroups = 0xFFFF;  // ALL_PROCESSOR_GROUPS
const UINT kSettledTicks = 4;    // ... once the readings stayed unchanged for more ticks than this

// Windows lists the processors in no promised order; the cells follow processor numbers.
void SortByNumber(ProcessorReading* readings, UINT count) {
    for (UINT i = 1; i < count; ++i) {
        if (readings[i - 1].Number <= readings[i].Number)
            continue;
        const ProcessorReading moving = readings[i];
        UINT j = i;
        for (; j > 0 && readings[j - 1].Number > moving.Number; --j)
            readings[j] = readings[j - 1];
        readings[j] = moving;
    }
}

// CallNtPowerInformation fills a record for every processor installed, in every group, and fails
// without room for all of them. The block is made once, for at least the table's 64 records, and
// grows only when Windows asks for more (a processor added while running).
ProcessorReading* s_allReadings = g_powerTable;
DWORD s_allRecords = kMaxProcessors;

// Windows 7 on; before it there is one group, which GetSystemInfo counts.
DWORD InstalledProcessors() {
    ActiveProcessorCountFn count;
    if (FindFunction(GetModuleHandleW(L"KERNEL32"), "GetActiveProcessorCount", &count))
        return count(kAllGroups);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    return system.dwNumberOfProcessors;
}

// Room for `records` records; false when the heap has none, and the old block stays.
bool MakeRoom(DWORD records) {
    void* block = HeapAlloc(GetProcessHeap(), 0, records * sizeof(ProcessorReading));
    if (!block)
        return false;
    if (s_allReadings != g_powerTable)
        HeapFree(GetProcessHeap(), 0, s_allReadings);
    s_allReadings = static_cast<ProcessorReading*>(block);
    s_allRecords = records;
    return true;
}

// Every installed processor's reading; the first 64, the program's own, land in g_powerTable.
LONG ReadProcessors() {
    static bool sized;
    if (!sized) {
        sized = true;
        const DWORD installed = InstalledProcessors();
        if (installed > kMaxProcessors && installed <= kMostRecords)
            MakeRoom(installed);
    }
    LONG status;
    while ((status = g_power.CallNtPowerInformation(ProcessorInformation, NULL, 0, s_allReadings,
                                                    s_allRecords * sizeof(ProcessorReading))) ==
               kStatusBufferTooSmall &&
           s_allRecords < kMostRecords && MakeRoom(s_allRecords * 2)) {
    }
    if (status == 0 && s_allReadings != g_powerTable)
        memcpy(g_powerTable, s_allReadings, sizeof(g_powerTable));
    return status;
}

ULONGLONG FileTimeValue(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Paints the icon from this tick's readings. The buffers are temporaries on the stack, sized
// by the icon.
HICON Repaint(bool activity) {
    g_unchangedTicks = 0;
    const int width = g_iconWidth;
    const int height = g_iconHeight;
    if (width <= 0 || height <= 0)
        return NULL; // no icon size: nothing to paint and no bitmap to make
    // A one-bit bitmap's rows are padded to 16 bits; the mask stays all zero.
    const size_t colourBytes = static_cast<size_t>(width) * height * sizeof(DWORD);
    const size_t maskBytes = static_cast<size_t>((width + 15) / 16 * 2) * height;
    DWORD* colours = static_cast<DWORD*>(__builtin_alloca(colourBytes));
    BYTE* mask = static_cast<BYTE*>(__builtin_alloca(maskBytes));
    memset(colours, 0, colourBytes);
    memset(mask, 0, maskBytes);

    // The performance counter, where there is a reading, says more than CurrentMhz: it is
    // painted as a clock against the highest performance seen.
    ProcessorReading shown[kMaxProcessors];
    const UINT count = g_processorCount < kMaxProcessors ? g_processorCount : UINT(kMaxProcessors);
    for (UINT i = 0; i < count; ++i) {
        shown[i] = g_powerTable[i];
        DWORD current, maximum;
        if (ProcessorPerformance(shown[i].Number, &current, &maximum)) {
            shown[i].CurrentMhz = current;
            shown[i].MaxMhz = maximum;
        }
    }
    const IconColors colors = {g_colorBorder, g_colorFrequency, g_colorActive, g_colorShadow};
    PaintCells(reinterpret_cast<uint32_t*>(colours), width, height, shown, g_cells, count, colors, g_borders,
               activity);

    HBITMAP colourBitmap = CreateBitmap(width, height, 1, 32, colours);
    if (colourBitmap == NULL)
        return NULL;
    HBITMAP maskBitmap = CreateBitmap(width, height, 1, 1, mask);
    if (maskBitmap == NULL) {
        DeleteObject(colourBitmap);
        return NULL;
    }
    ICONINFO info = {TRUE, 0, 0, maskBitmap, colourBitmap};
    HICON icon = CreateIconIndirect(&info);
    // The icon holds copies of both bitmaps.
    DeleteObject(maskBitmap);
    DeleteObject(colourBitmap);
    return icon;
}

} // namespace

HICON RenderTrayIcon() {
    if (ReadProcessors() != 0)
        return NULL;
    UINT count = g_processorCount;
    if (count > kMaxProcessors)
        count = kMaxProcessors;
    SortByNumber(g_powerTable, count);

    // Only the clock and the idle state show in the icon, so only they count as a change, and
    // a new reading of the performance counter. A forced repaint leaves the snapshot alone.
    bool changed = TakePerformanceChange();
    if (g_forceRedraw) {
        g_forceRedraw = 0;
        changed = true;
    } else {
        for (UINT i = 0; i < count; ++i) {
            if (g_powerTable[i].CurrentMhz != g_powerSnapshot[i].CurrentMhz ||
                g_powerTable[i].CurrentIdleState != g_powerSnapshot[i].CurrentIdleState)
                changed = true;
            g_powerSnapshot[i] = g_powerTable[i];
        }
        if (!changed)
            ++g_unchangedTicks;
    }

    FILETIME idle = {0, 0};
    FILETIME kernel = {0, 0};
    FILETIME user = {0, 0};
    GetSystemTimes(&idle, &kernel, &user);
    const ULONGLONG idleTime = FileTimeValue(idle);
    const ULONGLONG kernelTime = FileTimeValue(kernel);
    const ULONGLONG userTime = FileTimeValue(user);
    // Kernel time includes idle time; both wrap alike when a reading is lost.
    const ULONGLONG totalDelta = kernelTime + userTime - g_previousKernelTime - g_previousUserTime;
    const ULONGLONG idleDelta = idleTime - g_previousIdleTime;
    g_previousIdleTime = idleTime;
    g_previousKernelTime = kernelTime;
    g_previousUserTime = userTime;

    bool activity = false;
    if (totalDelta != 0) {
        // More idle than elapsed time (a lost or skewed reading) is an idle machine, not a
        // busy percentage wrapped past zero.
        const UINT idlePercent = static_cast<UINT>(idleDelta * 100 / totalDelta);
        const UINT busyPercent = idleDelta > totalDelta ? 0 : 100 - idlePercent;
        activity = g_unchangedTicks > kSettledTicks && busyPercent > kBusyPercent;
    }

    if (activity || changed)
        return Repaint(activity);
    return NULL;
}

bool FindFastestProcessor(FastestProcessor* fastest) {
    const UINT count = g_processorCount < kMaxProcessors ? g_processorCount : UINT(kMaxProcessors);
    bool found = false, counter = false;
    const bool hybrid = g_efficiencyClasses > 1;
    for (UINT i = 0; i < count; ++i) {
        const ProcessorReading& reading = g_powerTable[i];
        double percent;
        // A processor the counter reads outranks every one it does not.
        if (ProcessorPercent(reading.Number, &percent)) {
            if (!counter || percent > fastest->percent)
                *fastest = {reading.Number, percent, hybrid ? 0 : reading.MaxMhz, -1};
            found = counter = true;
        } else if (!counter && reading.CurrentMhz != 0 && (!found || reading.CurrentMhz > fastest->mhz)) {
            *fastest = {reading.Number, -1.0, reading.CurrentMhz, -1};
            found = true;
        }
    }
    if (found && hybrid && fastest->number < kMaxProcessors)
        fastest->efficiencyClass = g_processorClass[fastest->number];
    return found;
}
