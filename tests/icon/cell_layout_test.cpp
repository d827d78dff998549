// The cell layout read from the system: processor count and topology made up by the test.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include "icon/cell_layout.h"
#include "settings/settings.h"

namespace {

DWORD g_processors;              // 0: what the system says
DWORD g_cores, g_threadsPerCore; // what the topology query says
bool g_topologyFails;
int g_topologyCalls;
DWORD g_topologyLength; // the buffer length the query was given

template <typename F> F Real(const wchar_t* dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(dll), name)));
}

void WINAPI FakeGetSystemInfo(LPSYSTEM_INFO info) {
    static const auto real = Real<decltype(&FakeGetSystemInfo)>(L"kernel32.dll", "GetSystemInfo");
    real(info);
    if (g_processors != 0)
        info->dwNumberOfProcessors = g_processors;
}

// One core record per core, each followed by a cache record, as the query lists them.
BOOL WINAPI FakeGetLogicalProcessorInformation(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION buffer, PDWORD length) {
    ++g_topologyCalls;
    g_topologyLength = *length;
    if (g_topologyFails) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const DWORD needed = 2 * g_cores * sizeof(*buffer);
    EXPECT_LE(needed, *length);
    memset(buffer, 0, needed);
    for (DWORD core = 0; core < g_cores; ++core) {
        const ULONG_PTR mask = ((ULONG_PTR(1) << g_threadsPerCore) - 1) << (core * g_threadsPerCore % 32);
        buffer[2 * core] = {mask, RelationProcessorCore, {}};
        buffer[2 * core + 1] = {mask, RelationCache, {}};
    }
    *length = needed;
    return TRUE;
}

} // namespace

extern "C" {
void* __imp_GetSystemInfo = reinterpret_cast<void*>(&FakeGetSystemInfo);
void* __imp_GetLogicalProcessorInformation = reinterpret_cast<void*>(&FakeGetLogicalProcessorInformation);
}

namespace {

class CellLayoutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_borders = 1;
        g_processors = 0;
        g_topologyFails = false;
        g_topologyCalls = 0;
        g_topologyLength = 0;
        g_forceRedraw = 0;
    }
    // Lays out and checks the grid through the first cells of its first two rows.
    void ExpectLayout(UINT count, int x0, int x1, int y0, int y1, int cols) {
        g_forceRedraw = 0;
        EXPECT_TRUE(ComputeCellLayout());
        EXPECT_EQ(1, g_forceRedraw); // every layout asks for a full repaint
        ASSERT_EQ(count, g_processorCount);
        EXPECT_EQ(x0, g_cells[0].x);
        EXPECT_EQ(x1, g_cells[1].x);
        EXPECT_EQ(y0, g_cells[0].y);
        EXPECT_EQ(y1, g_cells[cols].y);
    }
};

TEST_F(CellLayoutTest, IconMetricsAreReadBeforeStartUp) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), g_iconWidth);
    EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), g_iconHeight);
    EXPECT_EQ(g_iconWidth * g_iconHeight, g_iconPixelCount);
    ASSERT_EQ(16, g_iconWidth) << "the layouts below are for Wine's 16 x 16 small icons";
}

TEST_F(CellLayoutTest, UpToThreeProcessorsSkipTheTopologyQuery) {
    g_processors = 3;
    g_cores = 1;
    g_threadsPerCore = 3;
    ExpectLayout(3, 6, 6, 1, 6, 1);
    EXPECT_EQ(0, g_topologyCalls);
}

TEST_F(CellLayoutTest, TopologyShapesTheGrid) {
    // Sixteen processors on ten cores (six with two threads, four with one): a row per core
    // folds 2 x 10 into 4 x 5.
    g_processors = 16;
    g_cores = 10;
    g_threadsPerCore = 2;
    ExpectLayout(16, 2, 5, 1, 4, 4);
    EXPECT_EQ(1, g_topologyCalls);
    // Six records per processor, of the size this build uses.
    EXPECT_EQ(16 * 6 * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION), g_topologyLength);

    // Without the topology a row per processor folds 1 x 16 into 4 x 4.
    g_topologyFails = true;
    ExpectLayout(16, 2, 5, 2, 5, 4);
    // Six cores with two threads each: 4 x 3.
    g_topologyFails = false;
    g_processors = 12;
    g_cores = 6;
    ExpectLayout(12, 2, 5, 4, 7, 4);
}

TEST_F(CellLayoutTest, MoreThan64ProcessorsCountAs64) {
    g_processors = 96;
    g_cores = 32;
    g_threadsPerCore = 2;
    EXPECT_TRUE(ComputeCellLayout());
    EXPECT_EQ(64u, g_processorCount);
    EXPECT_EQ(64 * 6 * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION), g_topologyLength);
}

TEST_F(CellLayoutTest, BordersSettingMovesTheCell) {
    g_processors = 1;
    const struct {
        DWORD borders;
        int at, size;
    } cases[] = {{1, 1, 14}, {0, 0, 15}, {1, 1, 14}};
    for (const auto& c : cases) {
        g_borders = c.borders;
        g_forceRedraw = 0;
        EXPECT_TRUE(ComputeCellLayout());
        EXPECT_EQ(1, g_forceRedraw) << "also when nothing moved";
        EXPECT_EQ(c.at, g_cells[0].x);
        EXPECT_EQ(c.at, g_cells[0].y);
        EXPECT_EQ(c.size, g_cells[0].size);
    }
}

} // namespace
