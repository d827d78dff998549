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

// Fill alpha of a processor: 192 at full clock, growing with the square of the ratio.
uint32_t CellIntensity(uint32_t currentMhz, uint32_t maxMhz);

// Paints `count` cells into pixels[iconWidth * iconHeight] (0xAARRGGBB, top row first),
// which the caller has zeroed. Never writes outside the buffer.
void PaintCells(uint32_t* pixels, int32_t iconWidth, int32_t iconHeight, const ProcessorReading* readings,
                const CellRecord* cells, uint32_t count, const IconColors& colors, uint32_t borders,
                bool activity);

#endif
