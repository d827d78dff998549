#include "menu/tray_menu.h"

#include "menu/menu_ids.h"
#include "power/boost.h"
#include "power/power_functions.h"
#include "resources/localized.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

HMENU g_trayMenu;
UINT g_lastModeCommand = IDM_AUTOMATIC;

HMENU DetachFirstPopup(HMENU outer) {
    if (!outer)
        return NULL;
    // Only the popup is kept. Taking it out of the outer menu first lets the outer menu be
    // destroyed without destroying the popup, so no menu handle is left behind.
    HMENU popup = GetSubMenu(outer, 0);
    if (popup)
        RemoveMenu(outer, 0, MF_BYPOSITION);
    DestroyMenu(outer);
    return popup;
}

HMENU LoadTrayMenu() {
    return DetachFirstPopup(LoadLocalizedMenu(IDR_TRAY_MENU));
}

bool IsMenuItemChecked(UINT id) {
    UINT state = GetMenuState(g_trayMenu, id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED);
}

void RefreshTrayMenu() {
    bool available = g_power.CanUserWritePwrScheme && g_power.CanUserWritePwrScheme() &&
                     g_power.PowerSetActiveScheme != NULL;
    if (available) {
        // The default item is what a double-click on the icon does.
        if (IsMenuItemChecked(IDM_FULL_THROTTLE))
            SetMenuDefaultItem(g_trayMenu, g_lastModeCommand, FALSE);
        else if (IsMenuItemChecked(IDM_AUTOMATIC))
            SetMenuDefaultItem(g_trayMenu, g_engaged ? IDM_DISABLED : IDM_FULL_THROTTLE, FALSE);
        else if (IsMenuItemChecked(IDM_DISABLED))
            SetMenuDefaultItem(g_trayMenu, IDM_FULL_THROTTLE, FALSE);
        EnableMenuItem(g_trayMenu, IDM_FULL_THROTTLE, MF_BYCOMMAND | MF_ENABLED);
        EnableMenuItem(g_trayMenu, IDM_AUTOMATIC, MF_BYCOMMAND | MF_ENABLED);
    } else {
        // A user who may not change power schemes gets Disabled and nothing to double-click.
        SetMenuDefaultItem(g_trayMenu, static_cast<UINT>(-1), FALSE);
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_DISABLED, MF_BYCOMMAND);
        EnableMenuItem(g_trayMenu, IDM_FULL_THROTTLE, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
        EnableMenuItem(g_trayMenu, IDM_AUTOMATIC, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
    }
    LANGID shown = ChooseResourceLanguage(GetModuleHandleW(NULL), RT_MENU, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    CheckMenuRadioItem(g_trayMenu, IDM_LANG_ENGLISH, IDM_LANG_CZECH,
                       shown == MAKELANGID(LANG_CZECH, SUBLANG_DEFAULT) ? IDM_LANG_CZECH : IDM_LANG_ENGLISH,
                       MF_BYCOMMAND);
    // A method other than 0 or 1 names no item of the pair, leaving both unchecked.
    CheckMenuRadioItem(g_trayMenu, IDM_METHOD_SCHEME, IDM_METHOD_MIN_FREQUENCY,
                       IDM_METHOD_SCHEME + g_boostMethod, MF_BYCOMMAND);
    CheckMenuItem(g_trayMenu, IDM_BORDERS, MF_BYCOMMAND | (g_borders ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(g_trayMenu, IDM_BOOST_ON_BATTERY,
                  MF_BYCOMMAND | (g_boostOnBattery ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(g_trayMenu, IDM_START_WITH_WINDOWS,
                  MF_BYCOMMAND | (StartsWithWindows() ? MF_CHECKED : MF_UNCHECKED));
}
