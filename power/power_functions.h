// The six power-scheme functions of POWRPROF, looked up at run time because not every
// supported Windows has them. The boost calls them only through this table.
#ifndef VELTRANA_POWER_FUNCTIONS_H
#define VELTRANA_POWER_FUNCTIONS_H

#include <windows.h>

typedef DWORD(WINAPI* PowerGetActiveSchemeFn)(HKEY root, GUID** scheme);
typedef DWORD(WINAPI* PowerSetActiveSchemeFn)(HKEY root, const GUID* scheme);
typedef DWORD(WINAPI* PowerWriteValueIndexFn)(HKEY root, const GUID* scheme, const GUID* subgroup,
                                              const GUID* setting, DWORD value);
typedef DWORD(WINAPI* PowerReadValueIndexFn)(HKEY root, const GUID* scheme, const GUID* subgroup,
                                             const GUID* setting, DWORD* value);

struct PowerFunctions {
    PowerGetActiveSchemeFn PowerGetActiveScheme;
    PowerSetActiveSchemeFn PowerSetActiveScheme;
    PowerWriteValueIndexFn PowerWriteACValueIndex;
    PowerWriteValueIndexFn PowerWriteDCValueIndex;
    PowerReadValueIndexFn PowerReadACValueIndex;
    PowerReadValueIndexFn PowerReadDCValueIndex;
};

extern PowerFunctions g_power;

// Fills the table from the loaded POWRPROF module. On failure returns false with the
// system's last error set (ERROR_PROC_NOT_FOUND for a missing function).
bool LookupPowerFunctions();

#endif
