#include "icon/palette_core.h"

#include <math.h>

namespace {

const IconPalette kPalettes[] = {
    // Dark taskbar: half-white lines, a light blue fill, white activity.
    {0x80FFFFFF, 0x0090A0FF, 0xFFFFFFFF},
    // Light taskbar: half-black lines, a deep blue fill, near-black activity.
    {0x80000000, 0x002040D0, 0xFF202020},
};
const uint32_t kTaskbars[] = {0x202020, 0xF3F3F3};

// One sRGB channel (0 to 255) as linear light.
double Linear(uint32_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(uint32_t rgb) {
    return 0.2126 * Linear(rgb >> 16 & 0xFF) + 0.7152 * Linear(rgb >> 8 & 0xFF) + 0.0722 * Linear(rgb & 0xFF);
}

// Straight alpha over an opaque background, channel by channel, rounded.
uint32_t Composite(uint32_t colour, uint32_t alpha, uint32_t background) {
    uint32_t rgb = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = colour >> shift & 0xFF, b = background >> shift & 0xFF;
        rgb |= (c * alpha + b * (255 - alpha) + 127) / 255 << shift;
    }
    return rgb;
}

} // namespace

IconPalette DefaultPalette(TaskbarTheme theme) {
    return kPalettes[theme == kTaskbarLight];
}

uint32_t TaskbarColor(TaskbarTheme theme) {
    return kTaskbars[theme == kTaskbarLight];
}

double ContrastOver(uint32_t colour, uint32_t alpha, uint32_t background) {
    const double a = Luminance(Composite(colour, alpha > 255 ? 255 : alpha, background));
    const double b = Luminance(background);
    return a > b ? (a + 0.05) / (b + 0.05) : (b + 0.05) / (a + 0.05);
}
