#include "icon/cell_layout.h"

#include "common/flags.h"
#include "settings/settings.h"

int g_iconWidth;
int g_iconHeight;
int g_iconPixelCount;
UINT g_processorCount = 1;
CellRecord g_cells[kMaxProcessors];

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
    UINT count = system.dwNumberOfProcessors;
    if (count > kMaxProcessors)
        count = kMaxProcessors;
    if (count == 0)
        count = 1;
    g_processorCount = count;

    ProcessorTopology topology = {false, 0, 1};
    if (count >= 4) {
        // Six records per processor cover its core, caches and package; the buffer lives on
        // the stack for this call only.
        SYSTEM_LOGICAL_PROCESSOR_INFORMATION records[kMaxProcessors * 6];
        DWORD length = count * 6 * sizeof(records[0]);
        if (GetLogicalProcessorInformation(records, &length)) {
            if (length > sizeof(records))
                length = sizeof(records);
            topology = ReadProcessorTopology(records, length, sizeof(ULONG_PTR));
        }
    }

    LayoutCells(count, topology, g_iconWidth, g_iconHeight, g_borders, g_cells);
    g_forceRedraw = 1;
    return true;
}
