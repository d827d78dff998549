// Painting the tray icon's pixels from the processors' readings. No Windows headers: the
// painter is a pure function of its inputs, tested natively and fuzzed.
#ifndef VELTRANA_PAINTER_H
#define VELTRANA_PAINTER_H

#include <stdint.h>
#include "cell_layout_core.h"

// One processor's reading, laid out as Windows' PROCESSOR_POWER_INFORMATION.
struct ProcessorReading {
    uint32_t Number;
    uint32_t MaxMhz;
    uint32_t CurrentMhz;
    uint32_t MhzLimit;
    uint32_t MaxIdleState;
    uint32_t CurrentIdleState;
};

struct IconColors {
    uint32_t border;    // 0xAARRGGBB
    uint32_t frequency; // alpha byte normally 0: the intensity becomes the alpha
    uint32_t active;
    uint32_t shadow; // only the colour is used; the alpha follows the intensity
};

// The icon's pixels: width * height words, top row first, pixel (x, y) at y * width + x.
struct IconPixels {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
};

// Stores without any test: only for pixels known to lie inside the icon.
inline void PutPixel(const IconPixels& icon, int32_t x, int32_t y, uint32_t colour) {
    icon.pixels[y * icon.width + x] = colour;
}

// Stores only inside the icon; compared unsigned, so -1 on either axis is dropped.
inline void PutPixelClipped(const IconPixels& icon, int32_t x, int32_t y, uint32_t colour) {
    if (static_cast<uint32_t>(y) < static_cast<uint32_t>(icon.height) &&
        static_cast<uint32_t>(x) < static_cast<uint32_t>(icon.width))
        PutPixel(icon, x, y, colour);
}

// Fill alpha of a processor: 192 at full clock, growing with the square of the ratio, and
// 192 when the maximum is unknown (0). Clocks above the maximum give at most 255, so the
// alpha never wraps.
uint32_t CellIntensity(uint32_t currentMhz, uint32_t maxMhz);

// Paints `count` cells into pixels[iconWidth * iconHeight] (0xAARRGGBB, top row first),
// which the caller has zeroed. Never writes outside the buffer, whatever the cells hold;
// an icon with no pixels gets no write at all.
void PaintCells(uint32_t* pixels, int32_t iconWidth, int32_t iconHeight, const ProcessorReading* readings,
                const CellRecord* cells, uint32_t count, const IconColors& colors, uint32_t borders,
                bool activity);

#endif
