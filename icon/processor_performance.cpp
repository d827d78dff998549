#include "icon/processor_performance.h"

#include <pdh.h>
#include <pdhmsg.h>

#include "common/system_library.h"
#include "icon/cell_layout.h"
#include "icon/performance_core.h"

namespace {

const wchar_t kCounterPath[] = L"\\Processor Information(*)\\% Processor Performance";
const DWORD kRetryMilliseconds = 60000;
const ULONG kMaxNodeRecords = 64;

// Windows 7 on; the headers declare them only for builds that require it.
typedef BOOL(WINAPI* NodeProcessorMaskExFn)(USHORT node, GROUP_AFFINITY* mask);
struct ProcessorNumber { // PROCESSOR_NUMBER
    WORD group;
    BYTE number;
    BYTE reserved;
};
typedef BOOL(WINAPI* ProcessorNodeExFn)(ProcessorNumber* processor, USHORT* node);
typedef WORD(WINAPI* GroupCountFn)();

struct PdhFunctions {
    decltype(&PdhOpenQueryW) open;
    decltype(&PdhAddEnglishCounterW) add;
    decltype(&PdhCollectQueryData) collect;
    decltype(&PdhGetFormattedCounterArrayW) values;
    decltype(&PdhCloseQuery) close;
};

PdhFunctions s_pdh;
bool s_pdhLooked;
PDH_HQUERY s_query;
PDH_HCOUNTER s_counter;
DWORD s_lastAttempt;
bool s_attempted;

// Which processors each NUMA node holds: the counter names its instances by node.
NodeProcessors s_nodes[kMaxNodeRecords];
uint32_t s_nodeCount;
uint16_t s_ownGroup;
bool s_nodesOverlap; // the instances cannot be told apart: no reading is mapped

ShownReading s_shown[kMaxProcessors];
double s_highest[kEfficiencyClasses]; // by efficiency class
bool s_changed;

bool LookUpPdh() {
    if (!s_pdhLooked) {
        s_pdhLooked = true;
        HMODULE pdh = LoadSystemLibrary(L"pdh.dll");
        if (!FindFunction(pdh, "PdhOpenQueryW", &s_pdh.open) ||
            !FindFunction(pdh, "PdhAddEnglishCounterW", &s_pdh.add) ||
            !FindFunction(pdh, "PdhCollectQueryData", &s_pdh.collect) ||
            !FindFunction(pdh, "PdhGetFormattedCounterArrayW", &s_pdh.values) ||
            !FindFunction(pdh, "PdhCloseQuery", &s_pdh.close))
            s_pdh.open = NULL;
    }
    return s_pdh.open != NULL;
}

// The node of every processor of every group, asked processor by processor: unlike the nodes'
// masks, a processor number is never folded for a 32-bit program.
void AskProcessorNodes(HMODULE kernel) {
    ProcessorNodeExFn processorNode;
    GroupCountFn groupCount;
    ActiveProcessorCountFn groupProcessors;
    if (!FindFunction(kernel, "GetNumaProcessorNodeEx", &processorNode) ||
        !FindFunction(kernel, "GetActiveProcessorGroupCount", &groupCount) ||
        !FindFunction(kernel, "GetActiveProcessorCount", &groupProcessors))
        return;
    const WORD groups = groupCount();
    for (WORD group = 0; group < groups; ++group) {
        const DWORD processors = groupProcessors(group);
        for (DWORD number = 0; number < processors && number < 64; ++number) {
            ProcessorNumber processor = {group, static_cast<BYTE>(number), 0};
            USHORT node;
            if (!processorNode(&processor, &node) || node == 0xFFFF ||
                !AddNodeProcessor(s_nodes, &s_nodeCount, kMaxNodeRecords, node, group, number)) {
                s_nodeCount = 0; // a partial table would misplace the rest: the masks instead
                return;
            }
        }
    }
}

// The NUMA nodes' processors: processor by processor, or from the node records of the processor
// topology, or node by node. Without any (Vista, which has no counter anyway) node 0 is taken to
// hold every processor.
void ReadProcessorNodes() {
    s_nodeCount = 0;
    s_ownGroup = OwnProcessorGroup();
    HMODULE kernel = GetModuleHandleW(L"KERNEL32");

    AskProcessorNodes(kernel);
    LogicalProcessorInformationExFn records;
    DWORD bytes = 0;
    if (s_nodeCount == 0 && FindFunction(kernel, "GetLogicalProcessorInformationEx", &records) &&
        !records(RelationNumaNode, NULL, &bytes) && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, bytes));
        if (buffer && records(RelationNumaNode,
                              reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer), &bytes)) {
            for (DWORD at = 0; at + 8 <= bytes && s_nodeCount < kMaxNodeRecords;) {
                const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* record =
                    reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer + at);
                if (record->Size == 0 || at + record->Size > bytes)
                    break;
                if (record->Relationship == RelationNumaNode)
                    s_nodes[s_nodeCount++] = {record->NumaNode.NodeNumber, record->NumaNode.GroupMask.Group,
                                              record->NumaNode.GroupMask.Mask};
                at += record->Size;
            }
        }
        HeapFree(GetProcessHeap(), 0, buffer);
    }
    NodeProcessorMaskExFn nodeMask;
    ULONG highest = 0;
    if (s_nodeCount == 0 && FindFunction(kernel, "GetNumaNodeProcessorMaskEx", &nodeMask) &&
        GetNumaHighestNodeNumber(&highest)) {
        for (ULONG node = 0; node <= highest && s_nodeCount < kMaxNodeRecords; ++node) {
            GROUP_AFFINITY mask;
            if (nodeMask(static_cast<USHORT>(node), &mask))
                s_nodes[s_nodeCount++] = {node, mask.Group, mask.Mask};
        }
    }
    if (s_nodeCount == 0) {
        s_nodes[0] = {0, s_ownGroup, ~0ULL};
        s_nodeCount = 1;
    }
    s_nodesOverlap = NodesOverlap(s_nodes, s_nodeCount);
}

// The English name works on every language of Windows. Vista, 7 and Wine's own PDH lack the
// counter: then tried again a minute later, not on every pass.
bool OpenCounter() {
    if (s_query)
        return true;
    if (s_attempted && GetTickCount() - s_lastAttempt < kRetryMilliseconds)
        return false;
    s_attempted = true;
    s_lastAttempt = GetTickCount();
    if (!LookUpPdh() || s_pdh.open(NULL, 0, &s_query) != ERROR_SUCCESS) {
        s_query = NULL;
        return false;
    }
    if (s_pdh.add(s_query, kCounterPath, 0, &s_counter) != ERROR_SUCCESS) {
        s_pdh.close(s_query);
        s_query = NULL;
        return false;
    }
    ReadProcessorNodes();
    return true;
}

// The formatted values' block, kept from pass to pass and grown only when PDH asks for more: a
// pass asks PDH once.
PDH_FMT_COUNTERVALUE_ITEM_W* s_items;
DWORD s_itemBytes;

// Reads the formatted values of one collection into `percent`; false when there are none.
bool ReadValues(double* percent, bool* valid) {
    DWORD bytes, count;
    if (s_nodesOverlap)
        return false;
    // Without NOCAP100 PDH caps a percentage at 100, and a turbo clock would never show.
    const DWORD format = PDH_FMT_DOUBLE | PDH_FMT_NOCAP100;
    for (;;) {
        bytes = s_itemBytes;
        count = 0;
        const DWORD status = static_cast<DWORD>(s_pdh.values(s_counter, format, &bytes, &count, s_items));
        if (status == ERROR_SUCCESS)
            break;
        if (status != static_cast<DWORD>(PDH_MORE_DATA) || bytes <= s_itemBytes)
            return false;
        HeapFree(GetProcessHeap(), 0, s_items);
        s_items = static_cast<PDH_FMT_COUNTERVALUE_ITEM_W*>(HeapAlloc(GetProcessHeap(), 0, bytes));
        s_itemBytes = s_items ? bytes : 0;
        if (!s_items)
            return false;
    }
    bool any = false;
    for (DWORD i = 0; i < count; ++i) {
        uint32_t node, index, number;
        const PDH_FMT_COUNTERVALUE& value = s_items[i].FmtValue;
        if (!ParseProcessorInstance(s_items[i].szName, &node, &index) ||
            !NodeProcessorNumber(s_nodes, s_nodeCount, node, index, s_ownGroup, &number) ||
            number >= kMaxProcessors ||
            (value.CStatus != PDH_CSTATUS_VALID_DATA && value.CStatus != PDH_CSTATUS_NEW_DATA))
            continue;
        percent[number] = value.doubleValue;
        valid[number] = any = true;
    }
    return any;
}

} // namespace

void SampleProcessorPerformance() {
    double percent[kMaxProcessors] = {};
    bool valid[kMaxProcessors] = {};
    // A rate counter has no value at its first collection, and a collection can fail: the
    // pass then has no reading.
    if (OpenCounter() && s_pdh.collect(s_query) == ERROR_SUCCESS)
        ReadValues(percent, valid);
    for (UINT i = 0; i < kMaxProcessors; ++i) {
        if (FollowReading(percent[i], valid[i], &s_shown[i]))
            s_changed = true;
    }
    RaiseHighestSeen(percent, valid, g_processorClass, kMaxProcessors, s_highest);
}

void RestartPerformanceInterval() {
    if (s_query)
        s_pdh.collect(s_query);
}

bool ProcessorPerformance(UINT number, DWORD* current, DWORD* maximum) {
    if (number >= kMaxProcessors || !s_shown[number].valid)
        return false;
    uint32_t c, m;
    PerformanceAsClock(s_shown[number].percent, s_highest[g_processorClass[number]], &c, &m);
    *current = c;
    *maximum = m;
    return true;
}

bool ProcessorPercent(UINT number, double* percent) {
    if (number >= kMaxProcessors || !s_shown[number].valid)
        return false;
    *percent = s_shown[number].percent;
    return true;
}

bool TakePerformanceChange() {
    bool changed = s_changed;
    s_changed = false;
    return changed;
}
