#include "icon/processor_performance.h"

#include <pdh.h>
#include <pdhmsg.h>

#include "common/system_library.h"
#include "icon/cell_layout_core.h"
#include "icon/performance_core.h"

namespace {

const wchar_t kCounterPath[] = L"\\Processor Information(*)\\% Processor Performance";
const DWORD kRetryMilliseconds = 60000;

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

double s_percent[kMaxProcessors];
bool s_valid[kMaxProcessors];
double s_highest;
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
    return true;
}

// Reads the formatted values of one collection into `percent`; false when there are none.
bool ReadValues(double* percent, bool* valid) {
    DWORD bytes = 0, count = 0;
    // Without NOCAP100 PDH caps a percentage at 100, and a turbo clock would never show.
    const DWORD format = PDH_FMT_DOUBLE | PDH_FMT_NOCAP100;
    if (static_cast<DWORD>(s_pdh.values(s_counter, format, &bytes, &count, NULL)) != PDH_MORE_DATA ||
        bytes == 0)
        return false;
    PDH_FMT_COUNTERVALUE_ITEM_W* items =
        static_cast<PDH_FMT_COUNTERVALUE_ITEM_W*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (!items)
        return false;
    bool any = false;
    if (s_pdh.values(s_counter, format, &bytes, &count, items) == ERROR_SUCCESS) {
        for (DWORD i = 0; i < count; ++i) {
            uint32_t group, number;
            const PDH_FMT_COUNTERVALUE& value = items[i].FmtValue;
            // One group holds all the processors the program shows.
            if (!ParseProcessorInstance(items[i].szName, &group, &number) || group != 0 ||
                number >= kMaxProcessors ||
                (value.CStatus != PDH_CSTATUS_VALID_DATA && value.CStatus != PDH_CSTATUS_NEW_DATA))
                continue;
            percent[number] = value.doubleValue;
            valid[number] = any = true;
        }
    }
    HeapFree(GetProcessHeap(), 0, items);
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
        if (valid[i] != s_valid[i] || (valid[i] && percent[i] != s_percent[i]))
            s_changed = true;
        if (valid[i] && percent[i] > s_highest)
            s_highest = percent[i];
        s_percent[i] = percent[i];
        s_valid[i] = valid[i];
    }
}

bool ProcessorPerformance(UINT number, DWORD* current, DWORD* maximum) {
    if (number >= kMaxProcessors || !s_valid[number])
        return false;
    uint32_t c, m;
    PerformanceAsClock(s_percent[number], s_highest, &c, &m);
    *current = c;
    *maximum = m;
    return true;
}

bool TakePerformanceChange() {
    bool changed = s_changed;
    s_changed = false;
    return changed;
}
