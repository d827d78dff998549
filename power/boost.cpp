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
// Why the last engage applied nothing, for the tooltip; cleared by the next engage or release.
static DWORD s_refusal;
static bool s_alreadyHigh; // High Performance was active before: nothing to switch
static bool s_fellBack;    // the minimum state stands in for a missing High Performance scheme

// "boost::undo": what a later start must undo if this program never releases the boost.
// Written (and flushed) before each change, deleted once everything is undone. Fixed-size
// fields only, so the 32- and 64-bit programs read each other's records.
struct UndoRecord {
    DWORD version;
    DWORD method;  // 0: switched to High Performance, 1: raised the minimum state
    GUID scheme;   // 0: the scheme to come back to; 1: the scheme that was raised
    DWORD savedAc; // 1: the values to write back, kNothingSaved where none was read yet
    DWORD savedDc;
    DWORD processId; // the program that wrote it, told apart from a later one by its start
    DWORD createdLow;
    DWORD createdHigh;
};
static_assert(sizeof(UndoRecord) == 44, "the stored record's size");
enum : DWORD { kUndoVersion = 1 };

static void RecordUndo(DWORD method, const GUID* scheme) {
    // Only the minimum-state method has saved values; the scheme switch keeps none.
    UndoRecord record = {kUndoVersion,
                         method,
                         *scheme,
                         method == 1 ? s_savedAc : kNothingSaved,
                         method == 1 ? s_savedDc : kNothingSaved,
                         GetCurrentProcessId(),
                         0,
                         0};
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        record.createdLow = created.dwLowDateTime;
        record.createdHigh = created.dwHighDateTime;
    }
    WriteUndoRecord(&record, sizeof(record));
    // Without Start with Windows nothing would run at the next logon to read the record.
    if (!StartsWithWindows())
        SetRestoreAtNextLogon(true);
}

static void ForgetUndo() {
    DeleteUndoRecord();
    SetRestoreAtNextLogon(false);
}

static DWORD ReadMinimumState(const GUID* scheme, bool ac, DWORD* value) {
    PowerReadValueIndexFn read = ac ? g_power.PowerReadACValueIndex : g_power.PowerReadDCValueIndex;
    return read(NULL, scheme, &kProcessorSubgroup, &kMinimumProcessorState, value);
}

static DWORD WriteMinimumState(const GUID* scheme, bool ac, DWORD value) {
    PowerWriteValueIndexFn write = ac ? g_power.PowerWriteACValueIndex : g_power.PowerWriteDCValueIndex;
    return write(NULL, scheme, &kProcessorSubgroup, &kMinimumProcessorState, value);
}

static void WriteSavedMinimumStates(const GUID* scheme) {
    if (s_savedAc != kNothingSaved)
        WriteMinimumState(scheme, true, s_savedAc);
    if (s_savedDc != kNothingSaved)
        WriteMinimumState(scheme, false, s_savedDc);
}

static void SetEngaged(DWORD method) {
    g_engaged = 1;
    s_engagedMethod = method;
    RefreshTrayMenu(); // the one call up into the menu: its default item follows the boost
}

// Reads the minimum state (into the saved value), records it, then raises it to 100 %.
static DWORD RaiseMinimumState(const GUID* scheme, bool ac) {
    DWORD* saved = ac ? &s_savedAc : &s_savedDc;
    DWORD result = ReadMinimumState(scheme, ac, saved);
    if (result != ERROR_SUCCESS) {
        *saved = kNothingSaved;
        return result;
    }
    RecordUndo(1, scheme);
    return WriteMinimumState(scheme, ac, kBoostPercent);
}

static void EngageByMinimumState() {
    GUID* scheme = NULL;
    s_refusal = g_power.PowerGetActiveScheme(NULL, &scheme);
    if (s_refusal != ERROR_SUCCESS || !scheme)
        return;
    s_savedAc = s_savedDc = kNothingSaved;
    DWORD acResult = RaiseMinimumState(scheme, true);
    DWORD dcResult = RaiseMinimumState(scheme, false);
    s_refusal = acResult == ERROR_SUCCESS || dcResult == ERROR_SUCCESS
                    ? g_power.PowerSetActiveScheme(NULL, scheme)
                    : acResult;
    if (s_refusal == ERROR_SUCCESS) {
        // Kept: the release restores this scheme's values even if the user has switched to
        // another scheme by then.
        s_boostedScheme = scheme;
        scheme = NULL;
        SetEngaged(1);
    } else {
        // Not engaged, so nothing would ever undo a 100 % already written.
        WriteSavedMinimumStates(scheme);
        ForgetUndo();
    }
    LocalFree(scheme);
}

static bool HighPerformanceMissing() {
    DWORD value;
    return ReadMinimumState(&kHighPerformance, true, &value) == ERROR_FILE_NOT_FOUND;
}

static void EngageBySchemeSwitch() {
    s_refusal = g_power.PowerGetActiveScheme(NULL, &s_previousScheme);
    if (s_refusal != ERROR_SUCCESS || !s_previousScheme) {
        s_previousScheme = NULL;
        return;
    }
    bool fallBack = false;
    s_alreadyHigh = memcmp(s_previousScheme, &kHighPerformance, sizeof(GUID)) == 0;
    if (!s_alreadyHigh) {
        RecordUndo(0, s_previousScheme);
        s_refusal = g_power.PowerSetActiveScheme(NULL, &kHighPerformance);
        if (s_refusal == ERROR_SUCCESS) {
            SetEngaged(0);
            return; // the previous scheme is kept for the release
        }
        // Machines with Modern Standby offer no High Performance scheme: boost the scheme
        // in force instead. A switch that failed for another reason boosts nothing.
        fallBack = s_fellBack = HighPerformanceMissing();
        ForgetUndo();
    }
    // High Performance was already active, or the switch failed: nothing to undo.
    LocalFree(s_previousScheme);
    s_previousScheme = NULL;
    if (fallBack)
        EngageByMinimumState();
}

static void ForgetOutcome() {
    s_refusal = ERROR_SUCCESS;
    s_alreadyHigh = s_fellBack = false;
}

void EngageBoost() {
    if (g_engaged)
        ReleaseBoost();
    ForgetOutcome();
    if (g_boostMethod == 0)
        EngageBySchemeSwitch();
    else if (g_boostMethod == 1)
        EngageByMinimumState();
}

void ReleaseBoost() {
    ForgetOutcome();
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
    ForgetUndo();
    g_engaged = 0;
    RefreshTrayMenu(); // up into the menu, as at engage
}

BoostState CurrentBoostState(DWORD* error) {
    *error = s_refusal;
    if (g_engaged)
        return s_engagedMethod == 0 ? kBoostBySchemeSwitch
               : s_fellBack         ? kBoostByFallback
                                    : kBoostByMinimumState;
    if (s_alreadyHigh)
        return kBoostAlreadyHighPerformance;
    return s_refusal != ERROR_SUCCESS ? kBoostRefused : kBoostNone;
}

bool BoostUndoneElsewhere() {
    GUID* active = NULL;
    if (!g_engaged || g_power.PowerGetActiveScheme(NULL, &active) != ERROR_SUCCESS || !active)
        return false;
    const GUID* boosted = s_engagedMethod == 0 ? &kHighPerformance : s_boostedScheme;
    bool undone = boosted && memcmp(active, boosted, sizeof(GUID)) != 0;
    LocalFree(active);
    return undone;
}

// Whether the program that wrote a record is still running: the same process id, started at
// the same moment (ids are reused).
static bool WriterRunning(const UndoRecord& record) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, record.processId);
    if (!process)
        return false;
    FILETIME created, exited, kernel, user;
    bool same = GetProcessTimes(process, &created, &exited, &kernel, &user) &&
                created.dwLowDateTime == record.createdLow && created.dwHighDateTime == record.createdHigh &&
                WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return same;
}

// Writes a saved value back where the scheme still holds the boost's 100 %; the user's own
// later choice stays. False when a power call failed.
static bool RestoreMinimumState(const GUID* scheme, bool ac, DWORD saved) {
    DWORD now = 0;
    if (saved == kNothingSaved)
        return true;
    if (ReadMinimumState(scheme, ac, &now) != ERROR_SUCCESS)
        return false;
    return now != kBoostPercent || WriteMinimumState(scheme, ac, saved) == ERROR_SUCCESS;
}

// Re-applies the active scheme, after the switch to High Performance only if it is still the
// active one (then the recorded scheme comes back). False when a power call failed.
static bool ReplayOnActiveScheme(const UndoRecord& record) {
    GUID* active = NULL;
    if (g_power.PowerGetActiveScheme(NULL, &active) != ERROR_SUCCESS || !active)
        return false;
    DWORD result = ERROR_SUCCESS;
    if (record.method == 1)
        result = g_power.PowerSetActiveScheme(NULL, active);
    else if (memcmp(active, &kHighPerformance, sizeof(GUID)) == 0)
        result = g_power.PowerSetActiveScheme(NULL, &record.scheme);
    LocalFree(active);
    return result == ERROR_SUCCESS;
}

void ReplayUndoRecord() {
    UndoRecord record;
    StoredRecord stored = ReadUndoRecord(&record, sizeof(record));
    if (stored == kRecordAbsent)
        return;
    if (stored == kRecordMalformed || record.version != kUndoVersion || record.method > 1) {
        DeleteUndoRecord();
        return;
    }
    if (WriterRunning(record))
        return; // the same user's instance in another session holds that boost
    // A scheme deleted since cannot be restored: the record has nothing left to do.
    DWORD value;
    DWORD exists = ReadMinimumState(&record.scheme, true, &value);
    if (exists != ERROR_SUCCESS && exists != ERROR_FILE_NOT_FOUND)
        return;
    if (exists == ERROR_SUCCESS) {
        if (record.method == 1 && (!RestoreMinimumState(&record.scheme, true, record.savedAc) ||
                                   !RestoreMinimumState(&record.scheme, false, record.savedDc)))
            return;
        if (!ReplayOnActiveScheme(record))
            return;
    }
    ForgetUndo();
}
