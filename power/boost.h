// Applying and undoing the boost: either the High Performance scheme or a 100 % minimum
// processor state. Whatever is applied is undone by the same method, and while any of it is
// applied the settings hold a record of how to undo it, so that the next start (or the
// "-restore" run at the next logon) undoes a boost whose program was killed, or whose release
// Windows refused.
#ifndef VELTRANA_BOOST_H
#define VELTRANA_BOOST_H

#include <windows.h>

extern BYTE g_engaged; // a boost is in force and must be undone

// Finishes first what a refused release or replay left in the record; while Windows still
// refuses, engages nothing.
void EngageBoost();
// Always ends with the boost released for the menu and the watcher; what Windows refused
// stays in the record for the next start.
void ReleaseBoost();

// What the boost does now, for the tooltip: in force by one of three ways, High Performance found
// already active (nothing to switch), refused (the failing call's error), or nothing.
enum BoostState {
    kBoostNone,
    kBoostBySchemeSwitch,
    kBoostByMinimumState,
    kBoostByFallback, // the minimum state, standing in for a missing High Performance scheme
    kBoostAlreadyHighPerformance,
    kBoostRefused,
};
BoostState CurrentBoostState(DWORD* error);
// Whether another program made another scheme active while the boost is in force: not High
// Performance after the switch, not the raised scheme after the minimum state. One
// PowerGetActiveScheme; false when no boost is in force or the query fails.
bool BoostUndoneElsewhere();

// Undoes what a record left by an earlier run describes, without overriding what the user
// changed since: nothing while another program that wrote it still runs; a scheme switch only if
// High Performance is still active; a minimum state only where the scheme still holds 100 %.
// The record stays, with its restore at the next logon, when a power call fails: the result is
// that call's error, ERROR_SUCCESS when nothing is left for this program to do. A program
// started with Windows and the "-restore" of the same logon never replay at the same time.
DWORD ReplayUndoRecord();

#endif
