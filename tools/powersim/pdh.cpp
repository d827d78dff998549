// A stand-in pdh.dll for running the program under Wine, whose own PDH lacks the counter the
// icon reads. It knows one counter, "\Processor Information(*)\% Processor Performance", with
// the per-processor values of the store ("pdh::performance", set with powersim-ctl
// performance), and only the functions the program calls. Like PDH, a rate counter has no
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

// The configured percentages of the first `count` processors; 100 where none is given.
void ReadPerformance(double* percent, DWORD count) {
    for (DWORD i = 0; i < count; ++i)
        percent[i] = 100.0;
    HKEY store;
    if (OpenStore(&store) != ERROR_SUCCESS)
        return;
    wchar_t text[512] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueExW(store, L"pdh::performance", NULL, NULL, reinterpret_cast<BYTE*>(text), &size) ==
        ERROR_SUCCESS) {
        wchar_t* p = text;
        for (DWORD i = 0; i < count; ++i) {
            wchar_t* end;
            double value = wcstod(p, &end);
            if (end == p)
                break;
            percent[i] = value;
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

EXPORT PDH_STATUS WINAPI PdhCollectQueryData(PDH_HQUERY query) {
    if (DWORD fault = FaultOf(NULL, kPdhCollectQueryData))
        return static_cast<PDH_STATUS>(fault);
    ++static_cast<Query*>(query)->collections;
    return ERROR_SUCCESS;
}

// Items "0,0" ... "0,N-1", then "0,_Total" and "_Total"; the names follow the array in the
// caller's buffer, as PDH lays them out.
EXPORT PDH_STATUS WINAPI PdhGetFormattedCounterArrayW(PDH_HCOUNTER counter, DWORD format, LPDWORD bytes,
                                                      LPDWORD itemCount, PPDH_FMT_COUNTERVALUE_ITEM_W items) {
    if (DWORD fault = FaultOf(NULL, kPdhGetFormattedCounterArrayW))
        return static_cast<PDH_STATUS>(fault);
    if (static_cast<Query*>(counter)->collections < 2)
        return PDH_INVALID_DATA;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD processors = system.dwNumberOfProcessors < 64 ? system.dwNumberOfProcessors : 64;
    const DWORD count = processors + 2;
    const DWORD nameUnits = 16;
    const DWORD needed = count * (sizeof(PDH_FMT_COUNTERVALUE_ITEM_W) + nameUnits * sizeof(wchar_t));
    *itemCount = count;
    if (!items || *bytes < needed) {
        *bytes = needed;
        return PDH_MORE_DATA;
    }
    double percent[64];
    ReadPerformance(percent, processors);
    wchar_t* names = reinterpret_cast<wchar_t*>(items + count);
    double total = 0;
    for (DWORD i = 0; i < count; ++i) {
        wchar_t* name = names + i * nameUnits;
        double value;
        if (i < processors) {
            _snwprintf(name, nameUnits, L"0,%lu", i);
            value = percent[i];
            total += value;
        } else {
            wcscpy(name, i == processors ? L"0,_Total" : L"_Total");
            value = total / processors;
        }
        if (!(format & PDH_FMT_NOCAP100) && value > 100.0)
            value = 100.0;
        items[i].szName = name;
        items[i].FmtValue.CStatus = PDH_CSTATUS_VALID_DATA;
        items[i].FmtValue.doubleValue = value;
    }
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
