// The cell layout of the running system: processor count, topology and icon size read from
// Windows, and the table the renderer paints from.
#ifndef VELTRANA_CELL_LAYOUT_H
#define VELTRANA_CELL_LAYOUT_H

#include <windows.h>
#include "cell_layout_core.h"

extern int g_iconWidth;  // SM_CXSMICON, read once before start-up
extern int g_iconHeight; // SM_CYSMICON
extern int g_iconPixelCount;
extern UINT g_processorCount; // 1 .. 64
extern CellRecord g_cells[kMaxProcessors];
// How many efficiency classes the processors shown have (1 on all but hybrid processors), and
// each processor number's class: a higher class is a faster core.
extern UINT g_efficiencyClasses;
extern BYTE g_processorClass[kMaxProcessors];

void InitIconMetrics();

// The processor group of the program's thread, whose processors the cells show (0 before
// Windows 7).
WORD OwnProcessorGroup();

// Recomputes the processor count and the layout, and asks for a full repaint (g_forceRedraw).
// Always true.
bool ComputeCellLayout();

#endif
