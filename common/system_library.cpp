#include "common/system_library.h"

// Declared by the headers only for builds that require Windows 8; the flags exist from
// Windows 7's update KB2533623 on, which adds AddDllDirectory with them.
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD flags);
const DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

static bool SystemSearchAvailable() {
    FARPROC probe;
    return FindFunction(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory", &probe);
}

void RestrictDllSearchToSystem() {
    SetDefaultDllDirectoriesFn setDirectories;
    if (FindFunction(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories", &setDirectories))
        setDirectories(kSearchSystem32);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (SystemSearchAvailable())
        return LoadLibraryExW(name, NULL, kSearchSystem32);
    // Older systems: the full path, whose dependencies are then looked for beside it first.
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    return LoadLibraryExW(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}
