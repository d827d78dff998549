// The performance counter's instances and how a reading becomes a cell's opacity.
#include <gtest/gtest.h>
#include <math.h>
#include "icon/painter.h"
#include "icon/performance_core.h"

namespace {

TEST(ParseProcessorInstance, OnlyGroupCommaNumberNamesAProcessor) {
    // "group,number" as parsed, or "-" for a name that is no processor.
    const struct {
        const wchar_t* name;
        const char* parsed;
    } cases[] = {
        {L"0,0", "0,0"}, {L"0,63", "0,63"}, {L"1,5", "1,5"}, {L"_Total", "-"},       {L"0,_Total", "-"},
        {L"", "-"},      {L",3", "-"},      {L"0,", "-"},    {L"0,3x", "-"},         {L"0;3", "-"},
        {L"-1,3", "-"},  {L"0,3,4", "-"},   {L"0, 3", "-"},  {L"9999999999,1", "-"}, {nullptr, "-"},
    };
    for (const auto& c : cases) {
        uint32_t group = 77, number = 77;
        const std::string parsed = ParseProcessorInstance(c.name, &group, &number)
                                       ? std::to_string(group) + "," + std::to_string(number)
                                       : "-";
        EXPECT_EQ(c.parsed, parsed) << (c.name ? c.name : L"(null)");
    }
}

// Full opacity (192) belongs to the highest performance seen, at least 100 %.
TEST(PerformanceAsClock, FullIntensityAtTheHighestPerformanceSeen) {
    const struct {
        double percent, highest;
        uint32_t intensity;
    } cases[] = {
        {50, 100, 48}, {100, 100, 192}, {100, 110, 158}, {110, 110, 192}, {50, 40, 48},
        {0, 100, 0},   {-5, 100, 0},    {NAN, 100, 0},   {120, 100, 255}, {1e30, 1e30, 192},
    };
    for (const auto& c : cases) {
        uint32_t current, maximum;
        PerformanceAsClock(c.percent, c.highest, &current, &maximum);
        EXPECT_EQ(c.intensity, CellIntensity(current, maximum)) << c.percent << " % of " << c.highest << " %";
    }
}

} // namespace
