// Automatic mode: tracking running processes and following the watch list with the boost.
#ifndef VELTRANA_PROCESS_SCAN_H
#define VELTRANA_PROCESS_SCAN_H

#include <windows.h>

// Allocates the zero-filled table for 128 entries. False, with ERROR_NOT_ENOUGH_MEMORY as the
// last error, when the heap refuses.
bool CreateProcessTable();

void ScanProcesses();

// The path of an enabled watched program that the last re-match found running (the entry highest
// in the menu), or null; for the tooltip's "boosted for".
const wchar_t* RunningWatchedProgram();

// Zero-terminated list of running process ids on the process heap, or null. Caller frees.
// The first id may be the idle process's 0, so the count of ids is given too when asked.
DWORD* EnumerateProcessIds(DWORD* count = NULL);
// Process-heap copy of a zero-terminated string, or null (also for a null argument).
wchar_t* DuplicateString(const wchar_t* text);

#endif
