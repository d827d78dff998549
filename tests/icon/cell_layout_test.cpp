// The cell layout as read from Windows: the icon size, the processor count and the topology come
// from seams. Where cells go for a given count and topology is the native tier's business; here
// each layout must be the one the core gives for what the system reported.
#include <gtest/gtest.h>

#include "common/flags.h"
#include "icon/cell_layout.h"
#include "seams.h"
#include "settings/settings.h"

static DWORD s_processors, s_cores, s_threads; // what the system reports; no cores: the query fails
static DWORD s_queried;                        // the buffer length the topology query was given

struct Fake {
    static int WINAPI Metrics(int index) {
        return index == SM_CXSMICON   ? 20
               : index == SM_CYSMICON ? 18
                                      : REAL(L"user32.dll", GetSystemMetrics)(index);
    }
    static void WINAPI SystemInfo(LPSYSTEM_INFO info) {
        *info = {};
        info->dwNumberOfProcessors = s_processors;
    }
    // A core record for each core, each followed by a cache record, as Windows lists them.
    static BOOL WINAPI Topology(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION out, PDWORD length) {
        s_queried = *length;
        if (s_cores == 0 || *length < 2 * s_cores * sizeof(*out)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        *length = 2 * s_cores * sizeof(*out);
        for (DWORD i = 0, core = (1u << s_threads) - 1; i < 2 * s_cores; ++i)
            out[i] = {core << (i / 2 * s_threads % 32), i % 2 ? RelationCache : RelationProcessorCore, {}};
        return TRUE;
    }
};

SEAM(GetSystemMetrics, Fake::Metrics);
SEAM(GetSystemInfo, Fake::SystemInfo);
SEAM(GetLogicalProcessorInformation, Fake::Topology);

TEST(CellLayout, IconMetricsAreReadBeforeStartUp) {
    EXPECT_EQ(std::make_tuple(20, 18, 360), std::make_tuple(g_iconWidth, g_iconHeight, g_iconPixelCount));
}

TEST(CellLayout, LayoutFollowsTheReportedProcessorsAndTopology) {
    const DWORD kBuffer = 6 * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION); // per processor
    const std::tuple<DWORD, DWORD, DWORD, DWORD, UINT, DWORD, ProcessorTopology> cases[] = {
        // processors, cores, threads per core, borders: processors shown, topology buffer, topology
        {3, 1, 3, 1, 3, 0, {false, 0, 1, 0}}, // up to three processors: no query
        {16, 8, 2, 1, 16, 16 * kBuffer, {true, 8, 2, 16}},
        {12, 6, 2, 0, 12, 12 * kBuffer, {true, 6, 2, 12}},
        {16, 0, 0, 1, 16, 16 * kBuffer, {false, 0, 1, 0}}, // the query fails: a row per processor
        {96, 32, 2, 1, 64, 64 * kBuffer, {true, 32, 2, 64}},
        // A 32-bit program on a 48-thread machine: 32 processors, but the topology lists every
        // core (its masks folded onto 32 bits). The grid is built for the processors shown.
        {32, 24, 2, 1, 32, 32 * kBuffer, {false, 0, 1, 0}},
        {1, 1, 1, 1, 1, 0, {false, 0, 1, 0}},
        {1, 1, 1, 0, 1, 0, {false, 0, 1, 0}}, // no borders: the cell moves
    };
    for (const auto& [processors, cores, threads, borders, count, queried, topology] : cases) {
        SCOPED_TRACE(testing::Message() << processors << " processors, borders " << borders);
        s_processors = processors;
        s_cores = cores;
        s_threads = threads;
        g_borders = borders;
        s_queried = 0;
        g_forceRedraw = 0;
        EXPECT_TRUE(ComputeCellLayout() && g_forceRedraw); // every layout asks for a full repaint
        EXPECT_EQ(queried, s_queried);
        ASSERT_EQ(count, g_processorCount);
        CellRecord expected[kMaxProcessors];
        LayoutCells(count, topology, 20, 18, borders, expected);
        EXPECT_EQ(0, memcmp(expected, g_cells, count * sizeof(CellRecord)));
    }
}
