#include "watcher/process_scan.h"

#include <psapi.h>

#include "common/flags.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "power/boost.h"
#include "watcher/process_table.h"

TrackedProcess* g_processTable;

enum { kInitialEntries = 128, kImageNameUnits = 32768, kMaxEnumerationBytes = 1 << 26 };

static wchar_t s_imageName[kImageNameUnits];
static UINT s_runningSlot = kWatchListSlots; // of the last re-match; none = kWatchListSlots

bool CreateProcessTable() {
    g_processTable = static_cast<TrackedProcess*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kInitialEntries * sizeof(TrackedProcess)));
    if (!g_processTable)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY); // HeapAlloc says nothing
    return g_processTable != NULL;
}

// No count is stored: the block's own size tells the capacity.
static SIZE_T TableCapacity() {
    SIZE_T bytes = HeapSize(GetProcessHeap(), 0, g_processTable);
    return bytes == static_cast<SIZE_T>(-1) ? 0 : bytes / sizeof(TrackedProcess);
}

DWORD* EnumerateProcessIds(DWORD* count) {
    // Starts from the room the last list needed: a machine with more than 256 processes
    // would otherwise enumerate twice on every pass.
    static DWORD s_lastBytes = 256 * sizeof(DWORD);
    HANDLE heap = GetProcessHeap();
    for (DWORD bytes = s_lastBytes; bytes <= kMaxEnumerationBytes; bytes *= 2) {
        DWORD* ids = static_cast<DWORD*>(HeapAlloc(heap, 0, bytes));
        if (!ids)
            return NULL;
        DWORD returned = 0;
        if (!EnumProcesses(ids, bytes, &returned)) {
            HeapFree(heap, 0, ids);
            return NULL;
        }
        if (returned < bytes) {
            s_lastBytes = bytes;
            ids[returned / sizeof(DWORD)] = 0;
            if (count)
                *count = returned / sizeof(DWORD);
            return ids;
        }
        HeapFree(heap, 0, ids); // a full block may have been cut short
    }
    return NULL;
}

wchar_t* DuplicateString(const wchar_t* text) {
    if (!text)
        return NULL;
    SIZE_T bytes = (lstrlenW(text) + 1) * sizeof(wchar_t);
    wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (copy)
        CopyMemory(copy, text, bytes);
    return copy;
}

static void DropEntry(TrackedProcess* entry) {
    CloseHandle(entry->handle);
    HeapFree(GetProcessHeap(), 0, entry->path);
    entry->id = 0;
    entry->handle = NULL;
    entry->path = NULL;
}

// Drops the processes that have ended: one non-blocking wait per 64 tracked handles (the
// most one wait takes). A wait names only the first ended handle of its batch, so the walk
// resumes right after it and collects the rest of the batch again.
static bool DropEndedProcesses(SIZE_T capacity) {
    bool changed = false;
    SIZE_T i = 0;
    for (;;) {
        HANDLE handles[MAXIMUM_WAIT_OBJECTS];
        SIZE_T where[MAXIMUM_WAIT_OBJECTS];
        DWORD count = 0;
        for (; i < capacity && count < MAXIMUM_WAIT_OBJECTS; ++i) {
            if (g_processTable[i].id) {
                handles[count] = g_processTable[i].handle;
                where[count++] = i;
            }
        }
        if (count == 0)
            return changed;
        DWORD result = WaitForMultipleObjects(count, handles, FALSE, 0);
        if (result - WAIT_OBJECT_0 < count) {
            SIZE_T ended = where[result - WAIT_OBJECT_0];
            DropEntry(&g_processTable[ended]);
            changed = true;
            i = ended + 1;
        }
    }
}

static bool IsTracked(DWORD id, SIZE_T capacity) {
    for (SIZE_T i = 0; i < capacity; ++i)
        if (g_processTable[i].id == id)
            return true;
    return false;
}

// Opens and names only processes not seen before; their handles then tell when they end.
static bool TrackNewProcesses(SIZE_T* capacity) {
    DWORD count = 0;
    DWORD* ids = EnumerateProcessIds(&count);
    if (!ids)
        return false;
    bool changed = false;
    // The first id is the system's idle process.
    for (DWORD k = 1; k < count && ids[k]; ++k) {
        DWORD id = ids[k];
        if (IsTracked(id, *capacity))
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        if (!process)
            continue; // tried again next pass
        DWORD size = kImageNameUnits;
        if (!QueryFullProcessImageNameW(process, 0, s_imageName, &size)) {
            CloseHandle(process);
            continue;
        }
        SIZE_T slot = 0;
        while (slot < *capacity && g_processTable[slot].id)
            ++slot;
        if (slot == *capacity) {
            void* grown = HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, g_processTable,
                                      2 * *capacity * sizeof(TrackedProcess));
            if (!grown) {
                CloseHandle(process);
                break;
            }
            g_processTable = static_cast<TrackedProcess*>(grown);
            *capacity *= 2;
        }
        wchar_t* path = DuplicateString(s_imageName);
        if (!path) {
            CloseHandle(process);
            break;
        }
        g_processTable[slot].id = id;
        g_processTable[slot].handle = process;
        g_processTable[slot].path = path;
        changed = true;
    }
    HeapFree(GetProcessHeap(), 0, ids);
    return changed;
}

static bool IsRunning(const wchar_t* path, SIZE_T capacity) {
    for (SIZE_T i = 0; i < capacity; ++i)
        if (g_processTable[i].id && SameProgramPath(g_processTable[i].path, path))
            return true;
    return false;
}

const wchar_t* RunningWatchedProgram() {
    // A slot emptied since asks for a re-match, which the next pass makes.
    return s_runningSlot < kWatchListSlots ? g_watchList[s_runningSlot].path : NULL;
}

void ScanProcesses() {
    if (!IsMenuItemChecked(IDM_AUTOMATIC))
        return; // the other modes leave the table and the check marks as they are
    SIZE_T capacity = TableCapacity();
    // With nothing watched, no process can matter: no enumeration, the pass's dearest part.
    // The decision below still runs, so removing the last entry releases its boost.
    bool changed = false;
    if (!WatchListEmpty()) {
        changed = DropEndedProcesses(capacity);
        changed |= TrackNewProcesses(&capacity);
    }
    if (!changed && !g_reevaluate)
        return;
    g_reevaluate = 0;

    // From the highest slot down, so each entry's position (the first position + the occupied
    // slots above it) is counted on the way.
    bool anyRunning = false;
    UINT position = kWatchListFirstPosition;
    s_runningSlot = kWatchListSlots;
    for (UINT slot = kWatchListSlots; slot-- > 0;) {
        const wchar_t* path = g_watchList[slot].path;
        if (!path)
            continue;
        bool running = g_watchList[slot].enabled && IsRunning(path, capacity);
        if (running && !anyRunning)
            s_runningSlot = slot;
        anyRunning |= running;
        CheckMenuItem(g_trayMenu, position++, MF_BYPOSITION | (running ? MF_CHECKED : MF_UNCHECKED));
    }
    if (!anyRunning)
        ReleaseBoost();
    else if (!g_engaged)
        EngageBoost();
}
