#include "power/power_functions.h"

#include <powrprof.h>
#include <type_traits>

// The table's types must be the system's: a mismatch would call with the wrong arguments.
static_assert(std::is_same<decltype(&::PowerGetActiveScheme), PowerGetActiveSchemeFn>::value, "");
static_assert(std::is_same<decltype(&::PowerSetActiveScheme), PowerSetActiveSchemeFn>::value, "");
static_assert(std::is_same<decltype(&::PowerWriteACValueIndex), PowerWriteValueIndexFn>::value, "");
static_assert(std::is_same<decltype(&::PowerWriteDCValueIndex), PowerWriteValueIndexFn>::value, "");
static_assert(std::is_same<decltype(&::PowerReadACValueIndex), PowerReadValueIndexFn>::value, "");
static_assert(std::is_same<decltype(&::PowerReadDCValueIndex), PowerReadValueIndexFn>::value, "");

PowerFunctions g_power;

template <typename Function> static Function As(FARPROC found) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

bool LookupPowerFunctions() {
    // Looked up at run time: not every supported Windows has them. POWRPROF is already
    // loaded, as the program imports CallNtPowerInformation from it.
    static const char* const kNames[] = {
        "PowerGetActiveScheme",   "PowerSetActiveScheme",  "PowerWriteACValueIndex",
        "PowerWriteDCValueIndex", "PowerReadACValueIndex", "PowerReadDCValueIndex",
    };
    FARPROC found[6];
    for (int i = 0; i < 6; ++i) {
        HMODULE powrprof = GetModuleHandleW(L"POWRPROF");
        if (!powrprof)
            return false;
        found[i] = GetProcAddress(powrprof, kNames[i]);
        if (!found[i])
            return false;
    }
    g_power.PowerGetActiveScheme = As<PowerGetActiveSchemeFn>(found[0]);
    g_power.PowerSetActiveScheme = As<PowerSetActiveSchemeFn>(found[1]);
    g_power.PowerWriteACValueIndex = As<PowerWriteValueIndexFn>(found[2]);
    g_power.PowerWriteDCValueIndex = As<PowerWriteValueIndexFn>(found[3]);
    g_power.PowerReadACValueIndex = As<PowerReadValueIndexFn>(found[4]);
    g_power.PowerReadDCValueIndex = As<PowerReadValueIndexFn>(found[5]);
    return true;
}
