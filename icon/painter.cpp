#include "icon/painter.h"

namespace {

const uint32_t kFullIntensity = 192;
const uint32_t kMaxIntensity = 255; // the most an alpha byte holds
const uint32_t kCornerAlpha = 0x60000000;
const uint32_t kColourBits = 0x00FFFFFF;

// Border lines below and right of the cell, plus the top and left lines its edge flags ask
// for. right and bottom are the clamped far edges, always inside the icon.
void PaintBorders(const IconPixels& icon, const CellRecord& cell, int32_t right, int32_t bottom,
                  uint32_t border) {
    const int32_t x = cell.x;
    const int32_t y = cell.y;
    const uint32_t corner = (border & kColourBits) | kCornerAlpha;
    PutPixel(icon, right, bottom, corner);
    for (int32_t c = x; c < right; ++c)
        PutPixel(icon, c, bottom, border);
    for (int32_t r = y; r < bottom; ++r)
        PutPixel(icon, right, r, border);
    if (cell.edges & (CELL_EDGE_TOP | CELL_EDGE_LEFT))
        PutPixelClipped(icon, x - 1, y - 1, corner);
    if (cell.edges & CELL_EDGE_TOP) {
        PutPixelClipped(icon, right, y - 1, corner);
        for (int32_t c = x; c < right; ++c)
            PutPixelClipped(icon, c, y - 1, border);
    }
    if (cell.edges & CELL_EDGE_LEFT) {
        PutPixelClipped(icon, x - 1, bottom, corner);
        for (int32_t r = y; r < bottom; ++r)
            PutPixelClipped(icon, x - 1, r, border);
    }
}

// A one-pixel shadow right of and below the cell, as strong as the cell is, fading at its
// three ends.
void PaintShadow(const IconPixels& icon, const CellRecord& cell, int32_t right, int32_t bottom,
                 uint32_t intensity, uint32_t shadow) {
    const int32_t x = cell.x;
    const int32_t y = cell.y;
    const uint32_t colour = shadow & kColourBits;
    const uint32_t end = ((intensity / 8) << 24) | colour;
    const uint32_t run = ((intensity / 4) << 24) | colour;
    PutPixelClipped(icon, right, bottom, end);
    PutPixelClipped(icon, x, bottom, end);
    PutPixelClipped(icon, right, y, end);
    for (int32_t c = x + 1; c < right; ++c)
        PutPixel(icon, c, bottom, run);
    for (int32_t r = y + 1; r < bottom; ++r)
        PutPixel(icon, right, r, run);
}

} // namespace

uint32_t CellIntensity(uint32_t currentMhz, uint32_t maxMhz) {
    if (maxMhz == 0)
        return kFullIntensity;
    uint64_t current = currentMhz;
    uint64_t maximum = maxMhz;
    // Twice the maximum is four times full intensity, far past the clamp.
    if (current >= 2 * maximum)
        return kMaxIntensity;
    // 192 * current^2 fits 64 bits while current < 2^28 MHz, exactly as any real clock does.
    // Beyond that both are scaled down alike, which keeps their ratio to many digits.
    while (current >= (uint64_t(1) << 28)) {
        current >>= 1;
        maximum >>= 1;
    }
    const uint64_t intensity = kFullIntensity * current * current / (maximum * maximum);
    return intensity > kMaxIntensity ? kMaxIntensity : static_cast<uint32_t>(intensity);
}

void PaintCells(uint32_t* pixels, int32_t iconWidth, int32_t iconHeight, const ProcessorReading* readings,
                const CellRecord* cells, uint32_t count, const IconColors& colors, uint32_t borders,
                bool activity) {
    // The clamped far edges below are inside the icon only when it has a pixel at all.
    if (iconWidth <= 0 || iconHeight <= 0)
        return;
    const IconPixels icon = {pixels, iconWidth, iconHeight};
    for (uint32_t j = 0; j < count; ++j) {
        const ProcessorReading& reading = readings[j];
        const CellRecord& cell = cells[j];
        const uint32_t intensity = CellIntensity(reading.CurrentMhz, reading.MaxMhz);

        // A cell reaching past the icon is cut at its last row and column.
        const int32_t x = cell.x;
        const int32_t y = cell.y;
        const int32_t right = x + cell.size < iconWidth ? x + cell.size : iconWidth - 1;
        const int32_t bottom = y + cell.size < iconHeight ? y + cell.size : iconHeight - 1;

        if (borders != 0)
            PaintBorders(icon, cell, right, bottom, colors.border);
        else
            PaintShadow(icon, cell, right, bottom, intensity, colors.shadow);

        // A processor in a shallower idle state than its deepest one is busy right now.
        const uint32_t fill = activity || reading.CurrentIdleState != reading.MaxIdleState
                                  ? colors.active
                                  : (intensity << 24) | colors.frequency;
        for (int32_t r = y; r < bottom; ++r)
            for (int32_t c = x; c < right; ++c)
                PutPixel(icon, c, r, fill);
    }
}
