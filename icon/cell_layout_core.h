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
// one core. known = false when the query failed or was not made. processors: the hardware
// threads of all cores together, to tell whether the topology describes the processors shown.
// On hybrid processors also the efficiency class of every processor shown (a higher class is
// a faster core) and how many classes there are; 0 or 1 lays out as one kind of core.
struct ProcessorTopology {
    bool known;
    uint32_t cores;
    uint32_t threadsPerCore;
    uint32_t processors;
    uint32_t classes = 0;
    uint8_t efficiencyClass[kMaxProcessors] = {};
};

// The grid chosen for a layout: its shape, the side of a cell, the gap between cells and
// the top-left corner of the first cell (0 on a side the grid does not fit).
struct CellGrid {
    uint32_t cols;
    uint32_t rows;
    uint32_t size;
    uint32_t gap;
    int32_t x0;
    int32_t y0;
};

// Reads the topology from the records GetLogicalProcessorInformation returned: `length`
// bytes of SYSTEM_LOGICAL_PROCESSOR_INFORMATION laid out for a build whose pointers are
// `pointerSize` bytes (4: 24-byte records, 8: 32-byte records). Only whole records count.
ProcessorTopology ReadProcessorTopology(const void* records, uint32_t length, uint32_t pointerSize);

// Reads the efficiency class of processors 0 .. processorCount - 1 of processor group `group`
// into `topology` from the records GetLogicalProcessorInformationEx(RelationProcessorCore)
// returned: `length` bytes laid out for a build whose pointers are `pointerSize` bytes. Sets
// classes to 0 unless every one of those processors is in a core record.
void ReadEfficiencyClasses(const void* records, uint32_t length, uint32_t pointerSize, uint16_t group,
                           uint32_t processorCount, ProcessorTopology* topology);

// Icon sides outside 0 .. 255 cannot be laid out (cell fields are single bytes).
int32_t ClampIconSide(int32_t side);

// Chooses the grid for processorCount (1 .. 64) processors.
CellGrid PlanCellGrid(uint32_t processorCount, ProcessorTopology topology, int32_t iconWidth,
                      int32_t iconHeight, uint32_t borders);

// Fills cells[0 .. processorCount - 1], cell n for processor number n; processorCount is
// already 1 .. 64. With more than one efficiency class the cells run row by row, the fastest
// class first and each class in processor order, in a grid without an empty row whose cells
// shrink to one pixel before any processor is left without one.
void LayoutCells(uint32_t processorCount, ProcessorTopology topology, int32_t iconWidth, int32_t iconHeight,
                 uint32_t borders, CellRecord cells[kMaxProcessors]);

#endif
