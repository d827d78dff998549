// Stand-ins for the parts of Windows the menu tests steer: whether the user may write power
// schemes, the default languages, the open-file and colour dialogs, the shell, path
// compaction, menu creation and registry reads. ResetMenuSeams also installs the recording
// power manager.
#ifndef VELTRANA_TEST_MENU_SEAMS_H
#define VELTRANA_TEST_MENU_SEAMS_H

#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <string>
#include <vector>

#include "recording_power.h"

extern BOOLEAN g_userMayWriteSchemes;
extern LANGID g_fakeUserLanguage;   // 0: the real one
extern LANGID g_fakeSystemLanguage; // 0: the real one

// The open-file dialog: when set, called instead of the real dialog.
extern std::function<BOOL(OPENFILENAMEW*)> g_openFileDialog;
extern int g_openFileDialogCalls;

// The colour dialog: when set, called instead of the real dialog.
extern std::function<BOOL(CHOOSECOLORW*)> g_colorDialog;
extern int g_colorDialogCalls;

// Addresses the program asked the shell to open (nothing is opened).
extern std::vector<std::wstring> g_openedAddresses;

extern bool g_failPathCompaction;
extern std::vector<std::wstring> g_compactedPaths; // what PathCompactPathW was given

extern std::vector<HMENU> g_loadedMenus; // every menu made from a template

extern std::wstring g_failingValueRead; // a value whose data read (not its size query) fails

// The tray menu as start-up leaves it: loaded, Automatic checked, last mode Automatic,
// refreshed. False if the menu cannot be loaded.
bool LoadStartupTrayMenu();

// Frees every watch-list slot, as a fresh start has them.
void ClearWatchList();

// Resets every seam to its default.
void ResetMenuSeams();

#endif
