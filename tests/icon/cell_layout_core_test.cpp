// Where the cells of the tray icon go, for processor counts, topologies, icon sizes and the
// borders setting.
#include <gtest/gtest.h>
#include <string.h>
#include <initializer_list>
#include <vector>
#include "icon/cell_layout_core.h"

namespace {

const ProcessorTopology kUnknown = {false, 0, 1};
ProcessorTopology Cores(uint32_t cores, uint32_t threads) {
    return {true, cores, threads};
}

struct Example {
    int32_t side; // square icon
    uint32_t processors;
    std::vector<ProcessorTopology> topologies; // each gives the same layout
    std::vector<uint32_t> borders;
    uint32_t cols, rows, size, gap;
    int32_t x0, y0;
    std::vector<int> xs, ys; // cell columns and rows
};

// Checks every cell of a layout against its grid: position, size and, by the gap, the edges
// (3 top left, 1 rest of the top row, 2 rest of the left column, 0 inside; all 3 apart).
void ExpectCells(const Example& e, ProcessorTopology topology, uint32_t borders) {
    SCOPED_TRACE(testing::Message() << e.side << "px, " << e.processors << " processors (" << topology.cores
                                    << " x " << topology.threadsPerCore << (topology.known ? "" : ", unknown")
                                    << "), borders " << borders);
    const CellGrid grid = PlanCellGrid(e.processors, topology, e.side, e.side, borders);
    ASSERT_EQ(e.cols, grid.cols);
    ASSERT_EQ(e.rows, grid.rows);
    ASSERT_EQ(e.cols, e.xs.size());
    ASSERT_EQ(e.rows, e.ys.size());
    EXPECT_EQ(e.size, grid.size);
    EXPECT_EQ(e.gap, grid.gap);
    EXPECT_EQ(e.x0, grid.x0);
    EXPECT_EQ(e.y0, grid.y0);

    CellRecord cells[kMaxProcessors];
    memset(cells, 0xEE, sizeof(cells));
    LayoutCells(e.processors, topology, e.side, e.side, borders, cells);
    for (uint32_t i = 0; i < e.processors; ++i) {
        const uint32_t col = i % e.cols, row = i / e.cols;
        const int edges = e.gap >= 2 ? 3 : (row == 0 ? CELL_EDGE_TOP : 0) | (col == 0 ? CELL_EDGE_LEFT : 0);
        EXPECT_EQ(e.xs[col], cells[i].x) << "cell " << i;
        EXPECT_EQ(e.ys[row], cells[i].y) << "cell " << i;
        EXPECT_EQ(e.size, cells[i].size) << "cell " << i;
        EXPECT_EQ(edges, cells[i].edges) << "cell " << i;
    }
    // Records past the processor count keep what they held.
    for (uint32_t i = e.processors; i < kMaxProcessors; ++i)
        EXPECT_EQ(0xEE, cells[i].x);
}

void ExpectExamples(const std::vector<Example>& examples) {
    for (const Example& e : examples)
        for (ProcessorTopology t : e.topologies)
            for (uint32_t b : e.borders)
                ExpectCells(e, t, b);
}

std::vector<int> Steps(int from, int pitch, int count) {
    std::vector<int> v;
    for (int i = 0; i < count; ++i)
        v.push_back(from + i * pitch);
    return v;
}

TEST(LayoutCells, WorkedExamples) {
    const std::vector<ProcessorTopology> four = {Cores(4, 1), Cores(2, 2), kUnknown};
    const std::vector<ProcessorTopology> eight = {Cores(4, 2), Cores(8, 1)};
    ExpectExamples({
        {16, 1, {kUnknown}, {1}, 1, 1, 14, 7, 1, 1, {1}, {1}},
        {16, 1, {kUnknown}, {0}, 1, 1, 15, 8, 0, 0, {0}, {0}},
        {16, 2, {kUnknown}, {1}, 1, 2, 5, 3, 5, 1, {5}, {1, 9}},
        {16, 2, {kUnknown}, {0}, 1, 2, 6, 3, 5, 0, {5}, {0, 9}},
        {16, 3, {kUnknown}, {1, 0}, 1, 3, 3, 2, 6, 1, {6}, {1, 6, 11}},
        {16, 4, four, {1}, 2, 2, 5, 3, 1, 1, {1, 9}, {1, 9}},
        {16, 4, four, {0}, 2, 2, 6, 3, 0, 0, {0, 9}, {0, 9}},
        {16, 6, {Cores(6, 1)}, {1, 0}, 2, 3, 3, 2, 4, 1, {4, 9}, {1, 6, 11}},
        {16, 8, eight, {1}, 2, 4, 2, 1, 5, 2, {5, 8}, {2, 5, 8, 11}},
        {16, 8, eight, {0}, 2, 4, 3, 1, 4, 0, {4, 8}, {0, 4, 8, 12}},
        {16, 12, {Cores(6, 2)}, {1}, 4, 3, 2, 1, 2, 4, {2, 5, 8, 11}, {4, 7, 10}},
        {16, 12, {Cores(6, 2)}, {0}, 4, 3, 3, 1, 0, 2, {0, 4, 8, 12}, {2, 6, 10}},
        {16, 16, {Cores(8, 2)}, {1}, 4, 4, 2, 1, 2, 2, Steps(2, 3, 4), Steps(2, 3, 4)},
        {16, 16, {Cores(8, 2)}, {0}, 4, 4, 3, 1, 0, 0, Steps(0, 4, 4), Steps(0, 4, 4)},
        {20, 4, {Cores(4, 1)}, {1, 0}, 2, 2, 7, 4, 1, 1, {1, 12}, {1, 12}},
        {24, 8, {Cores(4, 2)}, {1, 0}, 2, 4, 4, 2, 7, 1, {7, 13}, {1, 7, 13, 19}},
        {32, 8, {Cores(4, 2)}, {1, 0}, 2, 4, 5, 3, 9, 1, {9, 17}, {1, 9, 17, 25}},
        {32, 64, {Cores(32, 2)}, {1}, 8, 8, 2, 1, 4, 4, Steps(4, 3, 8), Steps(4, 3, 8)},
        {32, 64, {Cores(32, 2)}, {0}, 8, 8, 3, 1, 0, 0, Steps(0, 4, 8), Steps(0, 4, 8)},
    });
}

TEST(LayoutCells, StartingGridRules) {
    ExpectExamples({
        // Three processors or fewer never use the topology.
        {16, 2, {Cores(1, 2)}, {1}, 1, 2, 5, 3, 5, 1, {5}, {1, 9}},
        {16, 3, {Cores(1, 3)}, {1}, 1, 3, 3, 2, 6, 1, {6}, {1, 6, 11}},
        // A failed query: one column, one row per processor, then folded.
        {16, 8, {kUnknown}, {1}, 2, 4, 2, 1, 5, 2, {5, 8}, {2, 5, 8, 11}},
        {16, 16, {kUnknown}, {1}, 4, 4, 2, 1, 2, 2, Steps(2, 3, 4), Steps(2, 3, 4)},
        // Four threads a core count as two columns.
        {16, 8, {Cores(4, 4)}, {1}, 2, 4, 2, 1, 5, 2, {5, 8}, {2, 5, 8, 11}},
        // Six single-thread cores stay 2 x 3; six two-thread cores become 4 x 3, not 2 x 6.
        {16, 6, {Cores(6, 1)}, {1}, 2, 3, 3, 2, 4, 1, {4, 9}, {1, 6, 11}},
    });
}

// A size and gap candidate is taken only while the grid and its closing line stay strictly
// inside the icon.
TEST(LayoutCells, SizeSearchStopsBeforeTheIconEdge) {
    // Two processors, 16 pixels: (5, 3) spans 13 + 1 border line; (6, 3) would need 16.
    EXPECT_EQ(5u, PlanCellGrid(2, kUnknown, 16, 16, 1).size);
    // Without borders (6, 3) spans 15 + the shadow line, which still fits; (7, 3) does not.
    EXPECT_EQ(6u, PlanCellGrid(2, kUnknown, 16, 16, 0).size);
    // When not even the first candidate fits, the starting pair stands.
    const CellGrid tiny = PlanCellGrid(1, kUnknown, 3, 3, 1);
    EXPECT_EQ(2u, tiny.size);
    EXPECT_EQ(1u, tiny.gap);
}

// Where the grid does not give every processor a cell, or does not fit the icon.
TEST(LayoutCells, EveryProcessorKeepsACellInsideTheIconWhenTheGridFits) {
    struct Case {
        uint32_t processors;
        ProcessorTopology topology;
        int32_t width, height;
        uint32_t cols, rows;
    } cases[] = {
        {5, Cores(5, 1), 16, 16, 2, 3},    // odd halving rounds up
        {7, Cores(7, 1), 16, 16, 2, 4},    // 1 x 7 folds to 2 x 4
        {11, kUnknown, 16, 16, 4, 3},      // 1 x 11 folds to 2 x 6, then 4 x 3
        {8, Cores(0, 1), 16, 16, 2, 4},    // a query that listed no core
        {16, Cores(2, 2), 32, 32, 4, 4},   // cores missing from the query
        {16, Cores(4, 4), 16, 16, 4, 4},   // two of four threads a core as columns
        {8, Cores(1000, 2), 16, 16, 4, 4}, // more cores than processors: one row each at most
        {12, Cores(6, 2), 64, 12, 4, 3},   // wide icon: the height limits the cells too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.processors << " processors, " << c.width << " x " << c.height);
        for (uint32_t borders : {0u, 1u}) {
            const CellGrid grid = PlanCellGrid(c.processors, c.topology, c.width, c.height, borders);
            EXPECT_EQ(c.cols, grid.cols);
            EXPECT_EQ(c.rows, grid.rows);
            CellRecord cells[kMaxProcessors];
            LayoutCells(c.processors, c.topology, c.width, c.height, borders, cells);
            for (uint32_t i = 0; i < c.processors; ++i) {
                // Room for the top and left lines before the cell, the closing line after it.
                EXPECT_GE(cells[i].x, borders) << "cell " << i;
                EXPECT_GE(cells[i].y, borders) << "cell " << i;
                EXPECT_LT(cells[i].x + cells[i].size, c.width) << "cell " << i;
                EXPECT_LT(cells[i].y + cells[i].size, c.height) << "cell " << i;
            }
        }
    }
}

TEST(LayoutCells, GridTooLargeForTheIconStartsAtItsCorner) {
    // 24 processors (12 x 2) need a 4 x 6 grid: 17 rows at the smallest cells.
    CellRecord cells[kMaxProcessors];
    LayoutCells(24, Cores(12, 2), 16, 16, 1, cells);
    EXPECT_EQ(2, cells[0].x); // the width fits: centred
    EXPECT_EQ(0, cells[0].y);
    EXPECT_EQ(11, cells[3].x);
    EXPECT_EQ(15, cells[23].y); // the last row reaches the icon's last row, clipped there
    // No icon at all still gives byte-sized fields without wrapping into the grid.
    LayoutCells(64, kUnknown, 0, 0, 1, cells);
    EXPECT_EQ(21, cells[63].x);
    EXPECT_EQ(21, cells[63].y);
}

// Records as GetLogicalProcessorInformation writes them for a 32-bit and a 64-bit build.
std::vector<uint8_t> Records(uint32_t pointerSize,
                             std::initializer_list<std::pair<uint32_t, uint64_t>> list) {
    const uint32_t recordSize = pointerSize == 8 ? 32 : 24;
    std::vector<uint8_t> bytes;
    for (const auto& [relationship, mask] : list) {
        std::vector<uint8_t> record(recordSize, 0xCC);
        memcpy(record.data(), &mask, pointerSize);
        memcpy(record.data() + pointerSize, &relationship, 4);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

TEST(ReadProcessorTopology, CountsCoresAndThreadsForEitherRecordSize) {
    const uint32_t core = 0, cache = 2, package = 3;
    for (uint32_t pointerSize : {4u, 8u}) {
        SCOPED_TRACE(pointerSize);
        auto bytes =
            Records(pointerSize,
                    {{package, 0xFFF}, {core, 0x3}, {cache, 0x3}, {core, 0xC}, {cache, 0xFF}, {core, 0x10}});
        ProcessorTopology t = ReadProcessorTopology(bytes.data(), bytes.size(), pointerSize);
        EXPECT_TRUE(t.known);
        EXPECT_EQ(3u, t.cores);
        EXPECT_EQ(2u, t.threadsPerCore);

        // Only whole records within the returned length are read.
        t = ReadProcessorTopology(bytes.data(), bytes.size() - 1, pointerSize);
        EXPECT_EQ(2u, t.cores);
        // No core record: threads per core stays 1.
        t = ReadProcessorTopology(bytes.data(), pointerSize == 8 ? 32 : 24, pointerSize);
        EXPECT_EQ(0u, t.cores);
        EXPECT_EQ(1u, t.threadsPerCore);
        EXPECT_EQ(0u, ReadProcessorTopology(bytes.data(), 0, pointerSize).cores);
    }
    // On x64 the whole 64-bit mask counts: processors 32 and up share cores too.
    auto wide = Records(8, {{core, 0xF00000000ull}});
    EXPECT_EQ(4u, ReadProcessorTopology(wide.data(), wide.size(), 8).threadsPerCore);
}

} // namespace
