#include "icon/cell_layout_core.h"

#include <string.h>

namespace {

const uint32_t kRelationProcessorCore = 0;

uint32_t CountBits(uint64_t mask) {
    uint32_t bits = 0;
    for (; mask != 0; mask &= mask - 1)
        ++bits;
    return bits;
}

// Pixels that `count` cells of `size` with `gap` between them need along one side, plus the
// closing border line (borders on) or shadow line (borders off) beyond the last cell.
uint32_t GridSpan(uint32_t count, uint32_t size, uint32_t gap) {
    return count * size + (count - 1) * gap;
}

// Where a grid of `span` pixels starts so that it sits in the middle of `side`. A grid too
// large for the icon starts at its edge, so that the first processors keep their place and
// only the last ones fall off the icon.
int32_t CentredStart(int32_t side, uint32_t span) {
    if (span > static_cast<uint32_t>(side))
        return 0;
    return (side - static_cast<int32_t>(span)) / 2;
}

// Whether cells of `size` with `gap` between them leave room for the closing line on both sides.
bool CellFits(uint32_t cols, uint32_t rows, uint32_t size, uint32_t gap, int32_t iconWidth,
              int32_t iconHeight, uint32_t closingLine) {
    return GridSpan(cols, size, gap) + closingLine < static_cast<uint32_t>(iconWidth) &&
           GridSpan(rows, size, gap) + closingLine < static_cast<uint32_t>(iconHeight);
}

// Grows the cell and then the gap in turn from (2, 1) while the grid still fits. The grid and the
// limits are small, so no sum overflows.
void GrowCell(uint32_t cols, uint32_t rows, int32_t iconWidth, int32_t iconHeight, uint32_t closingLine,
              uint32_t* size, uint32_t* gap) {
    *size = 2;
    *gap = 1;
    for (uint32_t step = 0;; ++step) {
        const uint32_t nextSize = step % 3 == 1 ? *size : *size + 1;
        const uint32_t nextGap = step % 3 == 1 ? *gap + 1 : *gap;
        if (!CellFits(cols, rows, nextSize, nextGap, iconWidth, iconHeight, closingLine))
            return;
        *size = nextSize;
        *gap = nextGap;
    }
}

bool Hybrid(uint32_t processorCount, const ProcessorTopology& topology) {
    return topology.known && topology.classes > 1 && topology.processors == processorCount &&
           processorCount >= 2;
}

// The grid of a hybrid processor: every shape with no empty row is tried, and the one with the
// largest cell (then gap) wins; among equals one whose rows hold whole cores of the fastest class,
// then the squarest, then the narrowest. False when not even one-pixel cells fit.
bool PlanHybridGrid(uint32_t processorCount, uint32_t threadsPerCore, int32_t iconWidth, int32_t iconHeight,
                    uint32_t closingLine, CellGrid* best) {
    bool found = false;
    const uint32_t threads = threadsPerCore == 0 ? 1 : threadsPerCore;
    for (uint32_t cols = 1; cols <= processorCount; ++cols) {
        const uint32_t rows = (processorCount + cols - 1) / cols;
        CellGrid grid = {cols, rows, 1, 1, 0, 0};
        if (!CellFits(cols, rows, 1, 1, iconWidth, iconHeight, closingLine))
            continue;
        if (CellFits(cols, rows, 2, 1, iconWidth, iconHeight, closingLine))
            GrowCell(cols, rows, iconWidth, iconHeight, closingLine, &grid.size, &grid.gap);
        const uint32_t skew = cols > rows ? cols - rows : rows - cols;
        const uint32_t bestSkew = !found                    ? 0
                                  : best->cols > best->rows ? best->cols - best->rows
                                                            : best->rows - best->cols;
        const bool whole = cols % threads == 0;
        const bool bestWhole = found && best->cols % threads == 0;
        if (found && (grid.size != best->size ? grid.size < best->size
                      : grid.gap != best->gap ? grid.gap < best->gap
                      : whole != bestWhole    ? !whole
                                              : skew >= bestSkew))
            continue;
        *best = grid;
        found = true;
    }
    return found;
}

// Where processor n's cell stands in the grid: the fastest class first, each class in processor
// order. Without classes, processor n takes place n.
void PlaceProcessors(uint32_t processorCount, const ProcessorTopology& topology,
                     uint32_t place[kMaxProcessors]) {
    for (uint32_t n = 0; n < processorCount; ++n)
        place[n] = n;
    if (!Hybrid(processorCount, topology))
        return;
    uint32_t next = 0;
    for (int32_t efficiency = 255; efficiency >= 0; --efficiency)
        for (uint32_t n = 0; n < processorCount; ++n)
            if (topology.efficiencyClass[n] == efficiency)
                place[n] = next++;
}

} // namespace

void ReadEfficiencyClasses(const void* records, uint32_t length, uint32_t pointerSize, uint16_t group,
                           uint32_t processorCount, ProcessorTopology* topology) {
    // A record: Relationship and Size (4 bytes each), then PROCESSOR_RELATIONSHIP: Flags,
    // EfficiencyClass, 20 reserved bytes, GroupCount, and from offset 24 the GROUP_AFFINITY of
    // the core's one group: its pointer-sized Mask, then Group.
    const uint32_t kClassAt = 9, kMaskAt = 32;
    const uint8_t* bytes = static_cast<const uint8_t*>(records);
    if (processorCount > kMaxProcessors)
        processorCount = kMaxProcessors;
    uint64_t seen = 0;
    bool classSeen[256] = {};
    uint32_t classes = 0;
    for (uint32_t at = 0; length >= 8 && at <= length - 8;) {
        uint32_t relationship, size;
        memcpy(&relationship, bytes + at, 4);
        memcpy(&size, bytes + at + 4, 4);
        if (size < 8 || size > length - at)
            break;
        if (relationship == kRelationProcessorCore && size >= kMaskAt + pointerSize + 2) {
            uint64_t mask = 0;
            uint16_t maskGroup;
            memcpy(&mask, bytes + at + kMaskAt, pointerSize == 8 ? 8 : 4);
            memcpy(&maskGroup, bytes + at + kMaskAt + (pointerSize == 8 ? 8 : 4), 2);
            const uint8_t efficiency = bytes[at + kClassAt];
            for (uint32_t n = 0; n < processorCount && maskGroup == group; ++n) {
                if (!(mask >> n & 1))
                    continue;
                topology->efficiencyClass[n] = efficiency;
                seen |= 1ULL << n;
                if (!classSeen[efficiency]) {
                    classSeen[efficiency] = true;
                    ++classes;
                }
            }
        }
        at += size;
    }
    const uint64_t all = processorCount == 64 ? ~0ULL : (1ULL << processorCount) - 1;
    topology->classes = seen == all ? classes : 0;
}

ProcessorTopology ReadProcessorTopology(const void* records, uint32_t length, uint32_t pointerSize) {
    // The processor mask is pointer-sized; the relationship follows it; the 16-byte union
    // after that is 8-byte aligned.
    const uint32_t recordSize = pointerSize == 8 ? 32 : 24;
    const uint8_t* bytes = static_cast<const uint8_t*>(records);
    ProcessorTopology topology = {true, 0, 1, 0};
    for (uint32_t offset = 0; length >= recordSize && offset <= length - recordSize; offset += recordSize) {
        uint32_t relationship;
        memcpy(&relationship, bytes + offset + pointerSize, sizeof(relationship));
        if (relationship != kRelationProcessorCore)
            continue;
        uint64_t mask = 0;
        if (pointerSize == 8) {
            memcpy(&mask, bytes + offset, 8);
        } else {
            uint32_t mask32;
            memcpy(&mask32, bytes + offset, 4);
            mask = mask32;
        }
        ++topology.cores;
        const uint32_t threads = CountBits(mask);
        topology.processors += threads;
        if (threads > topology.threadsPerCore)
            topology.threadsPerCore = threads;
    }
    return topology;
}

int32_t ClampIconSide(int32_t side) {
    return side < 0 ? 0 : side > 255 ? 255 : side;
}

CellGrid PlanCellGrid(uint32_t processorCount, ProcessorTopology topology, int32_t iconWidth,
                      int32_t iconHeight, uint32_t borders) {
    iconWidth = ClampIconSide(iconWidth);
    iconHeight = ClampIconSide(iconHeight);
    const uint32_t closingLine = borders != 0 ? 1 : 0;
    CellGrid grid;
    if (Hybrid(processorCount, topology) &&
        PlanHybridGrid(processorCount, topology.threadsPerCore, iconWidth, iconHeight, closingLine, &grid)) {
        grid.x0 = CentredStart(iconWidth, GridSpan(grid.cols, grid.size, grid.gap));
        grid.y0 = CentredStart(iconHeight, GridSpan(grid.rows, grid.size, grid.gap));
        return grid;
    }

    // One row per core and one column per hardware thread of a core; without the topology
    // (or for three processors or fewer, which never ask) one column.
    uint32_t cols = 1;
    uint32_t rows = processorCount;
    if (processorCount >= 4 && topology.known) {
        rows = topology.cores;
        cols = topology.threadsPerCore >= 3 ? 2 : topology.threadsPerCore == 0 ? 1 : topology.threadsPerCore;
    }
    // A topology that accounts for fewer cells than processors still gets a cell for every
    // processor: extra rows, before the reshaping below balances the grid. One that claims
    // more cores than there are processors gets no more rows than processors.
    const uint32_t rowsNeeded = (processorCount + cols - 1) / cols;
    if (rows < rowsNeeded)
        rows = rowsNeeded;
    if (rows > processorCount)
        rows = processorCount;

    // Tall grids fold into wider ones. Halving rounds up so that an odd row count keeps a
    // cell for every processor (five cores: 2 x 3, not 2 x 2).
    while (rows >= 4 * cols) {
        rows = rows / 2 + rows % 2;
        cols *= 2;
    }
    if (cols == 2 && rows == 6) {
        cols = 4;
        rows = 3;
    }

    // The largest cell and gap that leave room for the closing line on both sides; where not
    // even the starting pair fits, it stands all the same.
    grid.cols = cols;
    grid.rows = rows;
    GrowCell(cols, rows, iconWidth, iconHeight, closingLine, &grid.size, &grid.gap);
    grid.x0 = CentredStart(iconWidth, GridSpan(cols, grid.size, grid.gap));
    grid.y0 = CentredStart(iconHeight, GridSpan(rows, grid.size, grid.gap));
    return grid;
}

void LayoutCells(uint32_t processorCount, ProcessorTopology topology, int32_t iconWidth, int32_t iconHeight,
                 uint32_t borders, CellRecord cells[kMaxProcessors]) {
    if (processorCount > kMaxProcessors)
        processorCount = kMaxProcessors;
    const CellGrid grid = PlanCellGrid(processorCount, topology, iconWidth, iconHeight, borders);
    const uint32_t pitch = grid.size + grid.gap;
    uint32_t place[kMaxProcessors];
    PlaceProcessors(processorCount, topology, place);
    for (uint32_t i = 0; i < processorCount; ++i) {
        const uint32_t row = place[i] / grid.cols;
        const uint32_t col = place[i] % grid.cols;
        CellRecord& cell = cells[i];
        cell.x = static_cast<uint8_t>(static_cast<uint32_t>(grid.x0) + col * pitch);
        cell.y = static_cast<uint8_t>(static_cast<uint32_t>(grid.y0) + row * pitch);
        cell.size = static_cast<uint8_t>(grid.size);
        // Cells 1 pixel apart share the lines between them, so only the outer row and
        // column draw the top and left lines; farther apart, every cell has its own frame.
        if (grid.gap >= 2)
            cell.edges = CELL_EDGE_TOP | CELL_EDGE_LEFT;
        else
            cell.edges = (row == 0 ? CELL_EDGE_TOP : 0) | (col == 0 ? CELL_EDGE_LEFT : 0);
    }
}
