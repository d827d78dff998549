// Where the cells of the tray icon go, and how the processor topology records are read.
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include <array>
#include <tuple>
#include <utility>
#include <vector>
#include "icon/cell_layout_core.h"

namespace {

// A failed topology query: whatever its other fields hold, one column with a row per processor.
const ProcessorTopology kUnknown = {false, 4, 2, 8};
const auto Cores = [](uint32_t cores, uint32_t threads) {
    return ProcessorTopology{true, cores, threads, cores * threads};
};
// A hybrid processor: {efficiency class, cores, threads per core} of each kind, numbered in the
// order listed.
ProcessorTopology Hybrid(std::vector<std::tuple<uint8_t, uint32_t, uint32_t>> kinds) {
    ProcessorTopology t = {true, 0, 1, 0};
    t.classes = static_cast<uint32_t>(kinds.size());
    for (const auto& [efficiency, cores, threads] : kinds) {
        memset(t.efficiencyClass + t.processors, efficiency, cores * threads);
        t.processors += cores * threads;
        t.cores += cores;
        t.threadsPerCore = std::max(t.threadsPerCore, threads);
    }
    return t;
}
// 6P+8E (20 threads), 6P+8E+2LPE (22), 4P+4LPE (8), 16 cores of one class, and larger hybrids.
const ProcessorTopology k20 = Hybrid({{1, 6, 2}, {0, 8, 1}}), k22 = Hybrid({{2, 6, 2}, {1, 8, 1}, {0, 2, 1}});
const ProcessorTopology k8 = Hybrid({{1, 4, 1}, {0, 4, 1}}), k16 = Cores(16, 1);
const ProcessorTopology k48 = Hybrid({{1, 8, 2}, {0, 32, 1}}), k64 = Hybrid({{1, 16, 2}, {0, 32, 1}});
const ProcessorTopology kFastLast = Hybrid({{0, 4, 1}, {1, 2, 2}}); // the fast cores numbered last

// One row per layout: every topology and borders value listed gives the same grid. The cells
// then run row by row from (x0, y0) with a pitch of size + gap; with gap 1 the edges are 3 for
// the top-left cell, 1 along the top row, 2 down the left column, 0 inside; farther apart all 3.
struct Layout {
    int32_t side; // square icon
    uint32_t processors;
    std::vector<ProcessorTopology> topologies;
    std::vector<uint32_t> borders;
    CellGrid grid;                  // cols, rows, size, gap, x0, y0
    std::vector<uint32_t> places{}; // where each processor's cell stands; none: in number order
};

TEST(LayoutCells, WorkedExamplesAndStartingGridRules) {
    const std::vector<ProcessorTopology> four = {Cores(4, 1), Cores(2, 2), kUnknown};
    // 8 x 1, 4 x 2, 2 x 4 (four threads a core count as two columns), or no topology at all.
    const std::vector<ProcessorTopology> eight = {Cores(4, 2), Cores(8, 1), Cores(2, 4), kUnknown};
    const Layout layouts[] = {
        // Icons of 16 to 32 pixels with 1 to 64 processors. Three processors or fewer never use
        // the topology: 1 x 2 and 1 x 3 cores would give other grids.
        {16, 1, {kUnknown, Cores(1, 2)}, {1}, {1, 1, 14, 7, 1, 1}},
        {16, 1, {kUnknown}, {0}, {1, 1, 15, 8, 0, 0}},
        {16, 2, {kUnknown, Cores(1, 2)}, {1}, {1, 2, 5, 3, 5, 1}},
        {16, 2, {kUnknown}, {0}, {1, 2, 6, 3, 5, 0}},
        {16, 3, {kUnknown, Cores(1, 3)}, {1, 0}, {1, 3, 3, 2, 6, 1}},
        {16, 4, four, {1}, {2, 2, 5, 3, 1, 1}},
        {16, 4, four, {0}, {2, 2, 6, 3, 0, 0}},
        {16, 6, {Cores(6, 1)}, {1, 0}, {2, 3, 3, 2, 4, 1}},
        {16, 8, eight, {1}, {2, 4, 2, 1, 5, 2}},
        {16, 8, eight, {0}, {2, 4, 3, 1, 4, 0}},
        {16, 12, {Cores(6, 2)}, {1}, {4, 3, 2, 1, 2, 4}}, // six two-thread cores: 4 x 3, not 2 x 6
        {16, 12, {Cores(6, 2)}, {0}, {4, 3, 3, 1, 0, 2}},
        {16, 16, {Cores(8, 2), kUnknown}, {1}, {4, 4, 2, 1, 2, 2}},
        {16, 16, {Cores(8, 2), kUnknown}, {0}, {4, 4, 3, 1, 0, 0}},
        {20, 4, {Cores(4, 1)}, {1, 0}, {2, 2, 7, 4, 1, 1}},
        {24, 8, {Cores(4, 2)}, {1, 0}, {2, 4, 4, 2, 7, 1}},
        {32, 8, {Cores(4, 2)}, {1, 0}, {2, 4, 5, 3, 9, 1}},
        {32, 64, {Cores(32, 2)}, {1}, {8, 8, 2, 1, 4, 4}},
        {32, 64, {Cores(32, 2)}, {0}, {8, 8, 3, 1, 0, 0}},
        // Five single-thread cores: every processor keeps a cell (2 x 3, not 2 x 2).
        {16, 5, {Cores(5, 1), kUnknown}, {1, 0}, {2, 3, 3, 2, 4, 1}},
        // Not even the first candidate (3, 1) fits: the untested starting pair (2, 1) stands.
        {3, 1, {kUnknown}, {1}, {1, 1, 2, 1, 0, 0}},
        // Grids too large for the icon start at its corner on that side instead of wrapping:
        // 24 processors need 17 rows of pixels; an icon of no pixels at all.
        {16, 24, {Cores(12, 2)}, {1, 0}, {4, 6, 2, 1, 2, 0}},
        {0, 64, {kUnknown}, {1}, {8, 8, 2, 1, 0, 0}},
        // Hybrid processors: the fastest class first, in a grid with no empty row whose cells
        // shrink to one pixel rather than leave a processor out; two-thread cores keep whole rows.
        {.side = 16, .processors = 20, .topologies = {k20}, .borders = {1, 0}, .grid = {4, 5, 2, 1, 2, 1}},
        {.side = 24, .processors = 20, .topologies = {k20}, .borders = {1}, .grid = {4, 5, 3, 1, 4, 2}},
        {.side = 24, .processors = 20, .topologies = {k20}, .borders = {0}, .grid = {4, 5, 3, 2, 3, 0}},
        {.side = 32, .processors = 20, .topologies = {k20}, .borders = {1, 0}, .grid = {4, 5, 4, 2, 5, 2}},
        {.side = 16, .processors = 22, .topologies = {k22}, .borders = {1, 0}, .grid = {5, 5, 2, 1, 1, 1}},
        {.side = 24, .processors = 22, .topologies = {k22}, .borders = {1}, .grid = {5, 5, 3, 1, 2, 2}},
        {.side = 24, .processors = 22, .topologies = {k22}, .borders = {0}, .grid = {5, 5, 3, 2, 0, 0}},
        {.side = 32, .processors = 22, .topologies = {k22}, .borders = {1, 0}, .grid = {5, 5, 4, 2, 2, 2}},
        {.side = 16, .processors = 8, .topologies = {k8}, .borders = {1, 0}, .grid = {3, 3, 3, 2, 1, 1}},
        {.side = 24, .processors = 8, .topologies = {k8}, .borders = {1, 0}, .grid = {3, 3, 5, 3, 1, 1}},
        {.side = 32, .processors = 8, .topologies = {k8}, .borders = {1, 0}, .grid = {3, 3, 7, 4, 1, 1}},
        {.side = 16, .processors = 48, .topologies = {k48}, .borders = {1}, .grid = {7, 7, 1, 1, 1, 1}},
        {.side = 16, .processors = 64, .topologies = {k64}, .borders = {0}, .grid = {8, 8, 1, 1, 0, 0}},
        {.side = 16,
         .processors = 8,
         .topologies = {kFastLast},
         .borders = {1},
         .grid = {3, 3, 3, 2, 1, 1},
         .places = {4, 5, 6, 7, 0, 1, 2, 3}},
        // 16 cores of one class: as any other processor.
        {.side = 16, .processors = 16, .topologies = {k16}, .borders = {1}, .grid = {4, 4, 2, 1, 2, 2}},
        {.side = 16, .processors = 16, .topologies = {k16}, .borders = {0}, .grid = {4, 4, 3, 1, 0, 0}},
        {.side = 24, .processors = 16, .topologies = {k16}, .borders = {1, 0}, .grid = {4, 4, 4, 2, 1, 1}},
        {.side = 32, .processors = 16, .topologies = {k16}, .borders = {1, 0}, .grid = {4, 4, 5, 3, 1, 1}},
    };
    for (const Layout& e : layouts)
        for (const ProcessorTopology& t : e.topologies)
            for (uint32_t b : e.borders) {
                SCOPED_TRACE(testing::Message()
                             << e.side << " px, " << e.processors << " processors (" << t.cores << " x "
                             << t.threadsPerCore << (t.known ? "" : ", unknown") << ", " << t.classes
                             << " classes), borders " << b);
                const auto& [cols, rows, size, gap, x0, y0] = e.grid;
                const CellGrid g = PlanCellGrid(e.processors, t, e.side, e.side, b);
                EXPECT_EQ(std::tie(cols, rows, size, gap, x0, y0),
                          std::tie(g.cols, g.rows, g.size, g.gap, g.x0, g.y0));
                CellRecord cells[kMaxProcessors];
                memset(cells, 0xEE, sizeof(cells));
                LayoutCells(e.processors, t, e.side, e.side, b, cells);
                for (uint32_t i = 0; i < kMaxProcessors; ++i) {
                    const uint32_t place = i < e.places.size() ? e.places[i] : i;
                    const uint32_t col = place % cols, row = place / cols;
                    const int edges = gap >= 2 ? 3 : (row == 0 ? 1 : 0) | (col == 0 ? 2 : 0);
                    auto cell = std::make_tuple(int(x0 + col * (size + gap)) % 256,
                                                int(y0 + row * (size + gap)) % 256, int(size), edges);
                    if (i >= e.processors)
                        cell = {0xEE, 0xEE, 0xEE, 0xEE}; // past the processor count: untouched
                    const CellRecord& c = cells[i];
                    EXPECT_EQ(cell, std::make_tuple(+c.x, +c.y, +c.size, +c.edges)) << "cell " << i;
                }
            }
}

// Records as GetLogicalProcessorInformation returns them for a 32-bit (24-byte records) and a
// 64-bit build (32 bytes), in a heap block of exactly the returned length, so that AddressSanitizer
// catches a read past it.
TEST(ReadProcessorTopology, CountsCoresAndTheMostThreadsOfOne) {
    const uint32_t core = 0, cache = 2, package = 3;
    const std::vector<std::pair<uint32_t, uint64_t>> machine = // relationship, mask
        {{package, 0xFFF}, {core, 0x3}, {cache, 0xFF}, {core, 0xC}, {core, 0x1F}};
    // The records, how many bytes of the last one are missing (a partial record is ignored, also
    // when it is the only one), the cores, and the threads per core and of all cores read with
    // 24-byte and with 32-byte records (whose masks have 64 bits). With no core record there is
    // one thread per core and none in all.
    const struct {
        std::vector<std::pair<uint32_t, uint64_t>> records;
        uint32_t cut, cores, threads24, threads32, all24, all32;
    } cases[] = {{machine, 0, 3, 5, 5, 9, 9},
                 {machine, 1, 2, 2, 2, 4, 4},
                 {{{core, 0xF00000003ull}}, 0, 1, 2, 6, 2, 6},
                 {{{core, 0x3}}, 1, 0, 1, 1, 0, 0}};
    for (const auto& c : cases)
        for (uint32_t pointerSize : {4u, 8u}) {
            const uint32_t recordSize = pointerSize == 8 ? 32 : 24;
            std::vector<uint8_t> all(c.records.size() * recordSize, 0xCC);
            for (size_t i = 0; i < c.records.size(); ++i) {
                memcpy(&all[i * recordSize], &c.records[i].second, pointerSize);
                memcpy(&all[i * recordSize + pointerSize], &c.records[i].first, 4);
            }
            const std::vector<uint8_t> bytes(all.begin(), all.end() - c.cut); // exactly sized
            const ProcessorTopology t = ReadProcessorTopology(bytes.data(), bytes.size(), pointerSize);
            const bool wide = pointerSize == 8;
            EXPECT_EQ(
                std::make_tuple(true, c.cores, wide ? c.threads32 : c.threads24, wide ? c.all32 : c.all24),
                std::make_tuple(t.known, t.cores, t.threadsPerCore, t.processors))
                << recordSize << "-byte records: " << c.records.size() << ", " << c.cut << " bytes cut";
        }
}

// Core records of GetLogicalProcessorInformationEx for a 32-bit and a 64-bit build, in a block of
// exactly the returned length: each processor takes its core's class, and a processor shown that
// no record names leaves the classes unknown (0).
TEST(ReadEfficiencyClasses, EachProcessorTakesItsCoresClass) {
    using Record = std::array<uint64_t, 4>; // relationship, efficiency class, mask, group
    const Record p01 = {0, 1, 0x3, 0}, e2 = {0, 0, 0x4, 0}, e3 = {0, 0, 0x8, 0}, elsewhere = {0, 0, 0x4, 1};
    const Record cache = {2, 7, 0xF, 0};
    const struct {
        const char* machine;
        std::vector<Record> records;
        uint32_t cut, classes;
    } cases[] = {
        {.machine = "1P+2E, a cache record between", .records = {p01, cache, e2, e3}, .cut = 0, .classes = 2},
        {.machine = "processor 2 in another group", .records = {p01, elsewhere, e3}, .cut = 0, .classes = 0},
        {.machine = "the last record cut short", .records = {p01, e2, e3}, .cut = 1, .classes = 0},
    };
    for (const auto& c : cases)
        for (uint32_t pointerSize : {4u, 8u}) {
            const uint32_t size = 40 + pointerSize; // ... GroupMask: Mask, Group, Reserved[3]
            std::vector<uint8_t> all(c.records.size() * size, 0xCC);
            for (size_t i = 0; i < c.records.size(); ++i) {
                const auto& [relationship, efficiency, mask, group] = c.records[i];
                memcpy(&all[i * size], &relationship, 4);
                memcpy(&all[i * size + 4], &size, 4);
                all[i * size + 9] = static_cast<uint8_t>(efficiency);
                memcpy(&all[i * size + 32], &mask, pointerSize);
                memcpy(&all[i * size + 32 + pointerSize], &group, 2);
            }
            const std::vector<uint8_t> bytes(all.begin(), all.end() - c.cut);
            ProcessorTopology t = Cores(4, 1);
            ReadEfficiencyClasses(bytes.data(), bytes.size(), pointerSize, 0, 4, &t);
            EXPECT_EQ(c.classes, t.classes) << c.machine << ", " << pointerSize << "-byte pointers";
            EXPECT_EQ(std::vector<uint8_t>({1, 1, 0, 0}),
                      std::vector<uint8_t>(t.efficiencyClass, t.efficiencyClass + 4))
                << c.machine << ", " << pointerSize << "-byte pointers";
        }
}

} // namespace
