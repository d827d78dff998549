#include "power/power_functions.h"

#include <type_traits>

#include "common/system_library.h"

// The table's types must be the system's: a mismatch would call with the wrong arguments.
static_assert(std::is_same<decltype(&::PowerGetActiveScheme), PowerGetActiveSchemeFn>::value, "");
static_assert(std::is_same<decltype(&::PowerSetActiveScheme), PowerSetActiveSchemeFn>::value, "");
static_assert(std::is_same<decltype(&::PowerWriteACValueIndex), PowerWriteValueIndexFn>::value, "");
static_assert(std::is_same<decltype(&::PowerWriteDCValueIndex), PowerWriteValueIndexFn>::value, "");
static_assert(std::is_same<decltype(&::PowerReadACValueIndex), PowerReadValueIndexFn>::value, "");
static_assert(std::is_same<decltype(&::PowerReadDCValueIndex), PowerReadValueIndexFn>::value, "");
static_assert(std::is_same<decltype(&::PowerEnumerate), PowerEnumerateFn>::value, "");
static_assert(std::is_same<decltype(&::CallNtPowerInformation), CallNtPowerInformationFn>::value, "");
static_assert(std::is_same<decltype(&::CanUserWritePwrScheme), CanUserWritePwrSchemeFn>::value, "");

PowerFunctions g_power;

bool LookupPowerFunctions() {
    // POWRPROF is not a KnownDLL: loaded by name through the import table, Windows would take
    // a powrprof.dll from the program's own folder first.
    HMODULE powrprof = LoadSystemLibrary(L"powrprof.dll");
    if (!powrprof)
        return false;
    PowerFunctions found;
    // The scheme functions first, in the order the boost needs them; all are required.
    if (!FindFunction(powrprof, "PowerGetActiveScheme", &found.PowerGetActiveScheme) ||
        !FindFunction(powrprof, "PowerSetActiveScheme", &found.PowerSetActiveScheme) ||
        !FindFunction(powrprof, "PowerWriteACValueIndex", &found.PowerWriteACValueIndex) ||
        !FindFunction(powrprof, "PowerWriteDCValueIndex", &found.PowerWriteDCValueIndex) ||
        !FindFunction(powrprof, "PowerReadACValueIndex", &found.PowerReadACValueIndex) ||
        !FindFunction(powrprof, "PowerReadDCValueIndex", &found.PowerReadDCValueIndex) ||
        !FindFunction(powrprof, "PowerEnumerate", &found.PowerEnumerate) ||
        !FindFunction(powrprof, "CallNtPowerInformation", &found.CallNtPowerInformation) ||
        !FindFunction(powrprof, "CanUserWritePwrScheme", &found.CanUserWritePwrScheme))
        return false;
    // Windows 11's power modes: all four, or the program behaves as on Windows 10.
    if (!FindFunction(powrprof, "PowerGetUserConfiguredACPowerMode",
                      &found.PowerGetUserConfiguredACPowerMode) ||
        !FindFunction(powrprof, "PowerGetUserConfiguredDCPowerMode",
                      &found.PowerGetUserConfiguredDCPowerMode) ||
        !FindFunction(powrprof, "PowerSetUserConfiguredACPowerMode",
                      &found.PowerSetUserConfiguredACPowerMode) ||
        !FindFunction(powrprof, "PowerSetUserConfiguredDCPowerMode",
                      &found.PowerSetUserConfiguredDCPowerMode))
        found.PowerGetUserConfiguredACPowerMode = NULL;
    if (!FindFunction(powrprof, "PowerSettingRegisterNotification",
                      &found.PowerSettingRegisterNotification) ||
        !FindFunction(powrprof, "PowerSettingUnregisterNotification",
                      &found.PowerSettingUnregisterNotification))
        found.PowerSettingRegisterNotification = NULL;
    g_power = found;
    return true;
}
