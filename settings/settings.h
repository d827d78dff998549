// The settings the program keeps in HKEY_CURRENT_USER\Software\Korvath\Veltrana.
// Each scalar setting is a 32-bit global with its built-in default; LoadSettings overwrites
// them once at start-up, and only menu commands write them back.
#ifndef VELTRANA_SETTINGS_H
#define VELTRANA_SETTINGS_H

#include <windows.h>

// Colour words are 0xAARRGGBB with straight alpha.
extern DWORD g_boostMethod;     // "mode": 0 High Performance scheme, 1 minimum processor state 100 %
extern DWORD g_languageSetting; // "language": a LANGID, 0 = no preference
extern DWORD g_borders;         // "borders": non-zero = icon borders on
extern DWORD g_colorBorder;     // "color::border"
extern DWORD g_colorFrequency;  // "color::frequency"
extern DWORD g_colorActive;     // "color::active"
extern DWORD g_colorShadow;     // "color::shadow"

extern const wchar_t kSettingsKeyPath[]; // "Software\Korvath\Veltrana"

// Opens the key for reading; never creates it. The caller closes the key at once.
bool OpenSettingsKeyForRead(HKEY* key);
// Opens the key for writing, creating it (and its parents) when missing.
bool OpenSettingsKeyForWrite(HKEY* key);

// Reads the seven scalar settings over their defaults. Nothing can fail the start.
void LoadSettings();

// Stores one REG_DWORD (or other fixed-size) value: opens for writing, sets, closes.
// A key that cannot be opened leaves the registry untouched.
void WriteSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size);

#endif
