// Where a common dialog goes: a corner of the work area next to the taskbar. No Windows
// headers, so the arithmetic is tested natively.
#ifndef VELTRANA_PLACEMENT_H
#define VELTRANA_PLACEMENT_H

#include <stdint.h>

struct PlacementRect {
    int32_t left, top, right, bottom;
};

// Top-left corner of a dialog of the given size in the work area, for the taskbar edge
// (ABE_LEFT 0, ABE_TOP 1, ABE_RIGHT 2, ABE_BOTTOM 3; anything else: the work area's corner).
void PlaceDialog(PlacementRect workArea, uint32_t taskbarEdge, int32_t dialogWidth, int32_t dialogHeight,
                 int32_t* x, int32_t* y);

#endif
