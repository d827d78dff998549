// Where the colour and open-file dialogs go for each taskbar edge.
#include <gtest/gtest.h>
#include <utility>
#include "app/placement.h"

namespace {

// Fifteen sixteenths are taken by multiplying first: 1080 gives 1012 (not 67 x 15 = 1005), 1860
// gives 1743 (not 1740), 1000 gives 937 (not 930), as the rows with those sizes show for each edge.
TEST(PlaceDialog, CornerOfTheWorkAreaByTaskbarEdge) {
    const struct {
        const char* name;
        PlacementRect work;
        uint32_t edge;
        int32_t w, h, x, y;
    } cases[] = {
        {"bottom: bottom right", {0, 0, 1920, 1040}, 3, 400, 300, 1400, 675},
        {"left: bottom left", {60, 0, 1920, 1080}, 0, 400, 300, 176, 712},
        {"top: top right", {0, 40, 1920, 1080}, 1, 400, 300, 1400, 105},
        {"right: bottom right", {0, 0, 1860, 1080}, 2, 400, 300, 1343, 712},
        {"unknown edge: the work area's top left", {100, 50, 900, 650}, 4, 400, 300, 100, 50},
        {"wider than 15/16: not clamped", {0, 0, 1000, 800}, 3, 1200, 100, -263, 650},
        {"top, monitor left of and above the primary", {-1000, -200, 0, 840}, 1, 400, 300, -463, -135},
    };
    for (const auto& c : cases) {
        int32_t x = -1, y = -1;
        PlaceDialog(c.work, c.edge, c.w, c.h, &x, &y);
        EXPECT_EQ(std::make_pair(c.x, c.y), std::make_pair(x, y)) << c.name;
    }
}

} // namespace
