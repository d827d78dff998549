// The pixels of the tray icon: intensity, borders, shadows, activity colour, clipping.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "icon/painter.h"

namespace {

const IconColors kDefaults = {0x80000000, 0x008080FF, 0xFFFFFFFF, 0x20000000};

TEST(CellIntensity, GrowsWithTheSquareOfTheClockAndNeverWraps) {
    // Current and maximum clock, intensity: an unknown maximum, full and half clock; above the
    // maximum up to 255, then clamped there, not wrapped; clocks whose squares overflow 64 bits.
    const uint32_t top = UINT32_MAX, half = 1u << 31;
    const uint32_t cases[][3] = {{1234, 0, 192}, {3000, 3000, 192}, {1500, 3000, 48},  {5000, 5000, 192},
                                 {0, 5000, 0},   {5750, 5000, 253}, {5800, 5000, 255}, {10000, 5000, 255},
                                 {top, 1, 255},  {top, top, 192},   {half, top, 48}};
    for (const auto& c : cases)
        EXPECT_EQ(c[2], CellIntensity(c[0], c[1])) << c[0] << " of " << c[1] << " MHz";
}

ProcessorReading AtClock(uint32_t current, uint32_t idle = 0) {
    return {0, 3000, current, 3000, 0, idle};
}

// Lays out `readings.size()` processors without topology in a 16 x 16 icon and paints them.
std::vector<uint32_t> Paint16(uint32_t borders, const std::vector<ProcessorReading>& readings, bool activity,
                              const IconColors& colors = kDefaults) {
    CellRecord cells[kMaxProcessors];
    LayoutCells(readings.size(), {false, 0, 1, 0}, 16, 16, borders, cells);
    std::vector<uint32_t> pixels(256, 0);
    PaintCells(pixels.data(), 16, 16, readings.data(), cells, readings.size(), colors, borders, activity);
    return pixels;
}

// Four processors at full clock, every pixel. Borders on: cells (1, 1), (9, 1), (1, 9), (9, 9) of
// side 5, each framed on its own; rows and columns 7 and 15 stay transparent. Borders off: cells
// (0, 0), (9, 0), (0, 9), (9, 9) of side 6, each with a shadow right and below, fading at its ends.
TEST(PaintCells, FourProcessorsInA16PixelIcon) {
    // One cell with its lines or shadow, repeated every 8 pixels (borders on) or 9 (off). The
    // marks: c corner (border colour's alpha 0x60), | and - border line, # fill (alpha 192),
    // r shadow run (alpha 192 / 4) and e its ends (192 / 8), . transparent.
    const std::vector<std::string> tiles[] = {
        {"c-----c.", "|#####|.", "|#####|.", "|#####|.", "|#####|.", "|#####|.", "c-----c.", "........"},
        {"######e..", "######r..", "######r..", "######r..", "######r..", "######r..", "errrrre.."}};
    const std::string marks = ".c|-#re";
    const uint32_t colours[] = {0, 0x60000000, 0x80000000, 0x80000000, 0xC08080FF, 0x30000000, 0x18000000};
    for (uint32_t borders : {1u, 0u}) {
        const auto pixels = Paint16(borders, std::vector<ProcessorReading>(4, AtClock(3000)), false);
        const std::vector<std::string>& tile = tiles[borders ? 0 : 1];
        for (int i = 0; i < 256; ++i) {
            const int x = i % 16, y = i / 16;
            const size_t u = x % (borders ? 8 : 9), v = y % (borders ? 8 : 9);
            const char mark = v < tile.size() && u < tile[v].size() ? tile[v][u] : '.';
            EXPECT_EQ(colours[marks.find(mark)], pixels[i])
                << "borders " << borders << ", (" << x << ", " << y << ") should be '" << mark << "'";
        }
    }
}

// Two cells at half clock, (5, 1) and (5, 9): the activity colour fills the whole grid while the
// machine is busy, and a single cell whose processor is out of its deepest idle state.
TEST(PaintCells, ActivityColour) {
    // Activity flag, the current idle states of the two processors, the fills of their cells.
    const uint32_t active = 0xFF123456, half = 0x308080FF;
    const uint32_t cases[][5] = {
        {0, 0, 0, half, half}, {0, 0, 1, half, active}, {0, 1, 0, active, half}, {1, 0, 0, active, active}};
    for (const auto& c : cases) {
        const auto pixels = Paint16(1, {AtClock(1500, c[1]), AtClock(1500, c[2])}, c[0],
                                    {0x80000000, 0x008080FF, active, 0x20000000});
        EXPECT_EQ(std::make_pair(c[3], c[4]), std::make_pair(pixels[3 * 16 + 7], pixels[11 * 16 + 7]))
            << "activity " << c[0] << ", idle states " << c[1] << " and " << c[2];
    }
}

// Cells reaching past the icon or lying wholly outside it, in icons down to no pixels at all:
// the guard words around the buffer must stay untouched.
TEST(PaintCells, NeverWritesOutsideTheIcon) {
    const CellRecord cells[] = {{250, 250, 255, 3}, {15, 3, 5, 3}, {0, 0, 255, 3},  {200, 0, 100, 1},
                                {0, 200, 9, 2},     {1, 17, 5, 3}, {255, 255, 0, 3}};
    const uint32_t count = sizeof(cells) / sizeof(cells[0]);
    const std::vector<ProcessorReading> readings(count, AtClock(3000));
    const int32_t sizes[][2] = {{16, 16}, {1, 1}, {3, 200}, {200, 3}, {255, 255}, {0, 0}, {0, 16}, {16, 0}};
    const uint32_t guard = 0xDEADBEEF, pad = 1 << 16;
    for (const auto& size : sizes)
        for (uint32_t borders : {0u, 1u}) {
            const uint32_t pixels = size[0] * size[1];
            std::vector<uint32_t> buffer(pixels + 2 * pad, guard);
            PaintCells(&buffer[pad], size[0], size[1], readings.data(), cells, count, kDefaults, borders,
                       false);
            for (uint32_t i = 0; i < buffer.size(); i = i + 1 == pad ? pad + pixels : i + 1)
                ASSERT_EQ(guard, buffer[i]) << size[0] << " x " << size[1] << ", borders " << borders
                                            << ": word " << int64_t(i) - pad << " of the icon written";
        }
}

} // namespace
