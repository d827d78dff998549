// Placing one cell per logical processor in the small tray icon. No Windows headers: the
// layout is a pure function of the processor count, the topology, the icon size and the
// borders setting, tested natively.
#ifndef VELTRANA_CELL_LAYOUT_CORE_H
#define VELTRANA_CELL_LAYOUT_CORE_H

#include <stdint.h>

enum { kMaxProcessors = 64 };
enum { CELL_EDGE_TOP = 1, CELL_EDGE_LEFT = 2 };

// Every field is kept modulo 256, as icons never exceed 255 pixels a side.
struct CellRecord {
    uint8_t x;     // column of the top-left pixel of the filled square
    uint8_t y;     // row of the top-left pixel
    uint8_t size;  // side of the filled square
    uint8_t edges; // CELL_EDGE_TOP | CELL_EDGE_LEFT: which outer border lines the cell draws
};

// What the topology query told: the number of cores and the most hardware threads seen on
// one core. known = false when the query failed or was not made.
struct ProcessorTopology {
    bool known;
    uint32_t cores;
    uint32_t threadsPerCore;
};

// Fills cells[0 .. processorCount - 1]; processorCount is already 1 .. 64.
void LayoutCells(uint32_t processorCount, ProcessorTopology topology, int32_t iconWidth, int32_t iconHeight,
                 uint32_t borders, CellRecord cells[kMaxProcessors]);

#endif
