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

} // namespace

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

    // The largest cell and gap that leave room for the closing line on both sides. The grid
    // and the limits are small, so no sum overflows.
    const uint32_t closingLine = borders != 0 ? 1 : 0;
    uint32_t size = 2;
    uint32_t gap = 1;
    for (uint32_t step = 0;; ++step) {
        const uint32_t nextSize = step % 3 == 1 ? size : size + 1;
        const uint32_t nextGap = step % 3 == 1 ? gap + 1 : gap;
        if (GridSpan(cols, nextSize, nextGap) + closingLine >= static_cast<uint32_t>(iconWidth) ||
            GridSpan(rows, nextSize, nextGap) + closingLine >= static_cast<uint32_t>(iconHeight))
            break;
        size = nextSize;
        gap = nextGap;
    }

    CellGrid grid;
    grid.cols = cols;
    grid.rows = rows;
    grid.size = size;
    grid.gap = gap;
    grid.x0 = CentredStart(iconWidth, GridSpan(cols, size, gap));
    grid.y0 = CentredStart(iconHeight, GridSpan(rows, size, gap));
    return grid;
}

void LayoutCells(uint32_t processorCount, ProcessorTopology topology, int32_t iconWidth, int32_t iconHeight,
                 uint32_t borders, CellRecord cells[kMaxProcessors]) {
    if (processorCount > kMaxProcessors)
        processorCount = kMaxProcessors;
    const CellGrid grid = PlanCellGrid(processorCount, topology, iconWidth, iconHeight, borders);
    const uint32_t pitch = grid.size + grid.gap;
    for (uint32_t i = 0; i < processorCount; ++i) {
        const uint32_t row = i / grid.cols;
        const uint32_t col = i % grid.cols;
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
