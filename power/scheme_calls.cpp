#include "power/scheme_calls.h"

#include <string.h>

#include "power/power_functions.h"

const GUID kHighPerformanceScheme = {
    0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}};
static const GUID kProcessorSubgroup = {
    0x54533251, 0x82BE, 0x4824, {0x96, 0xC1, 0x47, 0xB6, 0x0B, 0x74, 0x0D, 0x00}};
// "Minimum processor state", and the same for efficiency class 1 (the last byte one higher).
static const GUID kMinimumProcessorState = {
    0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4C}};
static const GUID kMinimumProcessorStateClass1 = {
    0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4D}};

// {DED574B5-45A0-4F42-8737-46345C09C238}: the power mode Best performance.
const GUID kBestPerformanceMode = {
    0xDED574B5, 0x45A0, 0x4F42, {0x87, 0x37, 0x46, 0x34, 0x5C, 0x09, 0xC2, 0x38}};

bool SameScheme(const GUID* a, const GUID* b) {
    return memcmp(a, b, sizeof(GUID)) == 0;
}

DWORD GetActiveScheme(GUID** scheme) {
    *scheme = NULL;
    DWORD result = g_power.PowerGetActiveScheme(NULL, scheme);
    return result == ERROR_SUCCESS && !*scheme ? ERROR_INVALID_DATA : result;
}

DWORD FindScheme(const GUID* scheme, bool* present) {
    enum { kMostSchemes = 4096 }; // a list that never ends is no answer
    for (ULONG index = 0; index < kMostSchemes; ++index) {
        GUID found;
        DWORD size = sizeof(found);
        DWORD result = g_power.PowerEnumerate(NULL, NULL, NULL, ACCESS_SCHEME, index,
                                              reinterpret_cast<UCHAR*>(&found), &size);
        if (result == ERROR_NO_MORE_ITEMS) {
            *present = false;
            return ERROR_SUCCESS;
        }
        if (result != ERROR_SUCCESS)
            return result;
        if (size == sizeof(found) && SameScheme(&found, scheme)) {
            *present = true;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_INVALID_DATA;
}

static const GUID* Setting(int which) {
    return which < kMinimumAcClass1 ? &kMinimumProcessorState : &kMinimumProcessorStateClass1;
}

bool OnMains(int which) {
    return which == kMinimumAc || which == kMinimumAcClass1;
}

DWORD ReadMinimumState(const GUID* scheme, int which, DWORD* value) {
    PowerReadValueIndexFn read =
        OnMains(which) ? g_power.PowerReadACValueIndex : g_power.PowerReadDCValueIndex;
    return read(NULL, scheme, &kProcessorSubgroup, Setting(which), value);
}

DWORD WriteMinimumState(const GUID* scheme, int which, DWORD value) {
    PowerWriteValueIndexFn write =
        OnMains(which) ? g_power.PowerWriteACValueIndex : g_power.PowerWriteDCValueIndex;
    return write(NULL, scheme, &kProcessorSubgroup, Setting(which), value);
}

bool PowerModesAvailable() {
    return g_power.PowerGetUserConfiguredACPowerMode != NULL;
}

DWORD GetPowerMode(int source, GUID* mode) {
    return (source == kSourceAc ? g_power.PowerGetUserConfiguredACPowerMode
                                : g_power.PowerGetUserConfiguredDCPowerMode)(mode);
}

DWORD SetPowerMode(int source, const GUID* mode) {
    return (source == kSourceAc ? g_power.PowerSetUserConfiguredACPowerMode
                                : g_power.PowerSetUserConfiguredDCPowerMode)(mode);
}
