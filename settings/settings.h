// Everything the program keeps in the registry, under HKEY_CURRENT_USER\Software\Korvath\Veltrana.
// The only place that touches the registry: the scalar settings, the colour dialog's custom
// colours and the watch list's "program#N" values. Every operation opens the key and closes
// it again; reading never creates it, writing does.
#ifndef VELTRANA_SETTINGS_H
#define VELTRANA_SETTINGS_H

#include <windows.h>

// The scalar settings: each a 32-bit global with its built-in default, read once at start-up.
// Colour words are 0xAARRGGBB with straight alpha.
extern DWORD g_boostMethod;     // "mode": 0 High Performance scheme, 1 minimum processor state 100 %
extern DWORD g_languageSetting; // "language": a LANGID, 0 = no preference
extern DWORD g_borders;         // "borders": non-zero = icon borders on
extern DWORD g_colorBorder;     // "color::border"
extern DWORD g_colorFrequency;  // "color::frequency"
extern DWORD g_colorActive;     // "color::active"
extern DWORD g_colorShadow;     // "color::shadow"
extern DWORD g_boostOnBattery;  // "battery": 1 boost on battery too, 0 only on mains (anything else: 1)

// Reads the eight scalar settings over their defaults. Nothing can fail the start.
void LoadSettings();
// Whether a scalar setting (by its address) came from the registry or was stored since: the
// colours the user has not chosen follow the taskbar.
bool SettingStored(const DWORD* setting);
// The taskbar's theme: "SystemUsesLightTheme" under HKCU's Themes\Personalize key, dark where it
// is missing (Windows before 10 has none).
bool TaskbarUsesLightTheme();

// Stores one of the scalar settings above (by its address) as a REG_DWORD. A key that cannot
// be opened leaves the registry untouched.
void StoreSetting(const DWORD* setting);
// The colour dialog's 16 custom colours, "color::custom" (REG_BINARY). Shorter stored data
// fills only the first colours; false, with the colours untouched, when the key or value is
// missing or holds more than 16 colours.
bool ReadCustomColors(COLORREF colors[16]);
void StoreCustomColors(const COLORREF colors[16]);

// The watch list's values: "program#N" (REG_SZ, the path) and "program#N::enabled" (REG_DWORD).
// Reading all 2048 slots opens the key once: OpenStoredPrograms, then ReadStoredProgram for
// each slot, then CloseStoredPrograms.
bool OpenStoredPrograms(HKEY* key);
// The path of slot N as a process-heap string that always ends in a NUL within its block
// (also for data stored without one, or with an odd byte count), and its enabled flag. Null
// for a missing value, one of another type, or one that cannot be read whole.
wchar_t* ReadStoredProgram(HKEY key, UINT slot, bool* enabled);
void CloseStoredPrograms(HKEY key);
// Writes "program#N" with its terminating NUL and "program#N::enabled" = 1.
void StoreProgram(UINT slot, const wchar_t* path);
void StoreProgramEnabled(UINT slot, bool enabled);
// Deletes both values of slot N.
void DeleteStoredProgram(UINT slot);

// The boost's undo records (power/undo_record.h): "boost::undo", "boost::undo::class1" and
// "boost::modes", REG_BINARY of a fixed size. Reading tells a missing value from one of the wrong type or
// size, which the caller deletes.
enum UndoValue { kUndoValueFirst, kUndoValueClass1, kUndoValueModes };
enum StoredRecord { kRecordAbsent, kRecordFound, kRecordMalformed };
StoredRecord ReadUndoRecord(UndoValue which, void* record, DWORD size);
// Writes the record and flushes it to disk before returning, so that it survives a power
// cut right after the change it guards. False when it could not be written.
bool WriteUndoRecord(UndoValue which, const void* record, DWORD size);
// Deletes the record; never creates the settings key.
void DeleteUndoRecord(UndoValue which);

// Start with Windows: the "Veltrana" value under HKCU's Run key names this executable, as its
// quoted full path, and Task Manager has not turned it off. Turning it on writes that; off
// deletes the value. Either way Task Manager's own flag for it goes.
bool StartsWithWindows();
void SetStartWithWindows(bool on);
// The "Veltrana" value under HKCU's RunOnce key: this executable with "-restore", so that the
// next logon undoes a boost that was never released, where the program does not start with
// Windows anyway.
void SetRestoreAtNextLogon(bool on);

#endif
