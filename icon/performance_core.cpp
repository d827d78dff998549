#include "icon/performance_core.h"

namespace {

const double kFullAtLeast = 100.0;
const double kLargest = 10000.0; // far beyond any clock; keeps the hundredths in 32 bits

// Decimal digits up to `end`; false when there are none or too many for 32 bits.
bool ReadNumber(const wchar_t** text, wchar_t end, uint32_t* value) {
    const wchar_t* p = *text;
    uint32_t n = 0;
    int digits = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p, ++digits) {
        if (digits == 9)
            return false;
        n = n * 10 + static_cast<uint32_t>(*p - L'0');
    }
    if (digits == 0 || *p != end)
        return false;
    *value = n;
    *text = p + (end ? 1 : 0);
    return true;
}

double Clamp(double percent) {
    return percent > 0.0 ? (percent < kLargest ? percent : kLargest) : 0.0; // NaN gives 0
}

} // namespace

bool ParseProcessorInstance(const wchar_t* name, uint32_t* node, uint32_t* index) {
    return name && ReadNumber(&name, L',', node) && ReadNumber(&name, L'\0', index);
}

bool NodeProcessorNumber(const NodeProcessors* nodes, uint32_t count, uint32_t node, uint32_t index,
                         uint16_t ownGroup, uint32_t* number) {
    // The node's groups in ascending order: each round takes the lowest group above the last.
    int32_t lastGroup = -1;
    for (;;) {
        const NodeProcessors* next = nullptr;
        for (uint32_t i = 0; i < count; ++i)
            if (nodes[i].node == node && nodes[i].group > lastGroup &&
                (!next || nodes[i].group < next->group))
                next = &nodes[i];
        if (!next)
            return false;
        for (uint32_t bit = 0; bit < 64; ++bit) {
            if (!(next->mask >> bit & 1))
                continue;
            if (index-- > 0)
                continue;
            *number = bit;
            return next->group == ownGroup;
        }
        lastGroup = next->group;
    }
}

bool AddNodeProcessor(NodeProcessors* nodes, uint32_t* count, uint32_t room, uint32_t node, uint16_t group,
                      uint32_t number) {
    if (number >= 64)
        return false;
    uint32_t i = 0;
    while (i < *count && (nodes[i].node != node || nodes[i].group != group))
        ++i;
    if (i == *count) {
        if (*count == room)
            return false;
        nodes[(*count)++] = {node, group, 0};
    }
    nodes[i].mask |= 1ULL << number;
    return true;
}

bool NodesOverlap(const NodeProcessors* nodes, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        for (uint32_t j = i + 1; j < count; ++j)
            if (nodes[i].group == nodes[j].group && (nodes[i].mask & nodes[j].mask) != 0)
                return true;
    return false;
}

void PerformanceAsClock(double percent, double highestSeen, uint32_t* current, uint32_t* maximum) {
    double full = Clamp(highestSeen);
    if (full < kFullAtLeast)
        full = kFullAtLeast;
    *current = static_cast<uint32_t>(Clamp(percent) * 100.0 + 0.5);
    *maximum = static_cast<uint32_t>(full * 100.0 + 0.5);
}

bool FollowReading(double reading, bool valid, ShownReading* shown) {
    if (valid == shown->valid) {
        if (!valid)
            return false;
        const double move = reading - shown->percent;
        const int side = move > kSettleMargin ? 1 : move < -kSettleMargin ? -1 : 0;
        shown->offPasses = side == 0 || side * shown->offPasses < 0 ? side : shown->offPasses + side;
        if (move <= kPerformanceWobble && move >= -kPerformanceWobble && shown->offPasses < kSettlePasses &&
            shown->offPasses > -kSettlePasses)
            return false;
    }
    shown->percent = reading;
    shown->valid = valid;
    shown->offPasses = 0;
    return true;
}

void RaiseHighestSeen(const double* percent, const bool* valid, const uint8_t* efficiencyClass,
                      uint32_t count, double highest[kEfficiencyClasses]) {
    for (uint32_t n = 0; n < count; ++n)
        if (valid[n] && percent[n] > highest[efficiencyClass[n]])
            highest[efficiencyClass[n]] = percent[n];
}
