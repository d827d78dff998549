#include "menu/watch_list.h"

#include <commdlg.h>
#include <shlwapi.h>

#include "app/placement_hook.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "resources/localized.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "watcher/process_scan.h"

WatchListSlot g_watchList[kWatchListSlots];

enum { kCaptionUnits = 260, kFileUnits = 32768, kFilterUnits = 2048 };

static BYTE s_addInProgress; // the open-file dialog of an add is showing

static void FormatPathName(wchar_t* name, UINT slot) {
    wsprintfW(name, L"program#%u", slot);
}
static void FormatEnabledName(wchar_t* name, UINT slot) {
    wsprintfW(name, L"program#%u::enabled", slot);
}

static void FreeSlot(UINT slot) {
    if (g_watchList[slot].path)
        HeapFree(GetProcessHeap(), 0, g_watchList[slot].path);
    g_watchList[slot].path = NULL;
    g_watchList[slot].enabled = 0;
}

UINT WatchListEntryPosition(UINT slot) {
    UINT above = 0;
    for (UINT s = slot + 1; s < kWatchListSlots; ++s)
        if (g_watchList[s].path)
            ++above;
    return 4 + above;
}

// Reads one "program#N" path. The block is zero-filled and one unit longer than the data, so
// a value written without its terminating NUL still ends in one. A failed read leaves the
// slot free rather than holding a partial path.
static wchar_t* ReadProgramPath(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, NULL, &type, NULL, &size) != ERROR_SUCCESS || type != REG_SZ)
        return NULL;
    wchar_t* path =
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + sizeof(wchar_t)));
    if (!path)
        return NULL;
    DWORD read = size;
    if (RegQueryValueExW(key, name, NULL, NULL, reinterpret_cast<BYTE*>(path), &read) != ERROR_SUCCESS) {
        HeapFree(GetProcessHeap(), 0, path);
        return NULL;
    }
    return path;
}

void LoadWatchList() {
    // Emptied first, so that after a language change each entry goes in at the same place
    // as at start-up.
    for (UINT slot = 0; slot < kWatchListSlots; ++slot)
        FreeSlot(slot);
    HKEY key;
    if (!OpenSettingsKeyForRead(&key))
        return;
    wchar_t name[64];
    for (UINT slot = 0; slot < kWatchListSlots; ++slot) {
        FormatPathName(name, slot);
        wchar_t* path = ReadProgramPath(key, name);
        if (!path)
            continue;
        g_watchList[slot].path = path;
        // A missing value means disabled. Data too long for 4 bytes is not trusted either.
        DWORD enabled = 0, size = sizeof(enabled);
        FormatEnabledName(name, slot);
        if (RegQueryValueExW(key, name, NULL, NULL, reinterpret_cast<BYTE*>(&enabled), &size) !=
            ERROR_SUCCESS)
            enabled = 0;
        g_watchList[slot].enabled = enabled != 0;
        InsertWatchListEntry(slot);
    }
    RegCloseKey(key);
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

void InsertWatchListEntry(UINT slot) {
    const wchar_t* path = g_watchList[slot].path;
    if (!path)
        return;
    HMENU submenu = DetachFirstPopup(LoadLocalizedMenu(IDR_PROGRAM_MENU));
    if (!submenu)
        return;

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
        return;
    }
    RemoveMenu(g_trayMenu, IDM_LIST_EMPTY, MF_BYCOMMAND);
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
    while (slot < kWatchListSlots && g_watchList[slot].path)
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
    if (chosen) {
        DWORD size = static_cast<DWORD>((lstrlenW(file) + 1) * sizeof(wchar_t));
        wchar_t* path = static_cast<wchar_t*>(HeapAlloc(heap, 0, size));
        if (path) {
            CopyMemory(path, file, size);
            g_watchList[slot].path = path;
            g_watchList[slot].enabled = 1;
            InsertWatchListEntry(slot);
            g_reevaluate = 1;
        }
        // Written even when the copy failed: the program is then on the list from the next
        // start on.
        HKEY key;
        if (OpenSettingsKeyForWrite(&key)) {
            wchar_t name[64];
            DWORD one = 1;
            FormatPathName(name, slot);
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(file), size);
            FormatEnabledName(name, slot);
            RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
            RegCloseKey(key);
        }
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
    wchar_t name[64];
    HKEY key;
    if (k == IDM_PROGRAM_ALLOW || k == IDM_PROGRAM_BLOCK) {
        DWORD enabled = k == IDM_PROGRAM_ALLOW;
        g_watchList[slot].enabled = static_cast<BYTE>(enabled);
        if (OpenSettingsKeyForWrite(&key)) {
            FormatEnabledName(name, slot);
            RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enabled), sizeof(enabled));
            RegCloseKey(key);
        }
        SetAllowDisableStates(g_trayMenu, slot);
    } else if (k == IDM_PROGRAM_REMOVE) {
        if (OpenSettingsKeyForWrite(&key)) {
            FormatPathName(name, slot);
            RegDeleteValueW(key, name);
            FormatEnabledName(name, slot);
            RegDeleteValueW(key, name);
            RegCloseKey(key);
        }
        DeleteMenu(g_trayMenu, WatchListEntryPosition(slot), MF_BYPOSITION);
        FreeSlot(slot);
    }
}
