#include "power/boost.h"

#include <string.h>

#include "menu/tray_menu.h"
#include "power/power_functions.h"
#include "settings/settings.h"

BYTE g_engaged;

static const GUID kHighPerformance = {
    0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}};
static const GUID kProcessorSubgroup = {
    0x54533251, 0x82BE, 0x4824, {0x96, 0xC1, 0x47, 0xB6, 0x0B, 0x74, 0x0D, 0x00}};
static const GUID kMinimumProcessorState = {
    0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4C}};

enum : DWORD { kNothingSaved = 0xFFFFFFFF, kBoostPercent = 100 };

// What undoing the boost in force needs.
static DWORD s_engagedMethod;           // the method that applied it
static GUID* s_previousScheme;          // scheme method: the scheme active before the switch
static GUID* s_boostedScheme;           // minimum-state method: the scheme whose values were raised
static DWORD s_savedAc = kNothingSaved; // minimum-state method: the values read before raising
static DWORD s_savedDc = kNothingSaved;

static void WriteSavedMinimumStates(const GUID* scheme) {
    if (s_savedAc != kNothingSaved)
        g_power.PowerWriteACValueIndex(NULL, scheme, &kProcessorSubgroup, &kMinimumProcessorState, s_savedAc);
    if (s_savedDc != kNothingSaved)
        g_power.PowerWriteDCValueIndex(NULL, scheme, &kProcessorSubgroup, &kMinimumProcessorState, s_savedDc);
}

static void SetEngaged(DWORD method) {
    g_engaged = 1;
    s_engagedMethod = method;
    RefreshTrayMenu(); // the one call up into the menu: its default item follows the boost
}

static void EngageBySchemeSwitch() {
    if (g_power.PowerGetActiveScheme(NULL, &s_previousScheme) != ERROR_SUCCESS || !s_previousScheme) {
        s_previousScheme = NULL;
        return;
    }
    if (memcmp(s_previousScheme, &kHighPerformance, sizeof(GUID)) != 0 &&
        g_power.PowerSetActiveScheme(NULL, &kHighPerformance) == ERROR_SUCCESS)
        SetEngaged(0);
    if (!g_engaged) {
        // High Performance was already active, or the switch failed: nothing to undo.
        LocalFree(s_previousScheme);
        s_previousScheme = NULL;
    }
}

static DWORD RaiseMinimumState(const GUID* scheme, bool ac) {
    DWORD* saved = ac ? &s_savedAc : &s_savedDc;
    PowerReadValueIndexFn read = ac ? g_power.PowerReadACValueIndex : g_power.PowerReadDCValueIndex;
    PowerWriteValueIndexFn write = ac ? g_power.PowerWriteACValueIndex : g_power.PowerWriteDCValueIndex;
    DWORD result = read(NULL, scheme, &kProcessorSubgroup, &kMinimumProcessorState, saved);
    if (result != ERROR_SUCCESS) {
        *saved = kNothingSaved;
        return result;
    }
    return write(NULL, scheme, &kProcessorSubgroup, &kMinimumProcessorState, kBoostPercent);
}

static void EngageByMinimumState() {
    GUID* scheme = NULL;
    if (g_power.PowerGetActiveScheme(NULL, &scheme) != ERROR_SUCCESS || !scheme)
        return;
    DWORD acResult = RaiseMinimumState(scheme, true);
    DWORD dcResult = RaiseMinimumState(scheme, false);
    if (acResult == ERROR_SUCCESS || dcResult == ERROR_SUCCESS) {
        if (g_power.PowerSetActiveScheme(NULL, scheme) == ERROR_SUCCESS) {
            // Kept: the release restores this scheme's values even if the user has switched
            // to another scheme by then.
            s_boostedScheme = scheme;
            scheme = NULL;
            SetEngaged(1);
        } else {
            // Not engaged, so nothing would ever undo the 100 % already written.
            WriteSavedMinimumStates(scheme);
        }
    }
    LocalFree(scheme);
}

void EngageBoost() {
    if (g_engaged)
        ReleaseBoost();
    if (g_boostMethod == 0)
        EngageBySchemeSwitch();
    else if (g_boostMethod == 1)
        EngageByMinimumState();
}

void ReleaseBoost() {
    if (!g_engaged)
        return;
    if (s_engagedMethod == 0) {
        g_power.PowerSetActiveScheme(NULL, s_previousScheme);
        LocalFree(s_previousScheme);
        s_previousScheme = NULL;
    } else {
        // The raised values go back into the scheme that was raised, whichever is active
        // now; the active scheme is then applied again so that a change to it takes effect.
        GUID* active = NULL;
        DWORD result = g_power.PowerGetActiveScheme(NULL, &active);
        WriteSavedMinimumStates(s_boostedScheme);
        if (result == ERROR_SUCCESS && active) {
            g_power.PowerSetActiveScheme(NULL, active);
            LocalFree(active);
        }
        LocalFree(s_boostedScheme);
        s_boostedScheme = NULL;
    }
    g_engaged = 0;
    RefreshTrayMenu(); // up into the menu, as at engage
}
