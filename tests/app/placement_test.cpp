// Where the colour and open-file dialogs go, for each taskbar edge.
#include <gtest/gtest.h>
#include "app/placement.h"

namespace {

struct Case {
    PlacementRect work;
    uint32_t edge;
    int32_t w, h;
    int32_t x, y;
};

TEST(PlaceDialog, CornerByTaskbarEdge) {
    const Case cases[] = {
        {{0, 0, 1920, 1040}, 3, 400, 300, 1400, 675},  // bottom: bottom right
        {{60, 0, 1920, 1080}, 0, 400, 300, 176, 712},  // left: bottom left
        {{0, 40, 1920, 1080}, 1, 400, 300, 1400, 105}, // top: top right
        {{0, 0, 1860, 1080}, 2, 400, 300, 1343, 712},  // right: bottom right like the bottom
        {{0, 0, 1920, 1040}, 7, 400, 300, 0, 0},       // unknown edge: the work area's corner
        {{100, 50, 900, 650}, 4, 400, 300, 100, 50},
    };
    for (const Case& c : cases) {
        int32_t x = -1, y = -1;
        PlaceDialog(c.work, c.edge, c.w, c.h, &x, &y);
        EXPECT_EQ(c.x, x) << "edge " << c.edge;
        EXPECT_EQ(c.y, y) << "edge " << c.edge;
    }
}

TEST(PlaceDialog, WideDialogIsNotClamped) {
    // 15/16 of 1000 is 937; a 1200-pixel dialog starts 263 pixels left of the work area.
    int32_t x, y;
    PlaceDialog({0, 0, 1000, 800}, 3, 1200, 100, &x, &y);
    EXPECT_EQ(-263, x);
    EXPECT_EQ(650, y);
}

TEST(PlaceDialog, DivisionTruncatesTowardZeroAfterMultiplying) {
    // W = 17: 17 * 15 / 16 = 15 (not 15 * (17 / 16) = 15 either way), H = 31: 31 / 16 = 1.
    int32_t x, y;
    PlaceDialog({0, 0, 17, 31}, 1, 20, 5, &x, &y);
    EXPECT_EQ(-5, x);
    EXPECT_EQ(1, y);
    // A work area with negative coordinates (monitor left of the primary).
    PlaceDialog({-1920, 0, 0, 1040}, 3, 400, 300, &x, &y);
    EXPECT_EQ(-520, x);
    EXPECT_EQ(675, y);
}

} // namespace
