// The tray menu: the one popup the tray icon opens, and keeping its default item, grey items
// and check marks in line with the program's state.
#ifndef VELTRANA_TRAY_MENU_H
#define VELTRANA_TRAY_MENU_H

#include <windows.h>

// Submenu 0 of menu resource 1; replaced by the language commands.
extern HMENU g_trayMenu;
// 17, 18 or 19: the mode command the double-click returns to from Full Throttle.
extern UINT g_lastModeCommand;

// Loads menu resource 1 in the current language and returns its first popup, or null.
HMENU LoadTrayMenu();

// Takes the first popup out of a loaded menu and destroys the rest. Null for a null menu.
HMENU DetachFirstPopup(HMENU outer);

// Whether an item of the tray menu (searched through its submenus) carries a check mark.
bool IsMenuItemChecked(UINT id);

void RefreshTrayMenu();

#endif
