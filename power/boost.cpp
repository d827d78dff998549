#include "power/boost.h"

#include "common/names.h"
#include "menu/tray_menu.h"
#include "power/power_functions.h"
#include "power/power_source.h"
#include "power/scheme_calls.h"
#include "power/undo_record.h"
#include "settings/settings.h"

BYTE g_engaged;

enum : DWORD { kBoostPercent = 100 };
enum {
    kRetryPasses = 8,        // slow passes between two tries of a refused release: about 3.6 s
    kResumeGraceMs = 10000,  // after a resume, a change of scheme is still Windows' own
    kReappliesPerMinute = 3, // after that, a program that fights the boost back wins
};

// {31F9F286-5084-42FE-B720-2B0264993763}: GUID_ACTIVE_POWERSCHEME.
static const GUID kActiveSchemeSetting = {
    0x31F9F286, 0x5084, 0x42FE, {0xB7, 0x20, 0x2B, 0x02, 0x64, 0x99, 0x37, 0x63}};

static BoostUndo s_undo;   // what undoing the boost in force takes
static BoostState s_state; // the outcome of the last engage, release or check: set only by SetState
static DWORD s_error;      // Windows' error of a refusal
static bool s_pending;     // the stored records hold what this program must still undo
static bool s_wanted;      // the last call was an engage, not a release
static bool s_restoreSet;  // this engage has decided on the restore at the next logon
static int s_passesSinceRetry;
static bool s_asleep, s_inForceAtSleep, s_resumed;
static DWORD s_resumedAt;
static DWORD s_reapplied[kReappliesPerMinute]; // when the last re-applies were, oldest first
static int s_reapplies;
static HPOWERNOTIFY s_schemeNotification;

static void SetState(BoostState state, DWORD error = ERROR_SUCCESS) {
    s_state = state;
    s_error = error;
}

static void SetEngaged(BoostState how) {
    g_engaged = 1;
    SetState(how);
    RefreshTrayMenu(); // the one call up into the menu: its default item follows the boost
}

// Before each change: the record, and once per engage the "-restore" at the next logon, which
// is needed only while Windows will not start the program (which replays the record) anyway.
static void RecordBeforeChange() {
    StoreUndo(s_undo);
    if (!s_restoreSet)
        SetRestoreAtNextLogon(!StartsWithWindows());
    s_restoreSet = true;
}

static void ForgetUndo() {
    DeleteUndo();
    SetRestoreAtNextLogon(false);
    s_restoreSet = false; // a fallback after a refused switch records anew
}

// Writes a saved value back where the scheme still holds the boost's 100 %: the user's own later
// choice stays, and a value the scheme already holds is not written again.
static DWORD RestoreMinimumState(const GUID* scheme, int which, DWORD saved) {
    DWORD now = 0;
    if (saved == kNothingSaved)
        return ERROR_SUCCESS;
    DWORD result = ReadMinimumState(scheme, which, &now);
    if (result != ERROR_SUCCESS || now != kBoostPercent || now == saved)
        return result;
    return WriteMinimumState(scheme, which, saved);
}

// Puts back each saved power mode that is still Best performance; one the user changed since stays
// theirs. Without the mode functions (a record carried to Windows 10) there is no mode to put back.
static DWORD RestorePowerModes(BoostUndo* undo) {
    DWORD refused = ERROR_SUCCESS;
    for (int source = 0; source < kPowerSources; ++source) {
        const DWORD bit = 1u << source;
        GUID now = {};
        if (!(undo->modesSaved & bit))
            continue;
        DWORD result = PowerModesAvailable() ? GetPowerMode(source, &now) : ERROR_SUCCESS;
        if (result == ERROR_SUCCESS && IsEqualGUID(now, kBestPerformanceMode))
            result = SetPowerMode(source, &undo->modes[source]);
        if (result == ERROR_SUCCESS)
            undo->modesSaved &= ~bit;
        else if (refused == ERROR_SUCCESS)
            refused = result;
    }
    return refused;
}

// The scheme's part of the one rule below.
static DWORD UndoSchemeBoost(BoostUndo* undo, bool reapply) {
    if (undo->method == kUndoNothing)
        return ERROR_SUCCESS;
    bool present = false;
    DWORD refused = FindScheme(&undo->scheme, &present);
    if (refused != ERROR_SUCCESS)
        return refused;
    if (!present) {
        undo->method = kUndoNothing;
        return ERROR_SUCCESS;
    }
    const bool minimumState = undo->method == kBoostMethodMinimumState;
    for (int i = 0; minimumState && i < kMinimumStates; ++i) {
        DWORD result = RestoreMinimumState(&undo->scheme, i, undo->saved[i]);
        if (result == ERROR_SUCCESS)
            undo->saved[i] = kNothingSaved;
        else if (refused == ERROR_SUCCESS)
            refused = result;
    }
    GUID* active = NULL;
    DWORD result = reapply || !minimumState ? GetActiveScheme(&active) : ERROR_SUCCESS;
    if (result == ERROR_SUCCESS && active) {
        if (minimumState)
            result = g_power.PowerSetActiveScheme(NULL, active);
        else if (SameScheme(active, &kHighPerformanceScheme))
            result = g_power.PowerSetActiveScheme(NULL, &undo->scheme);
    }
    LocalFree(active);
    if (refused == ERROR_SUCCESS)
        refused = result;
    if (refused == ERROR_SUCCESS)
        undo->method = kUndoNothing;
    return refused;
}

// The one rule by which a boost is undone, at a release, at a retry, at the next start and by
// "-restore": whatever the user (or another program) chose since stays. A power mode is put back
// only while it is still Best performance; the switch to High Performance is switched back only
// while High Performance is still active; a raised value is written back only where the scheme
// still holds 100 %, and the active scheme is then applied again so that the values take effect
// (unless `reapply` is false: the raise never took effect). A scheme deleted since leaves nothing
// to do. What is done, or found to be the user's, is cleared from `undo`; the result is the error
// of the first call Windows refused.
static DWORD UndoBoost(BoostUndo* undo, bool reapply) {
    DWORD modes = RestorePowerModes(undo);
    DWORD scheme = UndoSchemeBoost(undo, reapply);
    return modes != ERROR_SUCCESS ? modes : scheme;
}

static void BeginUndo(DWORD method, const GUID* scheme) {
    s_undo.method = method;
    s_undo.scheme = *scheme;
    for (DWORD& saved : s_undo.saved)
        saved = kNothingSaved;
    s_undo.modesSaved = 0;
}

// The power sources the boost raises: mains, and the battery too unless the user said otherwise.
static bool Boosts(int source) {
    return source == kSourceAc || g_boostOnBattery;
}

// Whether the boost waits for mains power: "Boost on battery" off, and the machine on battery or
// Battery Saver on.
static bool HeldOnBattery() {
    return !g_boostOnBattery && (RunsOnBattery() || BatterySaverOn());
}

// Records the power mode of each boosted source, then makes it Best performance; a source already
// there is left alone, as there would be nothing to put back. The result is the first refusal.
static DWORD RaisePowerModes() {
    for (int source = 0; PowerModesAvailable() && source < kPowerSources; ++source) {
        if (!Boosts(source))
            continue;
        DWORD result = GetPowerMode(source, &s_undo.modes[source]);
        if (result != ERROR_SUCCESS)
            return result;
        if (IsEqualGUID(s_undo.modes[source], kBestPerformanceMode))
            continue;
        s_undo.modesSaved |= 1u << source;
        RecordBeforeChange();
        result = SetPowerMode(source, &kBestPerformanceMode);
        if (result != ERROR_SUCCESS) {
            s_undo.modesSaved &= ~(1u << source); // refused: nothing to put back
            return result;
        }
    }
    return ERROR_SUCCESS;
}

// Reads a minimum state (into the record), records it, then raises it to 100 %. A raise that
// Windows refused leaves the value as it was, so there is nothing to write back.
static DWORD RaiseMinimumState(int which) {
    DWORD* saved = &s_undo.saved[which];
    DWORD result = ReadMinimumState(&s_undo.scheme, which, saved);
    if (result != ERROR_SUCCESS) {
        *saved = kNothingSaved;
        return result;
    }
    RecordBeforeChange();
    result = WriteMinimumState(&s_undo.scheme, which, kBoostPercent);
    if (result != ERROR_SUCCESS)
        *saved = kNothingSaved;
    return result;
}

// Both efficiency classes, of each boosted power source; a scheme without class-1 values (a read
// that fails) boosts class 0 only, and only class 0's refusals count. Where Windows has power
// modes, the boosted sources' modes become Best performance too; a refused mode call refuses the
// whole boost.
static void EngageByMinimumState(BoostState how) {
    GUID* scheme;
    DWORD result = GetActiveScheme(&scheme);
    if (result != ERROR_SUCCESS) {
        SetState(kBoostRefused, result);
        return;
    }
    BeginUndo(kBoostMethodMinimumState, scheme);
    LocalFree(scheme);
    DWORD classZero = ERROR_SUCCESS;
    bool raised = false;
    for (int i = 0; i < kMinimumStates; ++i) {
        if (!Boosts(OnMains(i) ? kSourceAc : kSourceDc))
            continue;
        DWORD raise = RaiseMinimumState(i);
        raised |= raise == ERROR_SUCCESS;
        if (raise != ERROR_SUCCESS && i < kMinimumAcClass1 && classZero == ERROR_SUCCESS)
            classZero = raise;
    }
    result = raised ? RaisePowerModes() : classZero;
    if (result == ERROR_SUCCESS)
        result = g_power.PowerSetActiveScheme(NULL, &s_undo.scheme);
    if (result == ERROR_SUCCESS) {
        // The release restores this scheme's values even if another scheme is active by then.
        SetEngaged(how);
        return;
    }
    // Not engaged, so nothing would ever undo a 100 % already written: what cannot be written
    // back now stays in the record, for the retry.
    if (!raised || UndoBoost(&s_undo, false) == ERROR_SUCCESS) {
        ForgetUndo();
    } else {
        StoreUndo(s_undo);
        s_pending = true;
    }
    SetState(kBoostRefused, result);
}

static void EngageBySchemeSwitch() {
    GUID* active;
    DWORD result = GetActiveScheme(&active);
    if (result != ERROR_SUCCESS) {
        SetState(kBoostRefused, result);
        return;
    }
    if (SameScheme(active, &kHighPerformanceScheme)) {
        LocalFree(active); // nothing to switch, and nothing to switch back
        SetState(kBoostAlreadyHighPerformance);
        return;
    }
    BeginUndo(kBoostMethodScheme, active);
    LocalFree(active);
    RecordBeforeChange();
    result = g_power.PowerSetActiveScheme(NULL, &kHighPerformanceScheme);
    if (result == ERROR_SUCCESS) {
        SetEngaged(kBoostBySchemeSwitch);
        return;
    }
    ForgetUndo();
    // Machines with Modern Standby offer no High Performance scheme: boost the scheme in force
    // instead. A switch that failed for another reason boosts nothing, and so does one where the
    // schemes cannot be listed.
    bool present = true;
    if (FindScheme(&kHighPerformanceScheme, &present) == ERROR_SUCCESS && !present)
        EngageByMinimumState(kBoostByFallback);
    else
        SetState(kBoostRefused, result);
}

// Replays every stored record that is this program's to undo, by the one rule, and keeps what is
// left of each. The result is the first refusal.
static DWORD ReplayStoredRecords() {
    DWORD refused = ERROR_SUCCESS;
    for (int which = 0; which < kStoredRecords; ++which) {
        BoostUndo undo;
        if (LoadUndo(static_cast<StoredUndo>(which), &undo) != kUndoFound)
            continue;
        DWORD result = UndoBoost(&undo, true);
        StoreUndoLeft(static_cast<StoredUndo>(which), undo, result != ERROR_SUCCESS);
        if (refused == ERROR_SUCCESS)
            refused = result;
    }
    return refused;
}

// A program started with Windows and the "-restore" of the same logon take turns. A holder that
// ended while replaying abandons the mutex: the wait still owns it, and the record tells what that
// holder left.
static DWORD Replay(bool fromRunOnce) {
    HANDLE mutex = CreateMutexW(NULL, FALSE, VELTRANA_REPLAY_MUTEX);
    DWORD waited = mutex ? WaitForSingleObject(mutex, 30000) : WAIT_FAILED;
    bool owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    DWORD result;
    if (owned)
        result = ReplayStoredRecords();
    else
        result = waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError();
    // The RunOnce value goes with the last record, but never by the "-restore" it started: Windows
    // asks a program run from RunOnce not to write to the key.
    if (!fromRunOnce && result == ERROR_SUCCESS && !UndoStored())
        SetRestoreAtNextLogon(false);
    if (owned)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
    return result;
}

DWORD ReplayUndoRecord() {
    return Replay(true);
}

static DWORD FinishLeftBoost() {
    DWORD result = Replay(false);
    s_pending = result != ERROR_SUCCESS;
    s_passesSinceRetry = 0;
    SetState(s_pending ? kBoostReleaseRefused : kBoostNone, result);
    return result;
}

void UndoLeftBoost() {
    FinishLeftBoost();
}

void EngageBoost() {
    if (g_engaged)
        ReleaseBoost();
    s_wanted = true;
    s_restoreSet = false;
    SetState(kBoostNone);
    // A new record would overwrite what the stored one still has to undo.
    if (s_pending) {
        DWORD result = FinishLeftBoost();
        if (result != ERROR_SUCCESS) {
            SetState(kBoostRefused, result);
            return;
        }
    }
    if (HeldOnBattery())
        SetState(kBoostOnBattery);
    else if (g_boostMethod == kBoostMethodScheme)
        EngageBySchemeSwitch();
    else if (g_boostMethod == kBoostMethodMinimumState)
        EngageByMinimumState(kBoostByMinimumState);
}

void ReleaseBoost() {
    s_wanted = false;
    if (!g_engaged) {
        // A refused release still waits: the state keeps saying so.
        if (s_pending)
            SetState(kBoostReleaseRefused, s_error);
        else
            SetState(kBoostNone);
        return;
    }
    DWORD result = UndoBoost(&s_undo, true);
    g_engaged = 0;
    if (result == ERROR_SUCCESS) {
        ForgetUndo();
        SetState(kBoostNone);
    } else {
        StoreUndo(s_undo); // only what is left: nothing is written twice
        s_pending = true;
        s_passesSinceRetry = 0;
        SetState(kBoostReleaseRefused, result);
    }
    RefreshTrayMenu(); // up into the menu, as at engage
}

void FollowPowerSource() {
    if (s_wanted && (HeldOnBattery() ? g_engaged != 0 : !g_engaged && s_state == kBoostOnBattery))
        EngageBoost();
}

void FollowBoostOnBattery() {
    if (s_wanted && g_engaged)
        EngageBoost(); // the boosted power sources change
    else
        FollowPowerSource();
}

bool BoostIncludesPowerMode() {
    return PowerModesAvailable() && (s_state == kBoostByMinimumState || s_state == kBoostByFallback);
}

BoostState CurrentBoostState(DWORD* error) {
    *error = s_error;
    return s_state;
}

void RetryRefusedRelease() {
    if (!s_pending || g_engaged || ++s_passesSinceRetry < kRetryPasses)
        return;
    s_passesSinceRetry = 0;
    if (s_wanted)
        EngageBoost();
    else
        FinishLeftBoost();
}

static bool UndoneSinceEngaged() {
    if (!g_engaged || s_state == kBoostUndoneElsewhere || s_undo.method == kUndoNothing)
        return false;
    GUID* active;
    if (GetActiveScheme(&active) != ERROR_SUCCESS)
        return false;
    const GUID* boosted = s_undo.method == kBoostMethodScheme ? &kHighPerformanceScheme : &s_undo.scheme;
    bool undone = !SameScheme(active, boosted);
    LocalFree(active);
    return undone;
}

// At most kReappliesPerMinute in any minute.
static bool MayReapply() {
    const DWORD now = GetTickCount();
    if (s_reapplies == kReappliesPerMinute && now - s_reapplied[0] < 60000)
        return false;
    if (s_reapplies == kReappliesPerMinute) {
        for (int i = 1; i < kReappliesPerMinute; ++i)
            s_reapplied[i - 1] = s_reapplied[i];
        --s_reapplies;
    }
    s_reapplied[s_reapplies++] = now;
    return true;
}

void CheckBoostInForce() {
    if (s_asleep || !UndoneSinceEngaged())
        return;
    const bool afterResume = s_resumed && GetTickCount() - s_resumedAt < kResumeGraceMs;
    if (afterResume && s_inForceAtSleep && MayReapply()) {
        EngageBoost(); // undoes what is left by the rule, then applies the boost anew
        return;
    }
    // Kept: the switch back is no longer this program's to make (raised values in a scheme that
    // is no longer active still are).
    if (s_undo.method == kBoostMethodScheme) {
        s_undo.method = kUndoNothing;
        ForgetUndo();
    }
    SetState(kBoostUndoneElsewhere);
}

void OnSystemSuspend() {
    if (!s_asleep)
        s_inForceAtSleep = g_engaged && s_state != kBoostUndoneElsewhere;
    s_asleep = true;
}

void OnSystemResume() {
    s_asleep = false;
    s_resumed = true;
    s_resumedAt = GetTickCount();
    CheckBoostInForce();
}

void RegisterSchemeNotification(HWND window) {
    s_schemeNotification =
        RegisterPowerSettingNotification(window, &kActiveSchemeSetting, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void UnregisterSchemeNotification() {
    if (s_schemeNotification)
        UnregisterPowerSettingNotification(s_schemeNotification);
    s_schemeNotification = NULL;
}

bool IsActiveSchemeChange(const POWERBROADCAST_SETTING* setting) {
    return setting && IsEqualGUID(setting->PowerSetting, kActiveSchemeSetting);
}

void FollowStartWithWindows() {
    if (g_engaged || s_pending)
        SetRestoreAtNextLogon(!StartsWithWindows());
}
