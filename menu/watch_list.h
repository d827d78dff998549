// The user's list of programs whose running engages the boost in Automatic mode, as kept in
// the registry and shown in the tray menu (one popup per program).
#ifndef VELTRANA_WATCH_LIST_H
#define VELTRANA_WATCH_LIST_H

#include <windows.h>

enum { kWatchListSlots = 2048 };
// The tray menu position of the first entry, right after the mode items and their separator;
// the entries stand below it in descending slot order.
enum { kWatchListFirstPosition = 4 };

struct WatchListSlot {
    wchar_t* path; // process-heap string owned by the list, null for a slot without an entry
    BYTE enabled;  // 1 = its running engages the boost
};

extern WatchListSlot g_watchList[kWatchListSlots];

// Whether no slot holds a program: the state of every new user.
bool WatchListEmpty();

// Whether two paths name the same program: as Windows compares file names, ordinal and
// without regard to case ("d:\games\x.exe" is "D:\Games\X.exe"), never locale-aware.
bool SameProgramPath(const wchar_t* a, const wchar_t* b);

// Empties the list, then loads every "program#N" slot from the registry into the tray menu. A
// stored program whose entry cannot be made is left out of the list and the menu, but keeps its
// slot until the next load: no add takes it, since it would store over that program.
void LoadWatchList();

// Builds the per-program submenu of an occupied slot and inserts its entry into the tray menu.
// False when the entry could not be made; the caller then frees the slot, so that the list
// and the menu keep counting the same entries.
bool InsertWatchListEntry(UINT slot);

// Position of the slot's entry in the tray menu: the first position + the occupied slots
// numbered above it.
UINT WatchListEntryPosition(UINT slot);

// IDM_ADD_PROGRAM: asks for a program with the open-file dialog and adds it, unless the list
// already holds it, in the first slot that is free and holds no stored program.
void AddWatchedProgram(HWND window);

// The per-program commands 4096 + 16 * slot + k.
void HandleWatchListCommand(UINT id);

#endif
