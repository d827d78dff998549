// A stand-in pdh.dll for running the program under Wine, whose own PDH lacks the counter the
// icon reads. It knows one counter, "\Processor Information(*)\% Processor Performance", with
// the per-processor values of the store ("pdh::performance", set with powersim-ctl
// performance) under instance names by NUMA node ("pdh::nodes", powersim-ctl nodes), and only the
// functions the program calls. Like PDH, a rate counter has no
// value at its first collection, and a percentage is capped at 100 unless PDH_FMT_NOCAP100
// is asked for. Installed where Windows keeps the real one; never shipped.
#include "store.h"

#include <pdh.h>
#include <pdhmsg.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#define EXPORT __declspec(dllexport)

namespace {

const wchar_t kCounterPath[] = L"\\Processor Information(*)\\% Processor Performance";

struct Query {
    DWORD collections;
};

// A list of numbers of the store, one per processor; `fallback` where none is given.
void ReadList(const wchar_t* name, double* values, DWORD count, double fallback) {
    for (DWORD i = 0; i < count; ++i)
        values[i] = fallback;
    HKEY store;
    if (OpenStore(&store) != ERROR_SUCCESS)
        return;
    wchar_t text[512] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueExW(store, name, NULL, NULL, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS) {
        wchar_t* p = text;
        for (DWORD i = 0; i < count; ++i) {
            wchar_t* end;
            double value = wcstod(p, &end);
            if (end == p)
                break;
            values[i] = value;
            p = end;
        }
    }
    CloseStore(store);
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

// Counted in the store, failed calls included, like the POWRPROF functions.
EXPORT PDH_STATUS WINAPI PdhCollectQueryData(PDH_HQUERY query) {
    HKEY store;
    DWORD result = OpenStore(&store);
    if (result != ERROR_SUCCESS)
        return static_cast<PDH_STATUS>(result);
    CountCall(store, kPdhCollectQueryData);
    DWORD fault = FaultOf(store, kPdhCollectQueryData);
    CloseStore(store);
    if (fault)
        return static_cast<PDH_STATUS>(fault);
    ++static_cast<Query*>(query)->collections;
    return ERROR_SUCCESS;
}

// One item per processor, "N,K" for the K-th processor of node N (the store's "pdh::nodes", node 0
// where none is given), then "N,_Total" for each node and "_Total"; the names follow the array in
// the caller's buffer, as PDH lays them out.
EXPORT PDH_STATUS WINAPI PdhGetFormattedCounterArrayW(PDH_HCOUNTER counter, DWORD format, LPDWORD bytes,
                                                      LPDWORD itemCount, PPDH_FMT_COUNTERVALUE_ITEM_W items) {
    if (DWORD fault = FaultOf(NULL, kPdhGetFormattedCounterArrayW))
        return static_cast<PDH_STATUS>(fault);
    if (static_cast<Query*>(counter)->collections < 2)
        return PDH_INVALID_DATA;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD processors = system.dwNumberOfProcessors < 64 ? system.dwNumberOfProcessors : 64;
    double percent[64], nodeOf[64];
    ReadList(L"pdh::performance", percent, processors, 100.0);
    ReadList(L"pdh::nodes", nodeOf, processors, 0.0);
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
