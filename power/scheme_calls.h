// The power-scheme calls the boost makes, through the POWRPROF table: the active scheme, whether
// a scheme exists, and the minimum processor states of a scheme (AC and DC, for the processors of
// efficiency class 0 and for the fast cores of a hybrid processor, class 1), and Windows 11's
// power mode of each power source. Only power/ uses it.
#ifndef VELTRANA_SCHEME_CALLS_H
#define VELTRANA_SCHEME_CALLS_H

#include <windows.h>

extern const GUID kHighPerformanceScheme;

bool SameScheme(const GUID* a, const GUID* b);

// PowerGetActiveScheme; a success that hands out no scheme counts as a failure. The caller frees
// the scheme with LocalFree.
DWORD GetActiveScheme(GUID** scheme);

// Whether the system has the scheme, by listing the schemes (a read of a missing scheme fails
// with a code that Windows does not document): ERROR_SUCCESS with *present set, or the error of
// the listing.
DWORD FindScheme(const GUID* scheme, bool* present);

// The minimum processor states, by their place in the undo record.
enum MinimumState { kMinimumAc, kMinimumDc, kMinimumAcClass1, kMinimumDcClass1, kMinimumStates };
DWORD ReadMinimumState(const GUID* scheme, int which, DWORD* value);
DWORD WriteMinimumState(const GUID* scheme, int which, DWORD value);
// Whether the minimum state is that of a power source: AC (mains) or DC (battery).
bool OnMains(int which);

// The user's power mode (Settings' Best power efficiency, Balanced, Best performance) of each
// power source, where Windows has the functions (Windows 11); elsewhere none are called.
enum PowerSource { kSourceAc, kSourceDc, kPowerSources };
extern const GUID kBestPerformanceMode;
bool PowerModesAvailable();
DWORD GetPowerMode(int source, GUID* mode);
DWORD SetPowerMode(int source, const GUID* mode);

#endif
