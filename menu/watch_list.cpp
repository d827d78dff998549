#include "menu/watch_list.h"

#include <commdlg.h>
#include <shlwapi.h>

#include "common/flags.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "resources/localized.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

WatchListSlot g_watchList[kWatchListSlots];

enum { kCaptionUnits = 260, kFileUnits = 32768, kFilterUnits = 2048 };

static BYTE s_addInProgress; // the open-file dialog of an add is showing
// Slots of stored programs whose entries could not be made at the last load: free in the list
// and the menu, but no add takes them, since it would store over the user's program.
static BYTE s_storedWithoutEntry[kWatchListSlots];

static void FreeSlot(UINT slot) {
    if (g_watchList[slot].path)
        HeapFree(GetProcessHeap(), 0, g_watchList[slot].path);
    g_watchList[slot].path = NULL;
    g_watchList[slot].enabled = 0;
}

bool WatchListEmpty() {
    for (UINT slot = 0; slot < kWatchListSlots; ++slot)
        if (g_watchList[slot].path)
            return false;
    return true;
}

bool SameProgramPath(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

static bool AlreadyWatched(const wchar_t* path) {
    for (UINT slot = 0; slot < kWatchListSlots; ++slot)
        if (g_watchList[slot].path && SameProgramPath(g_watchList[slot].path, path))
            return true;
    return false;
}

UINT WatchListEntryPosition(UINT slot) {
    UINT above = kWatchListFirstPosition;
    for (UINT s = slot + 1; s < kWatchListSlots; ++s)
        if (g_watchList[s].path)
            ++above;
    return above;
}

void LoadWatchList() {
    // Emptied first, so that after a language change each entry goes in at the same place
    // as at start-up.
    for (UINT slot = 0; slot < kWatchListSlots; ++slot) {
        FreeSlot(slot);
        s_storedWithoutEntry[slot] = 0;
    }
    HKEY key;
    if (!OpenStoredPrograms(&key))
        return;
    for (UINT slot = 0; slot < kWatchListSlots; ++slot) {
        bool enabled = false;
        g_watchList[slot].path = ReadStoredProgram(key, slot, &enabled);
        if (!g_watchList[slot].path)
            continue;
        g_watchList[slot].enabled = enabled;
        if (!InsertWatchListEntry(slot)) {
            FreeSlot(slot);
            s_storedWithoutEntry[slot] = 1;
        }
    }
    CloseStoredPrograms(key);
}

static void SetAllowDisableStates(HMENU menu, UINT slot) {
    UINT base = IDM_PROGRAM_BASE + 16 * slot;
    bool enabled = g_watchList[slot].enabled != 0;
    EnableMenuItem(menu, base + IDM_PROGRAM_ALLOW, MF_BYCOMMAND | (enabled ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu, base + IDM_PROGRAM_BLOCK, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// The entry's caption: the path shortened to fit twice the width of a minimised window.
static void BuildCaption(wchar_t* caption, const wchar_t* path) {
    size_t length = lstrlenW(path);
    if (length < kCaptionUnits) {
        CopyMemory(caption, path, (length + 1) * sizeof(wchar_t));
    } else {
        // Both ends of an over-long path: the drive and the file name matter most.
        CopyMemory(caption, path, 130 * sizeof(wchar_t));
        CopyMemory(caption + 130, path + length - 129, 129 * sizeof(wchar_t));
        caption[259] = 0;
    }
    if (PathCompactPathW(NULL, caption, 2 * GetSystemMetrics(SM_CXMINIMIZED)))
        return;
    // The file name with the separator before it, or the whole path without one.
    const wchar_t* tail = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/')
            tail = p;
    lstrcpynW(caption, tail, kCaptionUnits);
}

bool InsertWatchListEntry(UINT slot) {
    const wchar_t* path = g_watchList[slot].path;
    if (!path)
        return false;
    HMENU submenu = DetachFirstPopup(LoadLocalizedMenu(IDR_PROGRAM_MENU));
    if (!submenu)
        return false;

    // Position 0 is the grey line with the full path.
    MENUITEMINFOW item;
    ZeroMemory(&item, sizeof(item));
    item.cbSize = sizeof(item);
    item.fMask = MIIM_TYPE;
    item.fType = MFT_STRING;
    item.dwTypeData = const_cast<wchar_t*>(path);
    SetMenuItemInfoW(submenu, 0, TRUE, &item);
    // Position p (after the separator) gets command k = p - 1 of the slot.
    int count = GetMenuItemCount(submenu);
    for (int p = 2; p <= 16 && p < count; ++p) {
        item.fMask = MIIM_ID;
        item.wID = IDM_PROGRAM_BASE + 16 * slot + (p - 1);
        SetMenuItemInfoW(submenu, p, TRUE, &item);
    }
    SetAllowDisableStates(submenu, slot);

    wchar_t caption[kCaptionUnits];
    BuildCaption(caption, path);
    if (!InsertMenuW(g_trayMenu, WatchListEntryPosition(slot), MF_BYPOSITION | MF_POPUP,
                     reinterpret_cast<UINT_PTR>(submenu), caption)) {
        DestroyMenu(submenu);
        return false;
    }
    RemoveMenu(g_trayMenu, IDM_LIST_EMPTY, MF_BYCOMMAND);
    return true;
}

// "Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0\0"
static void BuildFilter(wchar_t* filter) {
    const wchar_t* parts[4] = {LoadLocalizedString(IDS_FILTER_PROGRAMS), L"*.exe",
                               LoadLocalizedString(IDS_FILTER_ALL), L"*.*"};
    size_t at = 0;
    for (const wchar_t* part : parts) {
        if (!part)
            part = L"";
        size_t length = lstrlenW(part);
        if (at + length + 2 > kFilterUnits)
            break;
        CopyMemory(filter + at, part, (length + 1) * sizeof(wchar_t));
        at += length + 1;
    }
    filter[at] = 0;
}

void AddWatchedProgram(HWND window) {
    // The dialog's own message loop keeps the tray icon alive, so the menu can ask for a
    // second add meanwhile; it would pick the same free slot.
    if (s_addInProgress)
        return;
    UINT slot = 0;
    while (slot < kWatchListSlots && (g_watchList[slot].path || s_storedWithoutEntry[slot]))
        ++slot;
    if (slot == kWatchListSlots)
        return;

    HANDLE heap = GetProcessHeap();
    wchar_t* filter = static_cast<wchar_t*>(HeapAlloc(heap, 0, kFilterUnits * sizeof(wchar_t)));
    wchar_t* file = static_cast<wchar_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, kFileUnits * sizeof(wchar_t)));
    if (!filter || !file) {
        HeapFree(heap, 0, filter);
        HeapFree(heap, 0, file);
        return;
    }
    BuildFilter(filter);
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window;
    dialog.hInstance = GetModuleHandleW(NULL);
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kFileUnits - 1;
    dialog.lpstrTitle = LoadLocalizedString(IDS_ADD_TITLE);
    dialog.Flags =
        OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING | OFN_DONTADDTORECENT;
    dialog.lpstrDefExt = L"exe";

    s_addInProgress = 1;
    g_placeNextDialog = 1;
    BOOL chosen = GetOpenFileNameW(&dialog);
    s_addInProgress = 0;
    // A second entry for the same program would only double its menu line.
    if (chosen && !AlreadyWatched(file)) {
        DWORD size = static_cast<DWORD>((lstrlenW(file) + 1) * sizeof(wchar_t));
        wchar_t* path = static_cast<wchar_t*>(HeapAlloc(heap, 0, size));
        if (path) {
            CopyMemory(path, file, size);
            g_watchList[slot].path = path;
            g_watchList[slot].enabled = 1;
            if (InsertWatchListEntry(slot))
                g_reevaluate = 1;
            else
                FreeSlot(slot);
        }
        // Stored only with its entry: a slot left free is taken by the next add, which would
        // overwrite the stored program.
        if (g_watchList[slot].path)
            StoreProgram(slot, file);
    }
    HeapFree(heap, 0, filter);
    HeapFree(heap, 0, file);
}

void HandleWatchListCommand(UINT id) {
    UINT slot = (id - IDM_PROGRAM_BASE) >> 4;
    UINT k = id & 15;
    g_reevaluate = 1;
    // Only the entries of occupied slots issue these commands; anything else (a stale or
    // forged id, or the one id of the range past the last slot) must not touch the menu,
    // where a position computed for a free slot would name an unrelated item.
    if (slot >= kWatchListSlots || !g_watchList[slot].path)
        return;
    if (k == IDM_PROGRAM_ALLOW || k == IDM_PROGRAM_BLOCK) {
        bool enabled = k == IDM_PROGRAM_ALLOW;
        g_watchList[slot].enabled = enabled;
        StoreProgramEnabled(slot, enabled);
        SetAllowDisableStates(g_trayMenu, slot);
    } else if (k == IDM_PROGRAM_REMOVE) {
        DeleteStoredProgram(slot);
        DeleteMenu(g_trayMenu, WatchListEntryPosition(slot), MF_BYPOSITION);
        FreeSlot(slot);
    }
}
