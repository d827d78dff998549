#include "icon/cell_layout.h"

#include <stddef.h>

#include "common/flags.h"
#include "common/system_library.h"
#include "settings/settings.h"

int g_iconWidth;
int g_iconHeight;
int g_iconPixelCount;
UINT g_processorCount = 1;
CellRecord g_cells[kMaxProcessors];
UINT g_efficiencyClasses;
BYTE g_processorClass[kMaxProcessors];

// The core records are read by their documented offsets (older headers lack EfficiencyClass, the
// byte after Flags): the header's layout of the rest must agree.
const size_t kCoreMaskAt = offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor) +
                           offsetof(PROCESSOR_RELATIONSHIP, GroupMask);
static_assert(kCoreMaskAt == 32, "offset of a core's GROUP_AFFINITY");
static_assert(offsetof(GROUP_AFFINITY, Group) == sizeof(void*), "offset of its group");

namespace {

// The efficiency class of each core (Windows 10 on; elsewhere every core has class 0). The
// field is read at its documented offset, as older headers lack it.
void ReadCoreClasses(UINT count, ProcessorTopology* topology) {
    HMODULE kernel = GetModuleHandleW(L"KERNEL32");
    LogicalProcessorInformationExFn query;
    DWORD bytes = 0;
    if (!FindFunction(kernel, "GetLogicalProcessorInformationEx", &query) ||
        query(RelationProcessorCore, NULL, &bytes) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return;
    BYTE* records = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (records && query(RelationProcessorCore,
                         reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(records), &bytes))
        ReadEfficiencyClasses(records, bytes, sizeof(ULONG_PTR), OwnProcessorGroup(), count, topology);
    HeapFree(GetProcessHeap(), 0, records);
}

} // namespace

WORD OwnProcessorGroup() {
    ThreadGroupAffinityFn threadAffinity;
    GROUP_AFFINITY own = {};
    if (FindFunction(GetModuleHandleW(L"KERNEL32"), "GetThreadGroupAffinity", &threadAffinity))
        threadAffinity(GetCurrentThread(), &own);
    return own.Group;
}

// The topology walk reads the records by the layout of this build.
static_assert(sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) == (sizeof(void*) == 8 ? 32 : 24),
              "record size of the topology query");

void InitIconMetrics() {
    // Sides beyond 255 cannot be laid out in byte-sized cells and would make the repaint's
    // stack buffers needlessly large; a failing query (0) leaves an icon with no pixels.
    g_iconWidth = ClampIconSide(GetSystemMetrics(SM_CXSMICON));
    g_iconHeight = ClampIconSide(GetSystemMetrics(SM_CYSMICON));
    g_iconPixelCount = g_iconWidth * g_iconHeight;
}

// The icon size is known before the start-up routine runs.
static const int s_iconMetricsRead = (InitIconMetrics(), 0);

bool ComputeCellLayout() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    // A 32-bit program sees at most 32 processors (Windows folds the rest onto those bits), a
    // 64-bit one at most 64.
    const UINT shown = sizeof(ULONG_PTR) * 8 < kMaxProcessors ? sizeof(ULONG_PTR) * 8 : UINT(kMaxProcessors);
    UINT count = system.dwNumberOfProcessors;
    if (count > shown)
        count = shown;
    if (count == 0)
        count = 1;
    g_processorCount = count;

    ProcessorTopology topology = {false, 0, 1, 0};
    if (count >= 4) {
        // Six records per processor cover its core, caches and package; the buffer lives on
        // the stack for this call only.
        SYSTEM_LOGICAL_PROCESSOR_INFORMATION records[kMaxProcessors * 6];
        DWORD length = count * 6 * sizeof(records[0]);
        if (GetLogicalProcessorInformation(records, &length)) {
            if (length > sizeof(records))
                length = sizeof(records);
            topology = ReadProcessorTopology(records, length, sizeof(ULONG_PTR));
            // Under WOW64 the query lists every core of a machine with more processors than
            // the program is shown: such a topology is not the grid's.
            if (topology.processors != count)
                topology.known = false;
        }
        if (topology.known)
            ReadCoreClasses(count, &topology);
    }
    g_efficiencyClasses = topology.classes > 1 ? topology.classes : 1;
    for (UINT i = 0; i < kMaxProcessors; ++i)
        g_processorClass[i] = topology.classes > 1 ? topology.efficiencyClass[i] : 0;

    LayoutCells(count, topology, g_iconWidth, g_iconHeight, g_borders, g_cells);
    g_forceRedraw = 1;
    return true;
}
