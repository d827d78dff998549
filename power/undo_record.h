// What undoing a boost takes, and how it is kept in the settings while any of it is applied, so
// that a later start (or "-restore" at the next logon) undoes a boost whose program was killed
// or whose release Windows refused.
//
// Up to three values of a fixed size each, so that the 32- and 64-bit programs and the releases
// before and after read each other's: "boost::undo" holds the scheme switch, or the minimum
// states of efficiency class 0; "boost::undo::class1" (of the same form) the minimum states of
// efficiency class 1 (the fast cores of a hybrid processor), where the scheme has them;
// "boost::modes" the user's power modes that the boost replaced. A release that knows only the
// first one replays it and leaves the others for a release that knows them.
#ifndef VELTRANA_UNDO_RECORD_H
#define VELTRANA_UNDO_RECORD_H

#include <windows.h>

#include "power/scheme_calls.h"

enum : DWORD {
    kNothingSaved = 0xFFFFFFFF,
    kUndoNothing = 0xFFFFFFFF, // BoostUndo::method of a boost with nothing left to undo
};

struct BoostUndo {
    DWORD method; // the boost method that applied it (kBoostMethodScheme or kBoostMethodMinimumState)
    GUID scheme;  // scheme switch: the scheme to come back to; minimum state: the scheme raised
    // Minimum state: the values to write back, by MinimumState; kNothingSaved where there is none.
    // With none at all, the active scheme is still to be applied again.
    DWORD saved[kMinimumStates];
    // The user's power modes to put back, by PowerSource: those whose bit (1 << source) is set.
    DWORD modesSaved;
    GUID modes[kPowerSources];
};

// Writes the records of `undo`, flushed to disk, as this process's: each only while it holds
// something (the first: a method; the class-1 one: a class-1 value; the modes: a mode), the others
// deleted.
void StoreUndo(const BoostUndo& undo);
// Deletes every record.
void DeleteUndo();
// Whether any record is there, whoever wrote it.
bool UndoStored();

// The stored records, one at a time, for a replay.
// A modes record loads as a BoostUndo with no method and no saved minimum state.
enum StoredUndo { kStoredFirst, kStoredClass1, kStoredModes, kStoredRecords };
enum UndoFound {
    kUndoAbsent,
    kUndoFound,
    kUndoMalformed,     // of another type, size, version or method: deleted
    kUndoHeldElsewhere, // its writer, another instance of the program, still runs and holds that boost
};
UndoFound LoadUndo(StoredUndo which, BoostUndo* undo);
// Writes back what is left of one stored record after a refused replay, or deletes it.
void StoreUndoLeft(StoredUndo which, const BoostUndo& left, bool anythingLeft);

#endif
