#include "power/boost.h"

#include <string.h>

#include "common/names.h"
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
static DWORD s_savedAc = kNothingSaved; // minimum-state method: the values to write back, where
static DWORD s_savedDc = kNothingSaved; // they were read and then raised
// The stored record holds what a refused release or replay left undone. A new boost would
// overwrite it, so it is finished first.
static bool s_undoPending;
// Why the last engage applied nothing, for the tooltip; cleared by the next engage or release.
static DWORD s_refusal;
static bool s_alreadyHigh; // High Performance was active before: nothing to switch
static bool s_fellBack;    // the minimum state stands in for a missing High Performance scheme

// "boost::undo": what a later start must undo if this program never releases the boost.
// Written (and flushed) before each change, deleted once everything is undone; after a release
// that Windows refused in part, it keeps only what is still to do. Fixed-size fields only, so
// the 32- and 64-bit programs read each other's records.
struct UndoRecord {
    DWORD version;
    DWORD method;    // 0: switched to High Performance, 1: raised the minimum state
    GUID scheme;     // 0: the scheme to come back to; 1: the scheme that was raised
    DWORD savedAc;   // 1: the values to write back, kNothingSaved where there is none; with
    DWORD savedDc;   //    neither, the active scheme is still to be applied again
    DWORD processId; // the program that wrote it, told apart from a later one by its start
    DWORD createdLow;
    DWORD createdHigh;
};
static_assert(sizeof(UndoRecord) == 44, "the stored record's size");
enum : DWORD { kUndoVersion = 1 };

static void RecordUndo(DWORD method, const GUID* scheme, DWORD savedAc, DWORD savedDc) {
    UndoRecord record = {kUndoVersion, method, *scheme, savedAc, savedDc, GetCurrentProcessId(), 0, 0};
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        record.createdLow = created.dwLowDateTime;
        record.createdHigh = created.dwHighDateTime;
    }
    WriteUndoRecord(&record, sizeof(record));
    // Whether or not the program starts with Windows (Task Manager may have disabled that
    // without a trace in the Run value), "-restore" runs at the next logon.
    SetRestoreAtNextLogon(true);
}

static void ForgetUndo() {
    DeleteUndoRecord();
    SetRestoreAtNextLogon(false);
}

// PowerGetActiveScheme; a success that hands out no scheme counts as a failure.
static DWORD GetActiveScheme(GUID** scheme) {
    *scheme = NULL;
    DWORD result = g_power.PowerGetActiveScheme(NULL, scheme);
    return result == ERROR_SUCCESS && !*scheme ? ERROR_INVALID_DATA : result;
}

static DWORD ReadMinimumState(const GUID* scheme, bool ac, DWORD* value) {
    PowerReadValueIndexFn read = ac ? g_power.PowerReadACValueIndex : g_power.PowerReadDCValueIndex;
    return read(NULL, scheme, &kProcessorSubgroup, &kMinimumProcessorState, value);
}

static DWORD WriteMinimumState(const GUID* scheme, bool ac, DWORD value) {
    PowerWriteValueIndexFn write = ac ? g_power.PowerWriteACValueIndex : g_power.PowerWriteDCValueIndex;
    return write(NULL, scheme, &kProcessorSubgroup, &kMinimumProcessorState, value);
}

// Writes the saved values back, AC before DC. Each one written becomes kNothingSaved; the
// result is the error of the last write that failed.
static DWORD WriteBack(const GUID* scheme, DWORD* savedAc, DWORD* savedDc) {
    DWORD failed = ERROR_SUCCESS;
    DWORD* saved[2] = {savedAc, savedDc};
    for (int i = 0; i < 2; ++i) {
        if (*saved[i] == kNothingSaved)
            continue;
        DWORD result = WriteMinimumState(scheme, i == 0, *saved[i]);
        if (result == ERROR_SUCCESS)
            *saved[i] = kNothingSaved;
        else
            failed = result;
    }
    return failed;
}

// Whether the system has the scheme. A read of a missing scheme fails with a code that Windows
// does not document, so the schemes are enumerated. ERROR_SUCCESS with *present set, or the
// error of the enumeration.
static DWORD FindScheme(const GUID* scheme, bool* present) {
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
        if (size == sizeof(found) && memcmp(&found, scheme, sizeof(GUID)) == 0) {
            *present = true;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_INVALID_DATA;
}

static void SetEngaged(DWORD method) {
    g_engaged = 1;
    s_engagedMethod = method;
    RefreshTrayMenu(); // the one call up into the menu: its default item follows the boost
}

// Reads the minimum state (into the saved value), records it, then raises it to 100 %. A raise
// that Windows refused leaves the value as it was, so there is nothing to write back.
static DWORD RaiseMinimumState(const GUID* scheme, bool ac) {
    DWORD* saved = ac ? &s_savedAc : &s_savedDc;
    DWORD result = ReadMinimumState(scheme, ac, saved);
    if (result != ERROR_SUCCESS) {
        *saved = kNothingSaved;
        return result;
    }
    RecordUndo(1, scheme, s_savedAc, s_savedDc);
    result = WriteMinimumState(scheme, ac, kBoostPercent);
    if (result != ERROR_SUCCESS)
        *saved = kNothingSaved;
    return result;
}

static void EngageByMinimumState() {
    GUID* scheme;
    s_refusal = GetActiveScheme(&scheme);
    if (s_refusal != ERROR_SUCCESS)
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
        // Not engaged, so nothing would ever undo a 100 % already written. What cannot be
        // written back now stays in the record.
        DWORD ac = s_savedAc, dc = s_savedDc;
        if (WriteBack(scheme, &ac, &dc) == ERROR_SUCCESS) {
            ForgetUndo();
        } else {
            RecordUndo(1, scheme, ac, dc);
            s_undoPending = true;
        }
    }
    LocalFree(scheme);
}

static void EngageBySchemeSwitch() {
    s_refusal = GetActiveScheme(&s_previousScheme);
    if (s_refusal != ERROR_SUCCESS) {
        s_previousScheme = NULL;
        return;
    }
    bool fallBack = false;
    s_alreadyHigh = memcmp(s_previousScheme, &kHighPerformance, sizeof(GUID)) == 0;
    if (!s_alreadyHigh) {
        RecordUndo(0, s_previousScheme, kNothingSaved, kNothingSaved);
        s_refusal = g_power.PowerSetActiveScheme(NULL, &kHighPerformance);
        if (s_refusal == ERROR_SUCCESS) {
            SetEngaged(0);
            return; // the previous scheme is kept for the release
        }
        // Machines with Modern Standby offer no High Performance scheme: boost the scheme
        // in force instead. A switch that failed for another reason boosts nothing, and so
        // does one where the schemes cannot be listed.
        bool present = true;
        fallBack = s_fellBack = FindScheme(&kHighPerformance, &present) == ERROR_SUCCESS && !present;
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
    if (s_undoPending) {
        s_refusal = ReplayUndoRecord();
        if (s_refusal != ERROR_SUCCESS)
            return; // Windows still refuses: the record and what it saved stay as they are
    }
    if (g_boostMethod == 0)
        EngageBySchemeSwitch();
    else if (g_boostMethod == 1)
        EngageByMinimumState();
}

// Every call is checked. What Windows refused stays in the record (with the restore at the
// next logon) for the next start to finish; the boost counts as released all the same.
void ReleaseBoost() {
    ForgetOutcome();
    if (!g_engaged)
        return;
    bool undone;
    if (s_engagedMethod == 0) {
        // Refused, the record written before the switch still says where to come back to.
        undone = g_power.PowerSetActiveScheme(NULL, s_previousScheme) == ERROR_SUCCESS;
        LocalFree(s_previousScheme);
        s_previousScheme = NULL;
    } else {
        // The raised values go back into the scheme that was raised, whichever is active
        // now; the active scheme is then applied again so that a change to it takes effect.
        GUID* active;
        DWORD found = GetActiveScheme(&active);
        DWORD ac = s_savedAc, dc = s_savedDc;
        WriteBack(s_boostedScheme, &ac, &dc);
        bool applied = found == ERROR_SUCCESS && g_power.PowerSetActiveScheme(NULL, active) == ERROR_SUCCESS;
        undone = applied && ac == kNothingSaved && dc == kNothingSaved;
        if (!undone)
            RecordUndo(1, s_boostedScheme, ac, dc); // only what is left: nothing is written twice
        LocalFree(active);
        LocalFree(s_boostedScheme);
        s_boostedScheme = NULL;
    }
    if (undone)
        ForgetUndo();
    else
        s_undoPending = true;
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

// Whether another program that wrote the record still runs: the same process id, started at
// the same moment (ids are reused, after a restart within minutes). This very process never
// holds a boost while it replays.
static bool WriterRunning(const UndoRecord& record) {
    if (record.processId == GetCurrentProcessId())
        return false;
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

// Writes a saved value back where the scheme still holds the boost's 100 %: the user's own
// later choice stays, and a value the scheme already holds is not written again.
static DWORD RestoreMinimumState(const GUID* scheme, bool ac, DWORD saved) {
    DWORD now = 0;
    if (saved == kNothingSaved)
        return ERROR_SUCCESS;
    DWORD result = ReadMinimumState(scheme, ac, &now);
    if (result != ERROR_SUCCESS || now != kBoostPercent || now == saved)
        return result;
    return WriteMinimumState(scheme, ac, saved);
}

// Re-applies the active scheme, after the switch to High Performance only if it is still the
// active one (then the recorded scheme comes back).
static DWORD ReplayOnActiveScheme(const UndoRecord& record) {
    GUID* active;
    DWORD result = GetActiveScheme(&active);
    if (result != ERROR_SUCCESS)
        return result;
    if (record.method == 1)
        result = g_power.PowerSetActiveScheme(NULL, active);
    else if (memcmp(active, &kHighPerformance, sizeof(GUID)) == 0)
        result = g_power.PowerSetActiveScheme(NULL, &record.scheme);
    LocalFree(active);
    return result;
}

// Undoes what the stored record describes. *found tells whether there was one.
static DWORD ReplayStoredRecord(bool* found) {
    UndoRecord record;
    StoredRecord stored = ReadUndoRecord(&record, sizeof(record));
    *found = stored != kRecordAbsent;
    if (stored == kRecordAbsent)
        return ERROR_SUCCESS;
    if (stored == kRecordMalformed || record.version != kUndoVersion || record.method > 1) {
        DeleteUndoRecord();
        return ERROR_SUCCESS;
    }
    if (WriterRunning(record))
        return ERROR_SUCCESS; // the same user's instance in another session holds that boost
    // A scheme deleted since cannot be restored: the record has nothing left to do.
    bool present = false;
    DWORD result = FindScheme(&record.scheme, &present);
    if (result == ERROR_SUCCESS && present && record.method == 1)
        result = RestoreMinimumState(&record.scheme, true, record.savedAc);
    if (result == ERROR_SUCCESS && present && record.method == 1)
        result = RestoreMinimumState(&record.scheme, false, record.savedDc);
    if (result == ERROR_SUCCESS && present)
        result = ReplayOnActiveScheme(record);
    if (result == ERROR_SUCCESS)
        DeleteUndoRecord();
    return result;
}

DWORD ReplayUndoRecord() {
    // A program started with Windows and the "-restore" of the same logon take turns. A holder
    // that ended while replaying abandons the mutex; the record tells what it left.
    HANDLE mutex = CreateMutexW(NULL, FALSE, VELTRANA_REPLAY_MUTEX);
    DWORD waited = mutex ? WaitForSingleObject(mutex, 30000) : WAIT_FAILED;
    bool owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    bool found = true; // unknown unless read
    DWORD result;
    if (owned)
        result = ReplayStoredRecord(&found);
    else
        result = waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError();
    // Windows deleted the RunOnce value before it ran "-restore": a record left for later needs
    // it again.
    UndoRecord left;
    if (found)
        SetRestoreAtNextLogon(ReadUndoRecord(&left, sizeof(left)) != kRecordAbsent);
    if (owned)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
    s_undoPending = result != ERROR_SUCCESS;
    return result;
}
