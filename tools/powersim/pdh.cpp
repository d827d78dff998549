// A stand-in pdh.dll for running the program under Wine, whose own PDH lacks the counter the
// icon reads. It knows one counter, "\Processor Information(*)\% Processor Performance", with
// the per-processor values of the store ("pdh::performance", set with powersim-ctl
// performance) under instance names by NUMA node ("pdh::nodes", powersim-ctl nodes), and only the
// functions the program calls. Installed where Windows keeps the real one; never shipped.
//
// It is a rate counter, as on Windows: a formatted value is the average over the interval
// between the query's last two collections. The store keeps when each setting was made and the
// settings before it, so each collection weighs every value in force during its interval by the
// time it was in force; a program that reads after a long pause without starting a new interval
// first sees that mix, as it would on Windows. Like PDH, the counter has no value at its first
// collection, and a percentage is capped at 100 unless PDH_FMT_NOCAP100 is asked for. For a
// benchmark of a live counter, "pdh::jitter" (powersim-ctl performance-jitter on) moves every
// value by 0.5 at each collection, up and down in turn, so that no two readings in a row agree.
#include "store.h"

#include <pdh.h>
#include <pdhmsg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define EXPORT __declspec(dllexport)

namespace {

const wchar_t kCounterPath[] = L"\\Processor Information(*)\\% Processor Performance";

const DWORD kMaxProcessors = 64;

struct Query {
    DWORD collections;
    ULONGLONG collected;            // when the last collection was made
    double percent[kMaxProcessors]; // each processor's average over the last interval
    // Read from the store with each collection, as the values are: a formatted read touches no
    // registry, so a benchmark counts what the program asks for, not the store's lookups.
    double nodeOf[kMaxProcessors]; // each processor's NUMA node
    DWORD formatFault;             // PdhGetFormattedCounterArrayW's fault knob
};

DWORD ProcessorCount() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    return system.dwNumberOfProcessors < kMaxProcessors ? system.dwNumberOfProcessors : kMaxProcessors;
}

// A list of numbers, one per processor; `fallback` where none is given.
void ParseList(const wchar_t* text, double* values, DWORD count, double fallback) {
    for (DWORD i = 0; i < count; ++i)
        values[i] = fallback;
    const wchar_t* p = text;
    for (DWORD i = 0; i < count; ++i) {
        wchar_t* end;
        double value = wcstod(p, &end);
        if (end == p)
            break;
        values[i] = value;
        p = end;
    }
}

// A list of numbers of the store, one per processor; `fallback` where none is given.
void ReadList(HKEY store, const wchar_t* name, double* values, DWORD count, double fallback) {
    wchar_t text[512] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueExW(store, name, NULL, NULL, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        text[0] = 0;
    ParseList(text, values, count, fallback);
}

// Each processor's performance averaged over [from, to], every setting weighed by how long of it
// it was in force. settings[0] is in force since its time, each earlier one until the next
// one's; the oldest one known stands for all that went before. An empty interval (two
// collections within one tick of the clock) gives the setting in force at its start.
void AverageOver(const PerformanceSetting* settings, int count, ULONGLONG from, ULONGLONG to,
                 DWORD processors, double* percent) {
    if (to <= from)
        to = from + 1;
    double sums[kMaxProcessors] = {}, values[kMaxProcessors];
    ULONGLONG end = to;
    for (int i = 0; i < count && end > from; ++i) {
        const ULONGLONG start = i == count - 1 || settings[i].since < from ? from : settings[i].since;
        if (start >= end)
            continue; // made after the interval ended, or in force for none of it
        ParseList(settings[i].values, values, processors, 100.0);
        for (DWORD p = 0; p < processors; ++p)
            sums[p] += values[p] * static_cast<double>(end - start);
        end = start;
    }
    for (DWORD p = 0; p < processors; ++p)
        percent[p] = sums[p] / static_cast<double>(to - from);
}

} // namespace

extern "C" {

EXPORT PDH_STATUS WINAPI PdhOpenQueryW(LPCWSTR, DWORD_PTR, PDH_HQUERY* query) {
    Query* made = static_cast<Query*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Query)));
    if (!made)
        return PDH_MEMORY_ALLOCATION_FAILURE;
    *query = made;
    return ERROR_SUCCESS;
}

EXPORT PDH_STATUS WINAPI PdhAddEnglishCounterW(PDH_HQUERY query, LPCWSTR path, DWORD_PTR,
                                               PDH_HCOUNTER* counter) {
    if (DWORD fault = FaultOf(NULL, kPdhAddEnglishCounterW))
        return static_cast<PDH_STATUS>(fault);
    if (wcscmp(path, kCounterPath) != 0)
        return PDH_CSTATUS_NO_COUNTER;
    *counter = query; // one counter per query is all the program asks for
    return ERROR_SUCCESS;
}

// Counted in the store, failed calls included, like the POWRPROF functions. From the second
// collection on, each processor's value is its average since the previous one (with jitter on,
// 0.5 above it and 0.5 below it in turn). The NUMA nodes and the formatted read's fault are
// taken now too: a change of either shows from the next collection on.
EXPORT PDH_STATUS WINAPI PdhCollectQueryData(PDH_HQUERY query) {
    HKEY store;
    DWORD result = OpenStore(&store);
    if (result != ERROR_SUCCESS)
        return static_cast<PDH_STATUS>(result);
    CountCall(store, kPdhCollectQueryData);
    if (DWORD fault = FaultOf(store, kPdhCollectQueryData)) {
        CloseStore(store);
        return static_cast<PDH_STATUS>(fault);
    }
    PerformanceSetting settings[kEarlierPerformance + 1];
    const int count = ReadPerformance(store, settings, kEarlierPerformance + 1);
    const ULONGLONG now = SystemTimeNow();
    Query* made = static_cast<Query*>(query);
    if (made->collections > 0) {
        const DWORD processors = ProcessorCount();
        AverageOver(settings, count, made->collected, now, processors, made->percent);
        if (PerformanceJitter(store))
            for (DWORD p = 0; p < processors; ++p)
                made->percent[p] += made->collections % 2 ? 0.5 : -0.5;
    }
    ReadList(store, L"pdh::nodes", made->nodeOf, ProcessorCount(), 0.0);
    made->formatFault = FaultOf(store, kPdhGetFormattedCounterArrayW);
    CloseStore(store);
    made->collected = now;
    ++made->collections;
    return ERROR_SUCCESS;
}

// One item per processor, "N,K" for the K-th processor of node N (the store's "pdh::nodes", node 0
// where none is given), then "N,_Total" for each node and "_Total"; the names follow the array in
// the caller's buffer, as PDH lays them out.
EXPORT PDH_STATUS WINAPI PdhGetFormattedCounterArrayW(PDH_HCOUNTER counter, DWORD format, LPDWORD bytes,
                                                      LPDWORD itemCount, PPDH_FMT_COUNTERVALUE_ITEM_W items) {
    const Query* made = static_cast<Query*>(counter);
    if (made->formatFault)
        return static_cast<PDH_STATUS>(made->formatFault);
    if (made->collections < 2)
        return PDH_INVALID_DATA;
    const DWORD processors = ProcessorCount();
    const double* percent = made->percent;
    double nodeOf[kMaxProcessors];
    memcpy(nodeOf, made->nodeOf, sizeof(nodeOf));
    // Nodes 0 to 63; their processors so far, their sums, and whether each has any.
    DWORD within[64] = {}, nodes = 0;
    double sums[64] = {}, total = 0;
    for (DWORD i = 0; i < processors; ++i) {
        nodeOf[i] = nodeOf[i] >= 0 && nodeOf[i] < 64 ? static_cast<DWORD>(nodeOf[i]) : 0;
        nodes += within[static_cast<DWORD>(nodeOf[i])]++ == 0;
    }
    const DWORD count = processors + nodes + 1;
    const DWORD nameUnits = 16;
    const DWORD needed = count * (sizeof(PDH_FMT_COUNTERVALUE_ITEM_W) + nameUnits * sizeof(wchar_t));
    *itemCount = count;
    if (!items || *bytes < needed) {
        *bytes = needed;
        return PDH_MORE_DATA;
    }
    wchar_t* names = reinterpret_cast<wchar_t*>(items + count);
    DWORD item = 0, seen[64] = {};
    auto add = [&](double value, const wchar_t* pattern, DWORD node, DWORD index) {
        wchar_t* name = names + item * nameUnits;
        _snwprintf(name, nameUnits, pattern, node, index);
        if (!(format & PDH_FMT_NOCAP100) && value > 100.0)
            value = 100.0;
        items[item].szName = name;
        items[item].FmtValue.CStatus = PDH_CSTATUS_VALID_DATA;
        items[item].FmtValue.doubleValue = value;
        ++item;
    };
    for (DWORD i = 0; i < processors; ++i) {
        const DWORD node = static_cast<DWORD>(nodeOf[i]);
        add(percent[i], L"%lu,%lu", node, seen[node]++);
        sums[node] += percent[i];
        total += percent[i];
    }
    for (DWORD node = 0; node < 64; ++node)
        if (within[node])
            add(sums[node] / within[node], L"%lu,_Total", node, 0);
    add(total / processors, L"_Total", 0, 0);
    *bytes = needed;
    return ERROR_SUCCESS;
}

EXPORT PDH_STATUS WINAPI PdhCloseQuery(PDH_HQUERY query) {
    HeapFree(GetProcessHeap(), 0, query);
    return ERROR_SUCCESS;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && !reserved)
        ForgetStoreMutex();
    return TRUE;
}
}
