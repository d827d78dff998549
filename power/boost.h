// Applying and undoing the boost: either the High Performance scheme or a 100 % minimum
// processor state. Whatever is applied is undone by the same method, and while any of it is
// applied the settings hold a record of how to undo it, so that the next start (or the
// "-restore" run at the next logon) undoes a boost whose program was killed.
#ifndef VELTRANA_BOOST_H
#define VELTRANA_BOOST_H

#include <windows.h>

extern BYTE g_engaged; // a boost is in force and must be undone

void EngageBoost();
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
// changed since: nothing while the program that wrote it still runs; a scheme switch only if
// High Performance is still active; a minimum state only where the scheme still holds 100 %.
// The record stays for the next start when a power call fails.
void ReplayUndoRecord();

#endif
