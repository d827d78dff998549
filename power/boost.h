// Applying and undoing the boost: either the High Performance scheme or a 100 % minimum
// processor state (with Windows 11's power mode Best performance). Whatever is applied is undone by one rule
// that keeps what the user chose since, and while any of it is applied the settings hold a record of how to
// undo it (power/undo_record.h), so that a later start undoes a boost whose program was killed, or whose
// release Windows refused.
#ifndef VELTRANA_BOOST_H
#define VELTRANA_BOOST_H

#include <windows.h>

#include "power/boost_state.h"

// The boost methods, the setting "mode" (g_boostMethod); any other value applies nothing.
enum : DWORD { kBoostMethodScheme = 0, kBoostMethodMinimumState = 1 };

extern BYTE g_engaged; // a boost is in force and must be undone

// Finishes first what a refused release or replay left in the record; while Windows still
// refuses, engages nothing.
void EngageBoost();
// Always ends with the boost released for the menu and the watcher; what Windows refused
// stays in the record, and is tried again.
void ReleaseBoost();

// The state for the tooltip; *error is Windows' error of a refusal.
BoostState CurrentBoostState(DWORD* error);
// Whether the boost in force includes the power mode Best performance.
bool BoostIncludesPowerMode();

// With "Boost on battery" off, a wanted boost is released while the machine runs on battery or
// Battery Saver is on, and engaged again when neither holds it back: for a change of the power
// source or of Battery Saver.
void FollowPowerSource();
// "Boost on battery" turned on or off: a boost in force is applied anew to the power sources it
// now covers, or released.
void FollowBoostOnBattery();

// For the slow pass: while a refused release (or replay) waits, tries it again every few seconds,
// and engages afterwards if the boost is wanted by then.
void RetryRefusedRelease();

// Whether the boost in force still is: High Performance still active after the switch, the raised
// scheme still active after the raise (one PowerGetActiveScheme while a boost is in force). A
// change found around sleep and resume was Windows' own and is answered by applying the boost
// again (at most three times a minute); any other change is the user's or another program's: it
// is kept, not undone at the release, and the state says so until the next engage.
void CheckBoostInForce();
// Sleep and resume (also the display going off and coming back, which is all that Modern Standby
// tells), and a change of the active scheme.
void OnSystemSuspend();
void OnSystemResume();
// The active scheme's change notification (GUID_ACTIVE_POWERSCHEME) for the window, and whether a
// WM_POWERBROADCAST setting change is it.
void RegisterSchemeNotification(HWND window);
void UnregisterSchemeNotification();
bool IsActiveSchemeChange(const POWERBROADCAST_SETTING* setting);

// Start with Windows changed: a record in force has its "-restore" at the next logon only while
// Windows would not start the program anyway.
void FollowStartWithWindows();

// At start-up: undoes what a record left by an earlier run (or another program that wrote it)
// describes, without overriding what the user changed since; what Windows refuses waits for the
// slow pass's retry, and no boost is applied over it.
void UndoLeftBoost();
// "-restore" at the next logon: the same, ending with the error of the first refused call
// (ERROR_SUCCESS when nothing is left for this program to do). It never writes the RunOnce value
// it was started from. A program started with Windows and the "-restore" of the same logon never
// replay at the same time.
DWORD ReplayUndoRecord();

#endif
