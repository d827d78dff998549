// The pixels of the tray icon: intensity, borders, shadows, activity colour and clipping.
#include <gtest/gtest.h>
#include <vector>
#include "icon/painter.h"

namespace {

const IconColors kDefaults = {0x80000000, 0x008080FF, 0xFFFFFFFF, 0x20000000};

TEST(CellIntensity, GrowsWithTheSquareOfTheClockAndNeverWraps) {
    const struct {
        uint32_t current, max, intensity;
    } cases[] = {
        {5000, 5000, 192},
        {2500, 5000, 48},
        {0, 5000, 0},
        {1, 3, 21},
        {1234, 0, 192}, // max unknown
        {5750, 5000, 253},
        {5800, 5000, 255},
        {10000, 5000, 255}, // above the maximum: clamped
        {0xFFFFFFFF, 1, 255},
        {0xFFFFFFFF, 0xFFFFFFFF, 192}, // no product overflows
        {0x7FFFFFFF, 0xFFFFFFFF, 47},
        {0x80000000, 0xFFFFFFFF, 48},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.intensity, CellIntensity(c.current, c.max)) << c.current << " / " << c.max;
}

struct Icon {
    int32_t width, height;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[y * width + x]; }
};

Icon Paint(int32_t side, uint32_t processors, uint32_t borders, const std::vector<ProcessorReading>& readings,
           bool activity = false, const IconColors& colors = kDefaults) {
    CellRecord cells[kMaxProcessors];
    LayoutCells(processors, {false, 0, 1}, side, side, borders, cells);
    Icon icon = {side, side, std::vector<uint32_t>(side * side, 0)};
    PaintCells(icon.pixels.data(), side, side, readings.data(), cells, processors, colors, borders, activity);
    return icon;
}

ProcessorReading AtClock(uint32_t current, uint32_t max = 3000) {
    return {0, max, current, max, 0, 0};
}

// Four cells (1, 1), (9, 1), (1, 9), (9, 9) of side 5 with their own frames.
TEST(PaintCells, FourProcessorsWithBorders) {
    const Icon icon = Paint(16, 4, 1, std::vector<ProcessorReading>(4, AtClock(3000)));
    auto line = [](int v) { return v == 0 || v == 6 || v == 8 || v == 14; };
    auto inside = [](int v) { return (v >= 1 && v <= 5) || (v >= 9 && v <= 13); };
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint32_t expected = 0; // rows and columns 7 and 15 stay transparent
            if (line(x) && line(y))
                expected = 0x60000000; // where a cell's lines meet
            else if ((line(x) && inside(y)) || (line(y) && inside(x)))
                expected = 0x80000000;
            else if (inside(x) && inside(y))
                expected = 0xC08080FF;
            EXPECT_EQ(expected, icon.at(x, y)) << "(" << x << ", " << y << ")";
        }
}

// Cells (0, 0), (9, 0), (0, 9), (9, 9) of side 6, each with a shadow right and below.
TEST(PaintCells, FourProcessorsWithShadows) {
    const struct {
        uint32_t clock, fill, run, end;
    } strengths[] = {{3000, 0xC08080FF, 0x30000000, 0x18000000}, {1500, 0x308080FF, 0x0C000000, 0x06000000}};
    for (const auto& s : strengths) {
        const Icon icon = Paint(16, 4, 0, std::vector<ProcessorReading>(4, AtClock(s.clock)));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const int cx = x % 9, cy = y % 9; // position within the cell's 9-pixel pitch
                uint32_t expected = 0;
                if (cx <= 5 && cy <= 5)
                    expected = s.fill;
                else if ((cx == 6 && (cy == 0 || cy == 6)) || (cy == 6 && cx == 0))
                    expected = s.end;
                else if ((cx == 6 && cy <= 5) || (cy == 6 && cx <= 5))
                    expected = s.run;
                EXPECT_EQ(expected, icon.at(x, y)) << "clock " << s.clock << " (" << x << ", " << y << ")";
            }
    }
}

TEST(PaintCells, ActivityColour) {
    const IconColors colors = {0x80000000, 0x008080FF, 0xFF123456, 0x20000000};
    std::vector<ProcessorReading> readings(2, AtClock(1500));
    readings[1].CurrentIdleState = 1; // a processor out of its deepest idle state
    Icon icon = Paint(16, 2, 1, readings, false, colors);
    EXPECT_EQ(0x308080FFu, icon.at(7, 3));
    EXPECT_EQ(0xFF123456u, icon.at(7, 11));
    // The whole grid while the machine is busy, whatever the clock.
    icon = Paint(16, 2, 1, {AtClock(0), AtClock(3000)}, true, colors);
    EXPECT_EQ(0xFF123456u, icon.at(7, 3));
    EXPECT_EQ(0xFF123456u, icon.at(7, 11));
}

TEST(PaintCells, ClockAboveTheMaximumKeepsFullAlpha) {
    const Icon icon = Paint(16, 1, 0, {AtClock(6000)});
    EXPECT_EQ(0xFF8080FFu, icon.at(5, 5));
    EXPECT_EQ(0x3F000000u, icon.at(15, 5)); // shadow run: 255 / 4
}

// Cells reaching past the icon or placed wholly outside it, in icons down to no pixels at
// all: the buffer is surrounded by guard words that must stay untouched.
TEST(PaintCells, NeverWritesOutsideTheIcon) {
    const CellRecord cells[] = {{250, 250, 255, 3}, {15, 3, 5, 3},  {0, 0, 255, 3},
                                {200, 0, 100, 1},   {0, 200, 9, 2}, {255, 255, 0, 3}};
    const uint32_t count = sizeof(cells) / sizeof(cells[0]);
    const std::vector<ProcessorReading> readings(count, AtClock(3000));
    const int32_t sizes[][2] = {{16, 16}, {1, 1}, {3, 200}, {200, 3}, {255, 255}, {0, 0}, {0, 16}, {16, 0}};
    const uint32_t guard = 0xDEADBEEF, pad = 300;
    for (const auto& size : sizes)
        for (uint32_t borders : {0u, 1u}) {
            const uint32_t pixels = size[0] * size[1];
            std::vector<uint32_t> buffer(pixels + 2 * pad, guard);
            PaintCells(buffer.data() + pad, size[0], size[1], readings.data(), cells, count, kDefaults,
                       borders, true);
            uint32_t written = 0;
            for (uint32_t i = 0; i < buffer.size(); ++i) {
                const bool isGuard = i < pad || i >= pad + pixels;
                if (isGuard) {
                    EXPECT_EQ(guard, buffer[i]) << size[0] << " x " << size[1] << " word " << i;
                } else {
                    written += buffer[i] != guard;
                }
            }
            if (pixels != 0) {
                EXPECT_GT(written, 0u) << size[0] << " x " << size[1];
            }
        }
}

TEST(PaintCells, CellBelowTheIconShowsOnlyOnItsLastRow) {
    // The fifth cell of a 2 x 2 grid folded from five rows would sit at (1, 17).
    const CellRecord cell = {1, 17, 5, 3};
    const ProcessorReading reading = AtClock(3000);
    std::vector<uint32_t> pixels(256, 0);
    PaintCells(pixels.data(), 16, 16, &reading, &cell, 1, kDefaults, 1, false);
    for (int i = 0; i < 256; ++i) {
        const int x = i % 16, y = i / 16;
        uint32_t expected = 0;
        if (y == 15 && (x == 0 || x == 6))
            expected = 0x60000000;
        else if (y == 15 && x < 6)
            expected = 0x80000000;
        EXPECT_EQ(expected, pixels[i]) << "(" << x << ", " << y << ")";
    }
}

} // namespace
