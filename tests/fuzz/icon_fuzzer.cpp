// Lays out and paints icons from arbitrary processor counts, topologies, icon sizes, borders,
// readings and colours, into a buffer of exactly the icon's size: AddressSanitizer reports
// any write outside it, and the checks below any processor left without a cell.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "icon/cell_layout_core.h"
#include "icon/painter.h"

namespace {

ProcessorTopology FuzzTopology(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return {false, 0, 1};
    case 1: {
        // Records as the topology query returns them, for either build.
        const uint32_t pointerSize = in.ConsumeBool() ? 8 : 4;
        std::vector<uint8_t> records = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(0, 64 * 6 * 32));
        return ReadProcessorTopology(records.data(), records.size(), pointerSize);
    }
    default:
        return {true, in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegral<uint32_t>()};
    }
}

#define Check(condition)                                                                                     \
    ((condition) ? (void)0 : (fprintf(stderr, "check failed, line %d: %s\n", __LINE__, #condition), abort()))

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint32_t processors = in.ConsumeIntegralInRange<uint32_t>(1, kMaxProcessors);
    const int32_t width = in.ConsumeIntegralInRange(0, 255);
    const int32_t height = in.ConsumeIntegralInRange(0, 255);
    const uint32_t borders = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint32_t>();
    const ProcessorTopology topology = FuzzTopology(in);
    const bool activity = in.ConsumeBool();
    IconColors colors;
    colors.border = in.ConsumeIntegral<uint32_t>();
    colors.frequency = in.ConsumeIntegral<uint32_t>();
    colors.active = in.ConsumeIntegral<uint32_t>();
    colors.shadow = in.ConsumeIntegral<uint32_t>();

    // Every processor has a cell of the grid.
    const CellGrid grid = PlanCellGrid(processors, topology, width, height, borders);
    Check(grid.cols >= 1 && grid.rows >= 1);
    Check(uint64_t(grid.cols) * grid.rows >= processors);

    CellRecord cells[kMaxProcessors];
    LayoutCells(processors, topology, width, height, borders, cells);
    // A grid that fits keeps every cell, its lines and its shadow inside the icon.
    const uint32_t closing = borders != 0 ? 1 : 0;
    const uint64_t spanX = uint64_t(grid.cols) * grid.size + uint64_t(grid.cols - 1) * grid.gap + closing;
    const uint64_t spanY = uint64_t(grid.rows) * grid.size + uint64_t(grid.rows - 1) * grid.gap + closing;
    if (spanX < uint64_t(width) && spanY < uint64_t(height)) {
        for (uint32_t i = 0; i < processors; ++i) {
            Check(cells[i].x >= closing && cells[i].y >= closing);
            Check(cells[i].x + cells[i].size < width && cells[i].y + cells[i].size < height);
        }
    }

    // Some cells moved anywhere, as a stale or foreign layout would leave them.
    const uint32_t moved = in.ConsumeIntegralInRange<uint32_t>(0, processors);
    for (uint32_t i = 0; i < moved; ++i) {
        CellRecord& cell = cells[in.ConsumeIntegralInRange<uint32_t>(0, processors - 1)];
        cell.x = in.ConsumeIntegral<uint8_t>();
        cell.y = in.ConsumeIntegral<uint8_t>();
        cell.size = in.ConsumeIntegral<uint8_t>();
        cell.edges = in.ConsumeIntegral<uint8_t>();
    }

    ProcessorReading readings[kMaxProcessors];
    for (uint32_t i = 0; i < processors; ++i) {
        readings[i].Number = i;
        readings[i].MaxMhz =
            in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 6000) : in.ConsumeIntegral<uint32_t>();
        readings[i].CurrentMhz =
            in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 8000) : in.ConsumeIntegral<uint32_t>();
        readings[i].MhzLimit = readings[i].MaxMhz;
        readings[i].MaxIdleState = in.ConsumeIntegralInRange<uint32_t>(0, 3);
        readings[i].CurrentIdleState = in.ConsumeIntegralInRange<uint32_t>(0, 3);
        Check(CellIntensity(readings[i].CurrentMhz, readings[i].MaxMhz) <= 255);
    }

    // Exactly the icon's pixels, so that one word past either end is caught.
    const size_t pixelCount = size_t(width) * height;
    uint32_t* pixels = static_cast<uint32_t*>(malloc(pixelCount * sizeof(uint32_t) + 1));
    memset(pixels, 0, pixelCount * sizeof(uint32_t));
    PaintCells(pixels, width, height, readings, cells, processors, colors, borders, activity);
    free(pixels);
    return 0;
}
