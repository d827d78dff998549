// Automatic mode: tracking running processes and following the watch list with the boost.
#ifndef VELTRANA_PROCESS_SCAN_H
#define VELTRANA_PROCESS_SCAN_H

#include <windows.h>

struct TrackedProcess {
    DWORD id;      // 0 marks a free entry
    HANDLE handle; // SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
    wchar_t* path; // image path, its own process-heap block
};

// One process-heap block of entries; its capacity is HeapSize / sizeof(TrackedProcess).
extern TrackedProcess* g_processTable;
// Set by the mode, method and watch-list commands: the next pass re-matches the list.
extern BYTE g_reevaluate;

// Allocates the zero-filled table for 128 entries. False when the heap refuses.
bool CreateProcessTable();

void ScanProcesses();

// Zero-terminated list of running process ids on the process heap, or null. Caller frees.
// The first id may be the idle process's 0, so the count of ids is given too when asked.
DWORD* EnumerateProcessIds(DWORD* count = NULL);
// Process-heap copy of a zero-terminated string, or null (also for a null argument).
wchar_t* DuplicateString(const wchar_t* text);

#endif
