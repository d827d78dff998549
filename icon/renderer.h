// Keeping the tray icon current: one tick every 50 ms, repainting only when needed.
#ifndef VELTRANA_RENDERER_H
#define VELTRANA_RENDERER_H

#include <windows.h>
#include "painter.h"

// The icon the tray shows: the placeholder at start, then each painted icon.
extern HICON g_currentTrayIcon;

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

void RenderTrayIcon(HWND window);

#endif
