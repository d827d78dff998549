// The tray menu's commands: what each changes in memory, in the registry and in the menu.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/placement_hook.h"
#include "icon/cell_layout.h"
#include "menu/commands.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "menu_seams.h"
#include "power/boost.h"
#include "resources/localized.h"
#include "scratch_registry.h"
#include "settings/settings.h"
#include "watcher/process_scan.h"

namespace {

typedef std::vector<std::string> Switches;

class CommandsTest : public IsolatedRegistryTest {
  protected:
    void SetUp() override {
        IsolatedRegistryTest::SetUp();
        ResetMenuSeams();
        g_preferredLanguage = 0x0409;
        g_languageSetting = 0;
        g_boostMethod = 0;
        g_borders = 1;
        g_colorBorder = 0x80000000;
        g_colorFrequency = 0x008080FF;
        g_colorActive = 0xFFFFFFFF;
        ASSERT_TRUE(LoadStartupTrayMenu());
        g_reevaluate = 0;
        g_forceRedraw = 0;
    }
    void TearDown() override {
        ReleaseBoost();
        ClearWatchList();
        DestroyMenu(g_trayMenu);
        g_trayMenu = NULL;
        g_preferredLanguage = 0;
        IsolatedRegistryTest::TearDown();
    }
    static DWORD Stored(const wchar_t* name) {
        DWORD value = 0xDEADBEEF;
        GetSettingDword(name, &value);
        return value;
    }
    static std::wstring MenuText(UINT id) {
        wchar_t text[128] = {};
        GetMenuStringW(g_trayMenu, id, text, 128, MF_BYCOMMAND);
        return text;
    }
};

TEST_F(CommandsTest, MethodChangeUndoesTheBoostByTheOldMethod) {
    // Automatic with a watched program running: engaged by switching schemes.
    EngageBoost();
    g_reevaluate = 0;
    HandleMenuCommand(NULL, IDM_METHOD_MIN_FREQUENCY);
    EXPECT_EQ(Switches({"HP", "B"}), g_schemeSwitches); // undone by the scheme switch
    EXPECT_FALSE(g_engaged);                            // not Full Throttle: the watcher re-engages
    EXPECT_TRUE(g_reevaluate);
    EXPECT_EQ(1u, g_boostMethod);
    EXPECT_EQ(1u, Stored(L"mode"));
    EXPECT_TRUE(IsMenuItemChecked(IDM_METHOD_MIN_FREQUENCY));
    EXPECT_FALSE(IsMenuItemChecked(IDM_METHOD_SCHEME));
}

TEST_F(CommandsTest, SameMethodAgainInFullThrottleReleasesAndEngages) {
    HandleMenuCommand(NULL, IDM_FULL_THROTTLE);
    ASSERT_TRUE(g_engaged);
    HandleMenuCommand(NULL, IDM_METHOD_SCHEME);
    EXPECT_EQ(Switches({"HP", "B", "HP"}), g_schemeSwitches);
    EXPECT_TRUE(g_engaged);
    EXPECT_EQ(0u, Stored(L"mode"));
    // And by the other method: undone by switching back, then raised.
    HandleMenuCommand(NULL, IDM_METHOD_MIN_FREQUENCY);
    EXPECT_EQ(Switches({"HP", "B", "HP", "B", "min=100", "min=100", "B"}), g_schemeSwitches);
    EXPECT_TRUE(g_engaged);
}

TEST_F(CommandsTest, ModeCommandsEngageAndRelease) {
    HandleMenuCommand(NULL, IDM_AUTOMATIC); // nothing engaged: nothing released
    EXPECT_TRUE(g_schemeSwitches.empty());
    EXPECT_TRUE(g_reevaluate);
    HandleMenuCommand(NULL, IDM_FULL_THROTTLE);
    HandleMenuCommand(NULL, IDM_DISABLED);
    EXPECT_EQ(Switches({"HP", "B"}), g_schemeSwitches);
    EXPECT_TRUE(IsMenuItemChecked(IDM_DISABLED));
    EXPECT_FALSE(SettingsKeyExists()); // the mode is never stored
}

TEST_F(CommandsTest, BordersToggleIsStoredAndRepainted) {
    g_borders = 5;
    HandleMenuCommand(NULL, IDM_BORDERS);
    EXPECT_EQ(0u, g_borders);
    EXPECT_EQ(0u, Stored(L"borders"));
    EXPECT_FALSE(IsMenuItemChecked(IDM_BORDERS));
    EXPECT_TRUE(g_forceRedraw);
    HandleMenuCommand(NULL, IDM_BORDERS);
    EXPECT_EQ(1u, Stored(L"borders"));
    EXPECT_TRUE(IsMenuItemChecked(IDM_BORDERS));
    EXPECT_FALSE(g_reevaluate);
}

TEST_F(CommandsTest, ColourConversionSwapsRedAndBlueAndDropsAlpha) {
    EXPECT_EQ(0x00563412u, ColorWordToColorref(0x40123456));
    EXPECT_EQ(0x00123456u, ColorrefToColorWord(0x00563412));
    EXPECT_EQ(0x00FF0000u, ColorrefToColorWord(0x000000FF));
    EXPECT_EQ(0x000000FFu, ColorWordToColorref(0xFFFF0000));
}

TEST_F(CommandsTest, ChosenColoursGetTheirAlphaAndAreStored) {
    const struct {
        UINT id;
        DWORD* color;
        const wchar_t* name;
        DWORD expected;
    } cases[] = {
        {IDM_COLOR_BORDER, &g_colorBorder, L"color::border", 0x80FF0000},
        {IDM_COLOR_FREQUENCY, &g_colorFrequency, L"color::frequency", 0x00FF0000},
        {IDM_COLOR_ACTIVE, &g_colorActive, L"color::active", 0xFFFF0000},
    };
    for (const auto& c : cases) {
        g_forceRedraw = 0;
        g_placeNextDialog = 0;
        g_colorDialog = [](CHOOSECOLORW* dialog) {
            EXPECT_TRUE(g_placeNextDialog); // the dialog is placed near the taskbar
            EXPECT_EQ(static_cast<DWORD>(CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR), dialog->Flags);
            dialog->rgbResult = 0x000000FF; // pure red
            return TRUE;
        };
        HandleMenuCommand(NULL, c.id);
        EXPECT_EQ(c.expected, *c.color);
        EXPECT_EQ(c.expected, Stored(c.name));
        EXPECT_TRUE(g_forceRedraw);
    }
    EXPECT_FALSE(g_reevaluate);
    EXPECT_EQ(0x80FF0000u, Stored(L"color::border")); // each command wrote only its own
}

TEST_F(CommandsTest, StoredColourIsOfferedAndChoosingItUnchangedResetsItsAlpha) {
    g_colorBorder = 0x40123456;
    COLORREF offered = 0;
    g_colorDialog = [&](CHOOSECOLORW* dialog) {
        offered = dialog->rgbResult;
        return TRUE;
    };
    HandleMenuCommand(NULL, IDM_COLOR_BORDER);
    EXPECT_EQ(0x00563412u, offered);
    EXPECT_EQ(0x80123456u, g_colorBorder);
    EXPECT_EQ(0x80123456u, Stored(L"color::border"));
}

TEST_F(CommandsTest, CustomColoursComeFromAndGoBackToTheRegistry) {
    const COLORREF stored[3] = {0x00112233, 0x00445566, 0x00778899}; // shorter than 16
    PutSettingValue(L"color::custom", REG_BINARY, stored, sizeof(stored));
    g_colorDialog = [](CHOOSECOLORW* dialog) {
        EXPECT_EQ(0x00445566u, dialog->lpCustColors[1]);
        EXPECT_EQ(0u, dialog->lpCustColors[3]);
        dialog->lpCustColors[15] = 0x00ABCDEF;
        return TRUE;
    };
    HandleMenuCommand(NULL, IDM_COLOR_ACTIVE);
    COLORREF after[16] = {};
    DWORD type = 0, size = sizeof(after);
    ASSERT_TRUE(GetSettingValue(L"color::custom", &type, after, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(64u, size);
    EXPECT_EQ(0x00112233u, after[0]);
    EXPECT_EQ(0x00ABCDEFu, after[15]);
}

TEST_F(CommandsTest, CancelledColourDialogWritesNothing) {
    const COLORREF stored[16] = {0x00010203};
    PutSettingValue(L"color::custom", REG_BINARY, stored, sizeof(stored));
    g_colorDialog = [](CHOOSECOLORW* dialog) {
        dialog->lpCustColors[0] = 0x00FFFFFF; // edited, then cancelled
        dialog->rgbResult = 0x000000FF;
        return FALSE;
    };
    HandleMenuCommand(NULL, IDM_COLOR_FREQUENCY);
    EXPECT_EQ(0x008080FFu, g_colorFrequency);
    EXPECT_FALSE(SettingValueExists(L"color::frequency"));
    COLORREF after[16] = {};
    DWORD type = 0, size = sizeof(after);
    ASSERT_TRUE(GetSettingValue(L"color::custom", &type, after, &size));
    EXPECT_EQ(0x00010203u, after[0]);
    EXPECT_FALSE(g_forceRedraw);
}

TEST_F(CommandsTest, LanguageChangeReloadsTheMenuKeepingModeAndWatchList) {
    const wchar_t* paths[] = {L"C:\\a.exe", L"C:\\b.exe", L"C:\\c.exe", L"C:\\d.exe", L"C:\\e.exe"};
    for (UINT slot = 0; slot < 5; ++slot) {
        PutSettingString((L"program#" + std::to_wstring(slot * 3)).c_str(), paths[slot]);
        PutSettingDword((L"program#" + std::to_wstring(slot * 3) + L"::enabled").c_str(), slot % 2);
    }
    LoadWatchList();
    HandleMenuCommand(NULL, IDM_DISABLED);
    CheckMenuItem(g_trayMenu, 4, MF_BYPOSITION | MF_CHECKED); // a running watched program
    g_reevaluate = 0;
    HMENU before = g_trayMenu;

    HandleMenuCommand(NULL, IDM_LANG_CZECH);
    EXPECT_NE(before, g_trayMenu);
    EXPECT_FALSE(IsMenu(before));
    EXPECT_EQ(1029u, Stored(L"language"));
    EXPECT_EQ(0x0405, g_preferredLanguage);
    EXPECT_EQ(L"&Vypnuto", MenuText(IDM_DISABLED));
    EXPECT_TRUE(IsMenuItemChecked(IDM_DISABLED));
    EXPECT_TRUE(IsMenuItemChecked(IDM_LANG_CZECH));
    EXPECT_FALSE(g_reevaluate); // check marks come back with the watcher's next re-match
    for (UINT position = 4; position < 9; ++position) {
        UINT slot = (8 - position) * 3;
        wchar_t path[64] = {};
        GetMenuStringW(GetSubMenu(g_trayMenu, position), 0, path, 64, MF_BYPOSITION);
        EXPECT_STREQ(paths[slot / 3], path);
        EXPECT_EQ(0u, GetMenuState(g_trayMenu, position, MF_BYPOSITION) & MF_CHECKED);
        bool enabled = (slot / 3) % 2;
        UINT allow = IDM_PROGRAM_BASE + 16 * slot + 1;
        EXPECT_EQ(enabled, (GetMenuState(g_trayMenu, allow, MF_BYCOMMAND) & MF_GRAYED) != 0) << slot;
    }

    // Czech again while Czech is shown: still a fresh menu and a fresh watch list.
    PutSettingString(L"program#20", L"C:\\later.exe");
    before = g_trayMenu;
    HandleMenuCommand(NULL, IDM_LANG_CZECH);
    EXPECT_NE(before, g_trayMenu);
    EXPECT_STREQ(L"C:\\later.exe", g_watchList[20].path);

    HandleMenuCommand(NULL, IDM_LANG_ENGLISH);
    EXPECT_EQ(1033u, Stored(L"language"));
    EXPECT_EQ(L"&Disabled", MenuText(IDM_DISABLED));
    EXPECT_TRUE(IsMenuItemChecked(IDM_LANG_ENGLISH));
}

TEST_F(CommandsTest, LinksOpenTheMakersPages) {
    HandleMenuCommand(NULL, IDM_HOMEPAGE);
    HandleMenuCommand(NULL, IDM_PRODUCT_PAGE);
    ASSERT_EQ(2u, g_openedAddresses.size());
    EXPECT_EQ(0u, g_openedAddresses[0].find(L"http://"));
    EXPECT_NE(std::wstring::npos, g_openedAddresses[1].find(L"/korvath/www/index.php?id=13004"));
}

TEST_F(CommandsTest, ExitClosesTheWindowWithCodeZero) {
    static WPARAM s_closeCode = 99;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_CLOSE)
            s_closeCode = wParam;
        return DefWindowProcW(window, message, wParam, lParam);
    };
    windowClass.lpszClassName = L"ExitProbe";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"ExitProbe", L"", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    HandleMenuCommand(window, IDM_EXIT);
    EXPECT_EQ(0u, s_closeCode);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(CommandsTest, CommandsWithAHighWordDoNothing) {
    for (WPARAM id : {WPARAM(0x10000 | IDM_FULL_THROTTLE), WPARAM(0x10000 | IDM_BORDERS),
                      WPARAM(0x10000 | IDM_METHOD_MIN_FREQUENCY), WPARAM(0x10000 | (IDM_PROGRAM_BASE + 3))}) {
        HandleMenuCommand(NULL, id);
    }
    EXPECT_TRUE(IsMenuItemChecked(IDM_AUTOMATIC));
    EXPECT_EQ(1u, g_borders);
    EXPECT_EQ(0u, g_boostMethod);
    EXPECT_FALSE(g_reevaluate);
    EXPECT_TRUE(g_schemeSwitches.empty());
    EXPECT_FALSE(SettingsKeyExists());
}

// The real colour dialog, answered by a second thread: red 0, green 128, blue 255, OK.
TEST_F(CommandsTest, RealColourDialogSetsTheFrequencyColour) {
    static bool s_found;
    s_found = false;
    HANDLE thread = CreateThread(
        NULL, 0,
        [](void*) -> DWORD {
            for (int i = 0; i < 200 && !s_found; ++i) {
                Sleep(50);
                HWND dialog = NULL;
                EnumThreadWindows(
                    GetWindowThreadProcessId(GetForegroundWindow(), NULL) ? 0 : 0,
                    [](HWND, LPARAM) -> BOOL { return TRUE; }, 0);
                dialog = FindWindowW(L"#32770", NULL);
                if (!dialog || !GetDlgItem(dialog, 706))
                    continue;
                s_found = true;
                SetDlgItemTextW(dialog, 706, L"0");
                SetDlgItemTextW(dialog, 707, L"128");
                SetDlgItemTextW(dialog, 708, L"255");
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            }
            return 0;
        },
        NULL, 0, NULL);
    HandleMenuCommand(NULL, IDM_COLOR_FREQUENCY);
    WaitForSingleObject(thread, 15000);
    CloseHandle(thread);
    ASSERT_TRUE(s_found) << "no colour dialog appeared";
    EXPECT_EQ(0x000080FFu, g_colorFrequency);
    EXPECT_EQ(0x000080FFu, Stored(L"color::frequency"));
}

} // namespace
