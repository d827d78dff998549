#include "app/placement.h"

void PlaceDialog(PlacementRect workArea, uint32_t taskbarEdge, int32_t dialogWidth, int32_t dialogHeight,
                 int32_t* x, int32_t* y) {
    // Signed 32-bit arithmetic truncating toward zero; the inset is a sixteenth of the work
    // area, and nothing is clamped, so a dialog wider than 15/16 of it starts left of it.
    int32_t w = workArea.right - workArea.left;
    int32_t h = workArea.bottom - workArea.top;
    int32_t dx, dy;
    switch (taskbarEdge) {
    case 0: // left: bottom-left corner
        dx = w / 16;
        dy = h * 15 / 16 - dialogHeight;
        break;
    case 1: // top: top-right corner
        dx = w * 15 / 16 - dialogWidth;
        dy = h / 16;
        break;
    case 2: // right and bottom: bottom-right corner
    case 3:
        dx = w * 15 / 16 - dialogWidth;
        dy = h * 15 / 16 - dialogHeight;
        break;
    default:
        dx = 0;
        dy = 0;
        break;
    }
    *x = workArea.left + dx;
    *y = workArea.top + dy;
}
