#include "menu_seams.h"

#include <shlwapi.h>

#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"

BOOLEAN g_userMayWriteSchemes = TRUE;
LANGID g_fakeUserLanguage;
LANGID g_fakeSystemLanguage;
std::function<BOOL(OPENFILENAMEW*)> g_openFileDialog;
int g_openFileDialogCalls;
std::function<BOOL(CHOOSECOLORW*)> g_colorDialog;
int g_colorDialogCalls;
std::vector<std::wstring> g_openedAddresses;
bool g_failPathCompaction;
std::vector<std::wstring> g_compactedPaths;
std::vector<HMENU> g_loadedMenus;
std::wstring g_failingValueRead;

namespace {

template <typename Function> Function Real(const wchar_t* module, const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryW(module), name)));
}

LANGID WINAPI FakeUserLanguage() {
    return g_fakeUserLanguage ? g_fakeUserLanguage
                              : Real<LANGID(WINAPI*)()>(L"kernel32", "GetUserDefaultLangID")();
}

LANGID WINAPI FakeSystemLanguage() {
    return g_fakeSystemLanguage ? g_fakeSystemLanguage
                                : Real<LANGID(WINAPI*)()>(L"kernel32", "GetSystemDefaultLangID")();
}

BOOL WINAPI FakeOpenFileDialog(OPENFILENAMEW* dialog) {
    ++g_openFileDialogCalls;
    if (g_openFileDialog)
        return g_openFileDialog(dialog);
    return Real<BOOL(WINAPI*)(OPENFILENAMEW*)>(L"comdlg32", "GetOpenFileNameW")(dialog);
}

BOOL WINAPI FakeColorDialog(CHOOSECOLORW* dialog) {
    ++g_colorDialogCalls;
    if (g_colorDialog)
        return g_colorDialog(dialog);
    return Real<BOOL(WINAPI*)(CHOOSECOLORW*)>(L"comdlg32", "ChooseColorW")(dialog);
}

HINSTANCE WINAPI FakeShellExecute(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
    g_openedAddresses.push_back(file);
    return reinterpret_cast<HINSTANCE>(33);
}

BOOL WINAPI FakeCompactPath(HDC dc, LPWSTR path, UINT width) {
    g_compactedPaths.push_back(path);
    if (g_failPathCompaction)
        return FALSE;
    return Real<BOOL(WINAPI*)(HDC, LPWSTR, UINT)>(L"shlwapi", "PathCompactPathW")(dc, path, width);
}

HMENU WINAPI FakeLoadMenuIndirect(const MENUTEMPLATEW* menuTemplate) {
    HMENU menu = Real<HMENU(WINAPI*)(const MENUTEMPLATEW*)>(L"user32", "LoadMenuIndirectW")(menuTemplate);
    g_loadedMenus.push_back(menu);
    return menu;
}

LSTATUS WINAPI FakeRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                   LPDWORD size) {
    if (data && name && g_failingValueRead == name)
        return ERROR_ACCESS_DENIED;
    return Real<LSTATUS(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD)>(
        L"advapi32", "RegQueryValueExW")(key, name, reserved, type, data, size);
}

} // namespace

bool LoadStartupTrayMenu() {
    g_trayMenu = LoadTrayMenu();
    if (!g_trayMenu)
        return false;
    g_lastModeCommand = IDM_AUTOMATIC;
    CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
    RefreshTrayMenu();
    return true;
}

void ClearWatchList() {
    for (UINT slot = 0; slot < kWatchListSlots; ++slot) {
        HeapFree(GetProcessHeap(), 0, g_watchList[slot].path);
        g_watchList[slot] = {};
    }
}

void ResetMenuSeams() {
    g_userMayWriteSchemes = TRUE;
    g_fakeUserLanguage = 0;
    g_fakeSystemLanguage = 0;
    g_openFileDialog = nullptr;
    g_openFileDialogCalls = 0;
    g_colorDialog = nullptr;
    g_colorDialogCalls = 0;
    g_openedAddresses.clear();
    g_failPathCompaction = false;
    g_compactedPaths.clear();
    g_loadedMenus.clear();
    g_failingValueRead.clear();
    UseRecordingPowerManager();
}

extern "C" {
BOOLEAN WINAPI CanUserWritePwrScheme(void) {
    return g_userMayWriteSchemes;
}
void* __imp_GetUserDefaultLangID = reinterpret_cast<void*>(&FakeUserLanguage);
void* __imp_GetSystemDefaultLangID = reinterpret_cast<void*>(&FakeSystemLanguage);
void* __imp_GetOpenFileNameW = reinterpret_cast<void*>(&FakeOpenFileDialog);
void* __imp_ChooseColorW = reinterpret_cast<void*>(&FakeColorDialog);
void* __imp_ShellExecuteW = reinterpret_cast<void*>(&FakeShellExecute);
void* __imp_PathCompactPathW = reinterpret_cast<void*>(&FakeCompactPath);
void* __imp_LoadMenuIndirectW = reinterpret_cast<void*>(&FakeLoadMenuIndirect);
void* __imp_RegQueryValueExW = reinterpret_cast<void*>(&FakeRegQueryValueEx);
}
