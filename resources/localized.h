// Resources of the program's own module in the language the program chooses rather than
// the one Windows would: the user's menu choice first, then the user's and the system's
// default languages, then neutral and English entries.
#ifndef VELTRANA_LOCALIZED_H
#define VELTRANA_LOCALIZED_H

#include <windows.h>

struct LocalizedResource {
    const void* data; // the module's read-only bytes, or null when not found
    DWORD size;       // 0 when not found
    LANGID language;  // the language used, 0 when the resource exists in no usable language
};

// Tried first by every lookup; 0 means no preference. Any value is accepted.
extern LANGID g_preferredLanguage;

LANGID ChooseResourceLanguage(HMODULE module, LPCWSTR type, LPCWSTR name);
LocalizedResource FindLocalizedResource(HMODULE module, LPCWSTR type, LPCWSTR name);

// A fresh menu from a menu template of the own module; the caller owns it. Null if absent.
HMENU LoadLocalizedMenu(UINT id);

// A string of the own module in the language chosen now, not cached: copied into `text` of
// `units` units, cut to fit, always terminated. False, with `text` empty, if absent.
bool CopyLocalizedString(UINT id, wchar_t* text, UINT units);

// A string of the own module, cached for the life of the process (the caller never frees
// it). A string keeps the language in which it was first loaded. Null if absent.
const wchar_t* LoadLocalizedString(UINT id);

#endif
