#include "menu/commands.h"

#include <commdlg.h>
#include <shellapi.h>

#include "common/flags.h"
#include "icon/cell_layout.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "power/boost.h"
#include "resources/localized.h"
#include "settings/settings.h"

static const wchar_t kHomePage[] = L"http://www.korvath.example/";
static const wchar_t kProductPage[] = L"http://www.korvath.example/korvath/www/index.php?id=13004";

DWORD ColorWordToColorref(DWORD color) {
    return (color & 0xFF00) | (color & 0xFF) << 16 | (color >> 16 & 0xFF);
}

DWORD ColorrefToColorWord(COLORREF color) {
    return (color & 0xFF00) | (color & 0xFF) << 16 | (color >> 16 & 0xFF);
}

static void ChooseMode(UINT id) {
    // A mode chosen while it is not the default item becomes the one the double-click
    // returns to from Full Throttle; the double-click itself always issues the default.
    if (id != GetMenuDefaultItem(g_trayMenu, FALSE, 0))
        g_lastModeCommand = id;
    CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, id, MF_BYCOMMAND);
    if (id == IDM_FULL_THROTTLE)
        EngageBoost();
    else if (id == IDM_DISABLED || g_engaged)
        ReleaseBoost();
    RefreshTrayMenu();
    g_reevaluate = 1;
}

static void ChooseMethod(UINT id) {
    // Undone by the method that applied it, before the method changes.
    ReleaseBoost();
    g_boostMethod = id == IDM_METHOD_SCHEME ? kBoostMethodScheme : kBoostMethodMinimumState;
    StoreSetting(&g_boostMethod);
    if (IsMenuItemChecked(IDM_FULL_THROTTLE))
        EngageBoost();
    RefreshTrayMenu();
    g_reevaluate = 1;
}

static void ToggleBorders() {
    g_borders = g_borders ? 0 : 1;
    StoreSetting(&g_borders);
    ComputeCellLayout();
    RefreshTrayMenu();
}

static void PickColor(HWND window, UINT id) {
    // The open dialog's own message loop keeps the tray menu usable; a second colour dialog
    // opened from it would overwrite the custom colours with whichever closed last.
    static BYTE s_dialogOpen;
    if (s_dialogOpen)
        return;
    DWORD* color;
    DWORD alpha;
    switch (id) {
    case IDM_COLOR_BORDER:
        color = &g_colorBorder;
        alpha = 0x80000000;
        break;
    case IDM_COLOR_FREQUENCY:
        color = &g_colorFrequency;
        alpha = 0;
        break;
    default:
        color = &g_colorActive;
        alpha = 0xFF000000;
        break;
    }
    COLORREF custom[16] = {};
    ReadCustomColors(custom);
    CHOOSECOLORW dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window;
    dialog.rgbResult = ColorWordToColorref(*color);
    dialog.lpCustColors = custom;
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    s_dialogOpen = 1;
    g_placeNextDialog = 1;
    BOOL chosen = ChooseColorW(&dialog);
    s_dialogOpen = 0;
    if (!chosen)
        return; // cancelled: not even edited custom colours are kept
    g_forceRedraw = 1;
    *color = ColorrefToColorWord(dialog.rgbResult) | alpha;
    StoreSetting(color);
    StoreCustomColors(custom);
}

static void ChooseLanguage(UINT id) {
    g_languageSetting = id == IDM_LANG_CZECH ? MAKELANGID(LANG_CZECH, SUBLANG_DEFAULT)
                                             : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    StoreSetting(&g_languageSetting);
    g_preferredLanguage = LOWORD(g_languageSetting);
    // The operating mode lives only in the menu's check marks; carry it over.
    UINT mode = 0;
    if (IsMenuItemChecked(IDM_FULL_THROTTLE))
        mode = IDM_FULL_THROTTLE;
    if (IsMenuItemChecked(IDM_AUTOMATIC))
        mode = IDM_AUTOMATIC;
    if (IsMenuItemChecked(IDM_DISABLED))
        mode = IDM_DISABLED;
    HMENU menu = LoadTrayMenu();
    if (!menu)
        return; // the old menu stays, in the old language
    DestroyMenu(g_trayMenu);
    g_trayMenu = menu;
    LoadWatchList();
    CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, mode, MF_BYCOMMAND);
    RefreshTrayMenu();
}

LRESULT HandleMenuCommand(HWND window, WPARAM id) {
    // The watch-list commands of all 2048 slots (they ask for a re-match themselves); a
    // non-zero high word never matches.
    if (id - IDM_PROGRAM_BASE <= 0x8000) {
        HandleWatchListCommand(static_cast<UINT>(id));
        return 0;
    }
    switch (id) {
    case IDM_FULL_THROTTLE:
    case IDM_AUTOMATIC:
    case IDM_DISABLED:
        ChooseMode(static_cast<UINT>(id));
        break;
    case IDM_ADD_PROGRAM:
        AddWatchedProgram(window);
        break;
    case IDM_METHOD_SCHEME:
    case IDM_METHOD_MIN_FREQUENCY:
        ChooseMethod(static_cast<UINT>(id));
        break;
    case IDM_BORDERS:
        ToggleBorders();
        break;
    case IDM_BOOST_ON_BATTERY:
        g_boostOnBattery = !g_boostOnBattery;
        StoreSetting(&g_boostOnBattery);
        FollowBoostOnBattery();
        RefreshTrayMenu();
        break;
    case IDM_START_WITH_WINDOWS:
        // Only ever the user's choice.
        SetStartWithWindows(!StartsWithWindows());
        FollowStartWithWindows();
        RefreshTrayMenu();
        break;
    case IDM_COLOR_BORDER:
    case IDM_COLOR_FREQUENCY:
    case IDM_COLOR_ACTIVE:
        PickColor(window, static_cast<UINT>(id));
        break;
    case IDM_LANG_ENGLISH:
    case IDM_LANG_CZECH:
        ChooseLanguage(static_cast<UINT>(id));
        break;
    case IDM_HOMEPAGE:
        ShellExecuteW(window, NULL, kHomePage, NULL, NULL, SW_SHOWDEFAULT);
        break;
    case IDM_PRODUCT_PAGE:
        ShellExecuteW(window, NULL, kProductPage, NULL, NULL, SW_SHOWDEFAULT);
        break;
    case IDM_EXIT:
        SendMessageW(window, WM_CLOSE, 0, 0);
        break;
    }
    return 0;
}
