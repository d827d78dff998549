// The default colours against the taskbar of their theme.
#include <gtest/gtest.h>

#include "icon/palette_core.h"

namespace {

// At least 3:1 on the theme's own taskbar: lines and activity at their own alpha, the fill at the
// alpha of full speed. The contrast itself first, against a figure known from elsewhere: the
// light blue fill used before, at full speed on the light taskbar.
TEST(DefaultPalette, EachColourStandsOutOnItsTaskbar) {
    EXPECT_NEAR(2.21, ContrastOver(0x8080FF, 192, 0xF3F3F3), 0.005);
    for (const TaskbarTheme theme : {kTaskbarDark, kTaskbarLight}) {
        const IconPalette palette = DefaultPalette(theme);
        const uint32_t taskbar = TaskbarColor(theme);
        const char* name = theme == kTaskbarDark ? "on the dark taskbar" : "on the light taskbar";
        EXPECT_GE(ContrastOver(palette.border, palette.border >> 24, taskbar), 3.0) << "lines " << name;
        EXPECT_GE(ContrastOver(palette.frequency, 192, taskbar), 3.0) << "fill at full speed " << name;
        EXPECT_GE(ContrastOver(palette.active, palette.active >> 24, taskbar), 3.0) << "activity " << name;
    }
}

} // namespace
