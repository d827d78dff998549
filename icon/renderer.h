// Keeping the tray icon current: one tick every 50 ms, repainting only when needed.
#ifndef VELTRANA_RENDERER_H
#define VELTRANA_RENDERER_H

#include <windows.h>

// One tick: reads the processors and the system times and, when the picture has to change,
// paints a new icon and returns it; the caller shows it and owns it from then on. Null when
// nothing changed or painting failed.
HICON RenderTrayIcon();

// The fastest processor at the last tick, for the tooltip. With the performance counter: its
// percentage of the nominal clock and that clock (MaxMhz, 0 where unknown); without: percent
// negative and its current clock. On hybrid processors efficiencyClass is its class (-1 on
// others), and with the counter the clock is unknown (0): one nominal clock does not serve cores
// of several classes. False before any tick has read the processors.
struct FastestProcessor {
    UINT number;
    double percent;
    DWORD mhz;
    int efficiencyClass;
};
bool FindFastestProcessor(FastestProcessor* fastest);

#endif
