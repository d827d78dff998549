// Lays out and paints icons from arbitrary processor counts, topologies (parsed from raw records
// of either size, or made up), icon sizes, borders, cells, readings and colours, into a buffer of
// exactly the icon's size: AddressSanitizer reports any access outside it or outside the records,
// and the check below a processor left without a cell.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <vector>
#include "icon/cell_layout_core.h"
#include "icon/painter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint32_t processors = in.ConsumeIntegralInRange<uint32_t>(1, kMaxProcessors);
    const int32_t width = in.ConsumeIntegralInRange(0, 255), height = in.ConsumeIntegralInRange(0, 255);
    const uint32_t borders = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint32_t>();
    const std::vector<uint8_t> records = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(0, 64 * 6 * 32));
    ProcessorTopology topology =
        ReadProcessorTopology(records.data(), records.size(), in.ConsumeBool() ? 8 : 4);
    if (in.ConsumeBool())
        topology = {in.ConsumeBool(), in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegral<uint32_t>()};
    if (in.ConsumeBool()) // the same bytes as core records with efficiency classes
        ReadEfficiencyClasses(records.data(), records.size(), in.ConsumeBool() ? 8 : 4, 0, processors,
                              &topology);

    const CellGrid grid = PlanCellGrid(processors, topology, width, height, borders);
    if (grid.cols == 0 || uint64_t(grid.cols) * grid.rows < processors)
        abort(); // a processor without a cell
    CellRecord cells[kMaxProcessors];
    LayoutCells(processors, topology, width, height, borders, cells);
    // Some cells moved anywhere, as a stale or foreign layout would leave them.
    for (uint32_t i = 0; i < processors; ++i)
        if (in.ConsumeBool())
            in.ConsumeData(&cells[i], sizeof(cells[i]));

    const bool activity = in.ConsumeBool();
    IconColors colors = {};
    in.ConsumeData(&colors, sizeof(colors));
    ProcessorReading readings[kMaxProcessors] = {};
    in.ConsumeData(readings, processors * sizeof(readings[0]));
    std::vector<uint32_t> pixels(size_t(width) * height); // exactly the icon's pixels
    PaintCells(pixels.data(), width, height, readings, cells, processors, colors, borders, activity);
    return 0;
}
