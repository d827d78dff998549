// What the renderer remembers from tick to tick. Only the renderer uses it; its tests reset
// it between cases.
#ifndef VELTRANA_RENDERER_STATE_H
#define VELTRANA_RENDERER_STATE_H

#include <windows.h>
#include "icon/painter.h"

// The readings of this tick (refilled each tick, sorted by Number) and of the last tick
// they were compared on.
extern ProcessorReading g_powerTable[kMaxProcessors];
extern ProcessorReading g_powerSnapshot[kMaxProcessors];
// Ticks since the last repaint whose readings were compared and found unchanged.
extern UINT g_unchangedTicks;
// GetSystemTimes of the previous tick, in 100-ns units.
extern ULONGLONG g_previousIdleTime;
extern ULONGLONG g_previousKernelTime;
extern ULONGLONG g_previousUserTime;

#endif
