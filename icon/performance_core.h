// Turning the "% Processor Performance" counter into what the icon shows. No Windows
// headers: the instance names and the intensity rule are tested natively.
#ifndef VELTRANA_PERFORMANCE_CORE_H
#define VELTRANA_PERFORMANCE_CORE_H

#include <stdint.h>
#include <wchar.h>

// An instance of "\Processor Information(*)" names one logical processor as "N,K": the K-th
// processor of NUMA node N. The totals ("_Total", "N,_Total") name none. True only for "N,K"
// with decimal N and K and nothing else.
bool ParseProcessorInstance(const wchar_t* name, uint32_t* node, uint32_t* index);

// The processors of one NUMA node within one processor group, as Windows lists them.
struct NodeProcessors {
    uint32_t node;
    uint16_t group;
    uint64_t mask; // bit n: processor number n of that group
};

// The processor number that instance "N,K" names: the K-th processor of node N in ascending
// order (group by group, where a node spans several). False when the node is not listed, has
// fewer processors, or that processor lies outside `ownGroup`, the only group the cells show.
bool NodeProcessorNumber(const NodeProcessors* nodes, uint32_t count, uint32_t node, uint32_t index,
                         uint16_t ownGroup, uint32_t* number);

// Adds processor `number` of `group` to node `node`, in a record of its own where the node has none
// in that group yet; false when that needs a record beyond `room`.
bool AddNodeProcessor(NodeProcessors* nodes, uint32_t* count, uint32_t room, uint32_t node, uint16_t group,
                      uint32_t number);

// Whether two nodes claim one processor. A 32-bit program under WOW64 sees processor masks with
// their high half folded into the low half, so on a machine of more than 32 processors the nodes'
// masks overlap and name the wrong processors: the instances are then not mapped at all.
bool NodesOverlap(const NodeProcessors* nodes, uint32_t count);

// The reading as the painter takes it, a clock against a maximum: full intensity belongs to
// the highest performance this machine has shown, at least 100 %, so a turbo clock reads
// brighter than the nominal one. Both in hundredths of a percent; negative or absurd readings
// are clamped.
void PerformanceAsClock(double percent, double highestSeen, uint32_t* current, uint32_t* maximum);

// A counter on a real machine moves a little at every reading. The reading shown follows a new
// one when it moves by more than kPerformanceWobble points (less changes a cell's opacity by a
// level or two: not worth a new icon), and at once when a reading comes or goes. Small moves add
// up against the reading shown, so a slow drift still shows; and readings that stay more than
// kSettleMargin off on one side for kSettlePasses passes in a row are followed too, so a reading
// that settles near the one shown (a collection that straddled a change) takes its place, while
// a wobble around it does not. Returns whether the reading shown changed.
const double kPerformanceWobble = 2.0;
const double kSettleMargin = 0.5;
const int kSettlePasses = 3;
struct ShownReading {
    double percent;
    bool valid;
    int offPasses; // passes in a row the reading stayed off: above (positive) or below (negative)
};
bool FollowReading(double reading, bool valid, ShownReading* shown);

// The highest performance seen is kept per efficiency class, so that the slower cores of a hybrid
// processor read full at their own best: raises highest[class of processor n] to each valid
// reading of processors 0 .. count - 1.
enum { kEfficiencyClasses = 256 };
void RaiseHighestSeen(const double* percent, const bool* valid, const uint8_t* efficiencyClass,
                      uint32_t count, double highest[kEfficiencyClasses]);

#endif
