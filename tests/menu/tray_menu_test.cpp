// The tray menu's default item, grey items and radio groups after each refresh, and how the
// mode commands and the double-click move between the modes.
#include <windows.h>
#include <gtest/gtest.h>

#include "menu/commands.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu_seams.h"
#include "power/boost.h"
#include "resources/localized.h"
#include "scratch_registry.h"
#include "settings/settings.h"

namespace {

class TrayMenuTest : public IsolatedRegistryTest {
  protected:
    void SetUp() override {
        IsolatedRegistryTest::SetUp();
        ResetMenuSeams();
        g_preferredLanguage = 0x0409;
        g_boostMethod = 0;
        g_borders = 1;
        ASSERT_TRUE(LoadStartupTrayMenu());
    }
    void TearDown() override {
        ReleaseBoost();
        DestroyMenu(g_trayMenu);
        g_trayMenu = NULL;
        g_preferredLanguage = 0;
        IsolatedRegistryTest::TearDown();
    }
    static UINT DefaultItem() { return GetMenuDefaultItem(g_trayMenu, FALSE, 0); }
    static bool Grey(UINT id) { return (GetMenuState(g_trayMenu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }
    static UINT CheckedMode() {
        for (UINT id = IDM_FULL_THROTTLE; id <= IDM_DISABLED; ++id)
            if (IsMenuItemChecked(id))
                return id;
        return 0;
    }
    // What a double-click on the icon does.
    static void DoubleClick() { HandleMenuCommand(NULL, DefaultItem()); }
};

TEST_F(TrayMenuTest, FreshStartOffersFullThrottleAsDefault) {
    EXPECT_EQ(static_cast<UINT>(IDM_AUTOMATIC), CheckedMode());
    EXPECT_EQ(static_cast<UINT>(IDM_FULL_THROTTLE), DefaultItem());
    EXPECT_FALSE(Grey(IDM_FULL_THROTTLE));
    EXPECT_FALSE(Grey(IDM_AUTOMATIC));
    EXPECT_TRUE(IsMenuItemChecked(IDM_METHOD_SCHEME));
    EXPECT_TRUE(IsMenuItemChecked(IDM_BORDERS));
    EXPECT_TRUE(IsMenuItemChecked(IDM_LANG_ENGLISH));
}

TEST_F(TrayMenuTest, EngagedInAutomaticOffersDisabledUntilReleased) {
    EngageBoost();
    ASSERT_TRUE(g_engaged);
    EXPECT_EQ(static_cast<UINT>(IDM_DISABLED), DefaultItem());
    ReleaseBoost();
    EXPECT_EQ(static_cast<UINT>(IDM_FULL_THROTTLE), DefaultItem());
}

TEST_F(TrayMenuTest, DoubleClickGoesToFullThrottleAndBack) {
    DoubleClick();
    EXPECT_EQ(static_cast<UINT>(IDM_FULL_THROTTLE), CheckedMode());
    EXPECT_TRUE(g_engaged);
    EXPECT_EQ(static_cast<UINT>(IDM_AUTOMATIC), DefaultItem()); // the last mode command
    DoubleClick();
    EXPECT_EQ(static_cast<UINT>(IDM_AUTOMATIC), CheckedMode());
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(static_cast<UINT>(IDM_FULL_THROTTLE), DefaultItem());
    EXPECT_EQ(std::vector<std::string>({"HP", "B"}), g_schemeSwitches);
    // From Disabled the double-click also goes to Full Throttle.
    HandleMenuCommand(NULL, IDM_DISABLED);
    EXPECT_EQ(static_cast<UINT>(IDM_FULL_THROTTLE), DefaultItem());
}

TEST_F(TrayMenuTest, ModeChosenWhileNotDefaultBecomesTheWayBackFromFullThrottle) {
    // Disabled picked from the menu while Full Throttle is the default item.
    HandleMenuCommand(NULL, IDM_DISABLED);
    EXPECT_EQ(static_cast<UINT>(IDM_DISABLED), g_lastModeCommand);
    HandleMenuCommand(NULL, IDM_FULL_THROTTLE); // the default now: remembered mode stays
    EXPECT_EQ(static_cast<UINT>(IDM_DISABLED), g_lastModeCommand);
    EXPECT_EQ(static_cast<UINT>(IDM_DISABLED), DefaultItem());
    DoubleClick();
    EXPECT_EQ(static_cast<UINT>(IDM_DISABLED), CheckedMode());
    EXPECT_FALSE(g_engaged);

    // Full Throttle picked while Disabled is the default (Automatic with the boost engaged).
    HandleMenuCommand(NULL, IDM_AUTOMATIC);
    EngageBoost();
    ASSERT_EQ(static_cast<UINT>(IDM_DISABLED), DefaultItem());
    HandleMenuCommand(NULL, IDM_FULL_THROTTLE);
    EXPECT_EQ(static_cast<UINT>(IDM_FULL_THROTTLE), g_lastModeCommand);
    EXPECT_EQ(static_cast<UINT>(IDM_FULL_THROTTLE), DefaultItem());
}

TEST_F(TrayMenuTest, UserWhoMayNotWriteSchemesGetsDisabledAndNoDefault) {
    g_userMayWriteSchemes = FALSE;
    RefreshTrayMenu();
    EXPECT_EQ(static_cast<UINT>(IDM_DISABLED), CheckedMode());
    EXPECT_TRUE(Grey(IDM_FULL_THROTTLE));
    EXPECT_TRUE(Grey(IDM_AUTOMATIC));
    EXPECT_EQ(static_cast<UINT>(-1), DefaultItem());
    for (UINT usable : {IDM_DISABLED, IDM_METHOD_SCHEME, IDM_BORDERS, IDM_COLOR_BORDER, IDM_LANG_CZECH,
                        IDM_PRODUCT_PAGE, IDM_EXIT})
        EXPECT_FALSE(Grey(usable)) << usable;
    // The right comes back at the next refresh.
    g_userMayWriteSchemes = TRUE;
    RefreshTrayMenu();
    EXPECT_FALSE(Grey(IDM_FULL_THROTTLE));
    EXPECT_EQ(static_cast<UINT>(IDM_FULL_THROTTLE), DefaultItem());
}

TEST_F(TrayMenuTest, BordersAndMethodFollowTheSettings) {
    const struct {
        DWORD borders, method;
        bool bordersChecked, schemeChecked, minimumChecked;
    } cases[] = {
        {2, 1, true, false, true},
        {0, 0, false, true, false},
        {1, 2, true, false, false}, // an unknown method checks neither
    };
    for (const auto& c : cases) {
        g_borders = c.borders;
        g_boostMethod = c.method;
        RefreshTrayMenu();
        EXPECT_EQ(c.bordersChecked, IsMenuItemChecked(IDM_BORDERS)) << c.borders;
        EXPECT_EQ(c.schemeChecked, IsMenuItemChecked(IDM_METHOD_SCHEME)) << c.method;
        EXPECT_EQ(c.minimumChecked, IsMenuItemChecked(IDM_METHOD_MIN_FREQUENCY)) << c.method;
    }
}

TEST_F(TrayMenuTest, LanguageRadioFollowsTheLanguageTheMenuIsShownIn) {
    const struct {
        LANGID preferred, user, system;
        UINT checked;
        const wchar_t* exitText;
    } cases[] = {
        {0, 0x0407, 0x0407, IDM_LANG_ENGLISH, L"Exi&t"},      // German: no German menu, English
        {0, 0x0405, 0x0407, IDM_LANG_CZECH, L"Ukonči&t"},     // Czech user
        {0x0809, 0x0405, 0x0405, IDM_LANG_ENGLISH, L"Exi&t"}, // British English preferred
        {0x0405, 0x0409, 0x0409, IDM_LANG_CZECH, L"Ukonči&t"},
    };
    for (const auto& c : cases) {
        g_preferredLanguage = c.preferred;
        g_fakeUserLanguage = c.user;
        g_fakeSystemLanguage = c.system;
        DestroyMenu(g_trayMenu);
        g_trayMenu = LoadTrayMenu();
        RefreshTrayMenu();
        wchar_t text[64] = {};
        GetMenuStringW(g_trayMenu, IDM_EXIT, text, 64, MF_BYCOMMAND);
        EXPECT_STREQ(c.exitText, text) << std::hex << c.preferred << " " << c.user;
        EXPECT_TRUE(IsMenuItemChecked(c.checked)) << std::hex << c.preferred << " " << c.user;
        EXPECT_FALSE(IsMenuItemChecked(c.checked == IDM_LANG_CZECH ? IDM_LANG_ENGLISH : IDM_LANG_CZECH));
    }
}

} // namespace
