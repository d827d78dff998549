// The performance counter's instances and how a reading becomes a cell's opacity.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>
#include "icon/painter.h"
#include "icon/performance_core.h"

namespace {

TEST(ParseProcessorInstance, OnlyNodeCommaIndexNamesAProcessor) {
    // "node,index" as parsed, or "-" for a name that is no processor.
    const struct {
        const wchar_t* name;
        const char* parsed;
    } cases[] = {
        {L"0,0", "0,0"}, {L"0,63", "0,63"}, {L"1,5", "1,5"}, {L"_Total", "-"},       {L"0,_Total", "-"},
        {L"", "-"},      {L",3", "-"},      {L"0,", "-"},    {L"0,3x", "-"},         {L"0;3", "-"},
        {L"-1,3", "-"},  {L"0,3,4", "-"},   {L"0, 3", "-"},  {L"9999999999,1", "-"}, {nullptr, "-"},
    };
    for (const auto& c : cases) {
        uint32_t node = 77, index = 77;
        const std::string parsed = ParseProcessorInstance(c.name, &node, &index)
                                       ? std::to_string(node) + "," + std::to_string(index)
                                       : "-";
        EXPECT_EQ(c.parsed, parsed) << (c.name ? c.name : L"(null)");
    }
}

// "N,K" is the K-th processor of node N in ascending order; only the program's own group (0
// here) is shown.
TEST(NodeProcessorNumber, TheKthProcessorOfTheNodeInTheOwnGroup) {
    const std::vector<NodeProcessors> oneNode = {{0, 0, 0xFF}};
    const std::vector<NodeProcessors> unequal = {{0, 0, 0x3F}, {1, 0, 0x3C0}}; // 6 and 4 processors
    const std::vector<NodeProcessors> interleaved = {{0, 0, 0x55}, {1, 0, 0xAA}};
    const std::vector<NodeProcessors> spanning = {{1, 1, 0x3}, {0, 0, 0x1}, {1, 0, 0x6}}; // groups 1, 0
    const std::vector<NodeProcessors> none;
    // The processor number, or -1 where the instance names no cell.
    const struct {
        const char* layout;
        const std::vector<NodeProcessors>& nodes;
        uint32_t node, index;
        int number;
    } cases[] = {
        {"one node", oneNode, 0, 0, 0},        {"one node", oneNode, 0, 7, 7},
        {"one node", oneNode, 0, 8, -1},       {"one node", oneNode, 1, 0, -1},
        {"unequal", unequal, 0, 5, 5},         {"unequal", unequal, 1, 0, 6},
        {"unequal", unequal, 1, 3, 9},         {"unequal", unequal, 1, 4, -1},
        {"interleaved", interleaved, 0, 1, 2}, {"interleaved", interleaved, 0, 3, 6},
        {"interleaved", interleaved, 1, 0, 1}, {"interleaved", interleaved, 1, 3, 7},
        {"spanning", spanning, 1, 1, 2},       {"spanning", spanning, 1, 2, -1},
        {"no nodes listed", none, 0, 0, -1},
    };
    for (const auto& c : cases) {
        uint32_t number = 77;
        const bool found = NodeProcessorNumber(c.nodes.data(), static_cast<uint32_t>(c.nodes.size()), c.node,
                                               c.index, 0, &number);
        EXPECT_EQ(c.number, found ? static_cast<int>(number) : -1)
            << c.layout << ": " << c.node << "," << c.index;
    }
}

// A 32-bit program sees a node's mask with its high half folded into the low half: on two nodes of
// 24 processors the masks overlap, and then no instance is mapped. Asked processor by processor,
// the nodes keep every processor where it is: "1,16" is processor 40.
TEST(NodesOverlap, FoldedMasksAreRefusedAndProcessorByProcessorIsNot) {
    const struct {
        const char* machine;
        std::vector<NodeProcessors> nodes;
        bool overlap;
    } cases[] = {
        {.machine = "2 x 24, folded", .nodes = {{0, 0, 0xFFFFFF}, {1, 0, 0xFF00FFFF}}, .overlap = true},
        {.machine = "2 x 16", .nodes = {{0, 0, 0xFFFF}, {1, 0, 0xFFFF0000}}, .overlap = false},
        {.machine = "1 x 48, folded", .nodes = {{0, 0, 0xFFFFFFFF}}, .overlap = false},
        {.machine = "2 x 32 in two groups",
         .nodes = {{0, 0, 0xFFFFFFFF}, {1, 1, 0xFFFFFFFF}},
         .overlap = false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.overlap, NodesOverlap(c.nodes.data(), static_cast<uint32_t>(c.nodes.size())))
            << c.machine;

    NodeProcessors nodes[2];
    uint32_t count = 0, number = 77;
    for (uint32_t n = 0; n < 48; ++n)
        ASSERT_TRUE(AddNodeProcessor(nodes, &count, 2, n / 24, 0, n)) << "processor " << n;
    EXPECT_FALSE(AddNodeProcessor(nodes, &count, 2, 2, 0, 0)) << "a third node in room for two";
    EXPECT_FALSE(NodesOverlap(nodes, count));
    EXPECT_TRUE(NodeProcessorNumber(nodes, count, 1, 16, 0, &number));
    EXPECT_EQ(40u, number);
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

// The reading shown moves past the wobble, after readings stay off on one side for three passes,
// or when a reading comes or goes; one pass after the other from 50.
TEST(FollowReading, SmallMovesKeepTheReadingShown) {
    const struct {
        const char* name;
        double reading;
        bool valid;
        bool changed;
        double shown;
    } cases[] = {
        {.name = "up 1", .reading = 51, .valid = true, .changed = false, .shown = 50},
        {.name = "down 2", .reading = 48, .valid = true, .changed = false, .shown = 50},
        {.name = "up 1 again", .reading = 51, .valid = true, .changed = false, .shown = 50},
        {.name = "up 2.5", .reading = 52.5, .valid = true, .changed = true, .shown = 52.5},
        {.name = "1 above, first pass", .reading = 53.5, .valid = true, .changed = false, .shown = 52.5},
        {.name = "within the margin", .reading = 52.9, .valid = true, .changed = false, .shown = 52.5},
        {.name = "1 above, first pass again",
         .reading = 53.5,
         .valid = true,
         .changed = false,
         .shown = 52.5},
        {.name = "1 above, second pass", .reading = 53.5, .valid = true, .changed = false, .shown = 52.5},
        {.name = "1 above, third pass", .reading = 53.5, .valid = true, .changed = true, .shown = 53.5},
        {.name = "gone", .reading = 0, .valid = false, .changed = true, .shown = 0},
        {.name = "back, within the wobble of 0", .reading = 1, .valid = true, .changed = true, .shown = 1},
    };
    ShownReading shown = {.percent = 50, .valid = true, .offPasses = 0};
    for (const auto& c : cases) {
        EXPECT_EQ(c.changed, FollowReading(c.reading, c.valid, &shown)) << c.name;
        EXPECT_EQ(c.valid, shown.valid) << c.name;
        EXPECT_EQ(c.shown, shown.percent) << c.name;
    }
}

// On a hybrid processor each efficiency class keeps its own highest reading, which is full for it;
// a reading that is not valid counts for none.
TEST(RaiseHighestSeen, EachClassKeepsItsOwnHighest) {
    const double percent[] = {130, 100, 90, 120};
    const bool valid[] = {true, true, true, false};
    const uint8_t efficiency[] = {1, 0, 0, 0};
    double highest[kEfficiencyClasses] = {};
    RaiseHighestSeen(percent, valid, efficiency, 4, highest);
    EXPECT_EQ(130, highest[1]) << "the fast cores' class";
    EXPECT_EQ(100, highest[0]) << "the slow cores' class";
}

} // namespace
