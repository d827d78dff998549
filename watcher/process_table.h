// The watcher's process table, for the watcher itself and its tests: one entry per process
// seen, with an open handle that tells when it ends.
#ifndef VELTRANA_PROCESS_TABLE_H
#define VELTRANA_PROCESS_TABLE_H

#include <windows.h>

struct TrackedProcess {
    DWORD id;      // 0 marks a free entry
    HANDLE handle; // SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
    wchar_t* path; // image path, its own process-heap block
};

// One process-heap block of entries; its capacity is HeapSize / sizeof(TrackedProcess).
extern TrackedProcess* g_processTable;

#endif
