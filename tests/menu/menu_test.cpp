// The settings, the tray menu, its commands and the watch list, driven through the program's
// own code and resources: a scratch HKEY_CURRENT_USER per test, the fake power manager, and
// seams in place of the dialogs, the shell and the few calls a test must make fail.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "common/flags.h"
#include "common/names.h"
#include "fake_power.h"
#include "flag_names.h"
#include "menu/commands.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "power/boost.h"
#include "resources/localized.h"
#include "scratch_registry.h"
#include "seams.h"
#include "settings/settings.h"

// What the seams answer and what they saw; all zero and empty at the start of each test.
static struct Fakes {
    LANGID userLanguage, systemLanguage; // 0: the system's own
    // The dialogs, and how often each was opened. Unset, the open-file dialog picks `picked`, or
    // is cancelled while that is empty; the colour dialog is cancelled.
    std::function<BOOL(OPENFILENAMEW*)> openFileDialog;
    std::function<BOOL(CHOOSECOLORW*)> colorDialog;
    int openFileDialogs, colorDialogs;
    // `failingRead` names a value whose data cannot be read (its size can be queried).
    std::wstring picked, failingRead;
    // What ShellExecuteW was asked to open (it opens nothing), and what PathCompactPathW was given.
    std::vector<std::wstring> openedAddresses, compacted;
    std::vector<HMENU> loadedMenus; // every menu made from a template
    // The n-th LoadMenuIndirectW from now fails; PathCompactPathW fails while failCompaction is set.
    int failMenuLoad, failCompaction;
} g_fake;

static LANGID WINAPI UserLanguage() {
    return g_fake.userLanguage ? g_fake.userLanguage : REAL(L"kernel32.dll", GetUserDefaultLangID)();
}
static LANGID WINAPI SystemLanguage() {
    return g_fake.systemLanguage ? g_fake.systemLanguage : REAL(L"kernel32.dll", GetSystemDefaultLangID)();
}
static BOOL WINAPI OpenFileDialog(OPENFILENAMEW* dialog) {
    ++g_fake.openFileDialogs;
    if (g_fake.openFileDialog)
        return g_fake.openFileDialog(dialog);
    lstrcpynW(dialog->lpstrFile, g_fake.picked.c_str(), dialog->nMaxFile);
    return !g_fake.picked.empty();
}
static BOOL WINAPI ColorDialog(CHOOSECOLORW* dialog) {
    ++g_fake.colorDialogs;
    return g_fake.colorDialog && g_fake.colorDialog(dialog);
}
static HINSTANCE WINAPI OpenAddress(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
    g_fake.openedAddresses.push_back(file);
    return reinterpret_cast<HINSTANCE>(33);
}
static BOOL WINAPI CompactPath(HDC dc, LPWSTR path, UINT width) {
    g_fake.compacted.push_back(path);
    return !g_fake.failCompaction && REAL(L"shlwapi.dll", PathCompactPathW)(dc, path, width);
}
static HMENU WINAPI LoadMenuTemplate(const MENUTEMPLATEW* menuTemplate) {
    if (g_fake.failMenuLoad && --g_fake.failMenuLoad == 0)
        return NULL;
    g_fake.loadedMenus.push_back(REAL(L"user32.dll", LoadMenuIndirectW)(menuTemplate));
    return g_fake.loadedMenus.back();
}
static LSTATUS WINAPI QueryValue(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                 LPDWORD size) {
    if (data && name && g_fake.failingRead == name)
        return ERROR_ACCESS_DENIED;
    return REAL(L"advapi32.dll", RegQueryValueExW)(key, name, reserved, type, data, size);
}

SEAM(GetUserDefaultLangID, UserLanguage);
SEAM(GetSystemDefaultLangID, SystemLanguage);
SEAM(GetOpenFileNameW, OpenFileDialog);
SEAM(ChooseColorW, ColorDialog);
SEAM(ShellExecuteW, OpenAddress);
SEAM(PathCompactPathW, CompactPath);
SEAM(LoadMenuIndirectW, LoadMenuTemplate);
SEAM(RegQueryValueExW, QueryValue);

namespace {

// Each scalar setting: its value name, variable and default; then the data a test stores for it
// (type, data, size) and what the variable holds after the next load.
const std::tuple<const wchar_t*, DWORD*, DWORD, DWORD, unsigned long long, DWORD, DWORD> kSettings[] = {
    {L"mode", &g_boostMethod, 0, REG_DWORD, 2, 4, 2}, // kept, although no method engages
    {L"language", &g_languageSetting, 0, REG_DWORD, 1029, 4, 1029},
    {L"borders", &g_borders, 1, REG_DWORD, 5, 4, 5},                                   // kept: on
    {L"color::border", &g_colorBorder, 0x80000000, REG_BINARY, 0x1234, 2, 0x80001234}, // the low bytes
    {L"color::frequency", &g_colorFrequency, 0x008080FF, REG_DWORD, 0x55667788, 4, 0x55667788},
    {L"color::active", &g_colorActive, 0xFFFFFFFF, REG_DWORD, 0x99AABBCC, 4, 0x99AABBCC},
    {L"color::shadow", &g_colorShadow, 0x20000000, REG_QWORD, 0x123456789, 8, 0x20000000}, // too long
    {L"battery", &g_boostOnBattery, 1, REG_DWORD, 0, 4, 0},
};
// The variables as the program starts, before any test has changed them.
const std::vector<DWORD> kAtStart = {g_boostMethod,    g_languageSetting, g_borders,     g_colorBorder,
                                     g_colorFrequency, g_colorActive,     g_colorShadow, g_boostOnBattery};
constexpr UINT kFreshItems = 11, kFull = IDM_FULL_THROTTLE, kAuto = IDM_AUTOMATIC, kOff = IDM_DISABLED;

// Every test starts from the tray menu as start-up leaves it, in English with nothing watched.
class MenuTest : public IsolatedRegistryTest {
  protected:
    void SetUp() override {
        IsolatedRegistryTest::SetUp();
        UseFakePower();
        g_fake = Fakes();
        for (size_t i = 0; i < kAtStart.size(); ++i)
            *std::get<1>(kSettings[i]) = kAtStart[i];
        g_preferredLanguage = 0x0409;
        LoadWatchList(); // no key yet: the list is emptied, as at start
        ASSERT_TRUE((g_trayMenu = LoadTrayMenu()) != NULL);
        g_lastModeCommand = kAuto;
        CheckMenuRadioItem(g_trayMenu, kFull, kOff, kAuto, MF_BYCOMMAND);
        RefreshTrayMenu();
        g_reevaluate = g_forceRedraw = g_placeNextDialog = 0;
    }
    void TearDown() override {
        ReleaseBoost();
        DestroyMenu(g_trayMenu);
        IsolatedRegistryTest::TearDown();
    }
    // The checked items among the modes, methods, borders and languages.
    static std::vector<UINT> Checked() {
        std::vector<UINT> checked;
        for (UINT id : {kFull, kAuto, kOff, 161u, 162u, 177u, 209u, 210u})
            if (IsMenuItemChecked(id))
                checked.push_back(id);
        return checked;
    }
    static UINT DefaultItem() { return GetMenuDefaultItem(g_trayMenu, FALSE, 0); }
    static bool Grey(UINT id) { return (GetMenuState(g_trayMenu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }
    // An item's text by position (empty for a separator); PathLine gives the full path that heads
    // the submenu of a watch-list entry.
    static std::wstring Text(UINT position, HMENU menu = g_trayMenu) {
        wchar_t text[600] = {};
        GetMenuStringW(menu, position, text, 600, MF_BYPOSITION);
        return text;
    }
    static std::wstring PathLine(UINT position) { return Text(0, GetSubMenu(g_trayMenu, position)); }
    static UINT Command(UINT slot, UINT k) { return IDM_PROGRAM_BASE + 16 * slot + k; }
    static std::wstring Name(UINT n, const wchar_t* s = L"") { return L"program#" + std::to_wstring(n) + s; }
    static std::wstring StoredPath(UINT slot) {
        wchar_t path[MAX_PATH] = L"";
        DWORD size = sizeof(path);
        GetSettingValue(Name(slot).c_str(), nullptr, path, &size);
        return path;
    }
    static void PutProgram(UINT slot, const std::wstring& path, DWORD enabled) {
        PutSettingString(Name(slot).c_str(), path.c_str());
        PutSettingDword(Name(slot, L"::enabled").c_str(), enabled);
    }
};

// ---------------------------------------------------------------- settings

TEST_F(MenuTest, SettingsKeepTheirDefaultsWithoutTheKeyAndTakeTheLowBytesOfWhatIsStored) {
    LoadSettings();
    EXPECT_FALSE(SettingsKeyExists());
    for (const auto& [name, variable, byDefault, type, data, size, loaded] : kSettings) {
        EXPECT_EQ(byDefault, *variable) << name;
        PutSettingValue(name, type, &data, size);
    }
    LoadSettings();
    for (const auto& [name, variable, byDefault, type, data, size, loaded] : kSettings)
        EXPECT_EQ(loaded, *variable) << name;
}

// "Boost on battery" is off only for a REG_DWORD 0: anything else keeps today's boost on battery.
// Its item shows it, and toggles and stores it.
TEST_F(MenuTest, BoostOnBatteryIsOffOnlyForAStoredZeroAndItsItemTogglesIt) {
    const struct {
        const char* name;
        DWORD type, data, size, loaded;
    } cases[] = {
        {.name = "a REG_DWORD 2", .type = REG_DWORD, .data = 2, .size = 4, .loaded = 1},
        {.name = "a REG_DWORD of 2 bytes of 0", .type = REG_DWORD, .data = 0, .size = 2, .loaded = 1},
        {.name = "a REG_BINARY 0", .type = REG_BINARY, .data = 0, .size = 4, .loaded = 1},
        {.name = "a REG_SZ \"0\"", .type = REG_SZ, .data = '0', .size = 4, .loaded = 1},
        {.name = "a REG_DWORD 0", .type = REG_DWORD, .data = 0, .size = 4, .loaded = 0},
    };
    for (const auto& c : cases) {
        PutSettingValue(L"battery", c.type, &c.data, c.size);
        LoadSettings();
        EXPECT_EQ(c.loaded, g_boostOnBattery) << c.name;
    }
    RefreshTrayMenu();
    EXPECT_FALSE(IsMenuItemChecked(IDM_BOOST_ON_BATTERY)) << "off";
    HandleMenuCommand(NULL, IDM_BOOST_ON_BATTERY);
    EXPECT_EQ(DWORD(1), StoredDword(L"battery"));
    EXPECT_TRUE(IsMenuItemChecked(IDM_BOOST_ON_BATTERY)) << "on";
}

// ---------------------------------------------------------------- tray menu and modes

TEST_F(MenuTest, DefaultItemIsTheDoubleClickAndLeadsBackToTheLastModeChosen) {
    // A step is a mode command from the menu, the double-click (it issues the default item), or
    // the watcher engaging or releasing the boost in Automatic. Then: the checked mode, the
    // default item, whether the boost is engaged.
    constexpr UINT kDoubleClick = 1, kEngage = 2, kRelease = 3;
    const unsigned steps[][4] = {
        {kDoubleClick, kFull, kAuto, 1}, // from Automatic; the way back is the last mode chosen
        {kDoubleClick, kAuto, kFull, 0}, // back
        {kEngage, kAuto, kOff, 1},       // a watched program runs
        {kRelease, kAuto, kFull, 0},     // and ends
        {kOff, kOff, kFull, 0},          // chosen while not the default: the new way back
        {kDoubleClick, kFull, kOff, 1},  // from Disabled
        {kDoubleClick, kOff, kFull, 0},  // back
        {kAuto, kAuto, kFull, 0},        // chosen while not the default: the new way back
        {kEngage, kAuto, kOff, 1},       // a watched program runs
        {kFull, kFull, kFull, 1},        // chosen while Disabled is the default: its own item
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const auto& [step, checked, defaultItem, engaged] = steps[i];
        g_reevaluate = 0;
        if (step == kEngage || step == kRelease)
            step == kEngage ? EngageBoost() : ReleaseBoost();
        else
            HandleMenuCommand(NULL, step == kDoubleClick ? DefaultItem() : step);
        EXPECT_EQ((std::vector<UINT>{checked, 161, 177, 209}), Checked()) << "step " << i;
        EXPECT_EQ((std::vector<UINT>{defaultItem, engaged, step == kDoubleClick || step >= kFull, 0}),
                  (std::vector<UINT>{DefaultItem(), g_engaged, g_reevaluate, Grey(kFull) || Grey(kAuto)}))
            << "step " << i;
    }
    ReleaseBoost(); // its undo record goes with it: the mode itself is never stored
    EXPECT_EQ(0u, SettingValueCount());
}

TEST_F(MenuTest, RefreshFollowsTheSettingsTheLanguageShownAndTheRightToWriteSchemes) {
    // Whether the user may write power schemes, the preferred, user's and system's language,
    // borders, method; then the checked items and the default item.
    const std::tuple<BOOLEAN, LANGID, LANGID, LANGID, DWORD, DWORD, std::vector<UINT>, UINT> cases[] = {
        {TRUE, 0, 0x0407, 0x0407, 2, 1, {kAuto, 162, 177, 209}, kFull}, // German: no German menu
        {TRUE, 0, 0x0405, 0x0407, 0, 0, {kAuto, 161, 210}, kFull},      // a Czech user
        {TRUE, 0, 0x0C07, 0x0405, 1, 0, {kAuto, 161, 177, 210}, kFull}, // Austrian German, Czech system
        {TRUE, 0x0809, 0x0405, 0x0405, 1, 2, {kAuto, 177, 209}, kFull}, // British English; method unknown
        {FALSE, 0x0409, 0, 0, 1, 0, {kOff, 161, 177, 209}, UINT(-1)},   // Disabled, nothing to double-click
    };
    for (const auto& [mayWrite, preferred, user, system, borders, method, checked, defaultItem] : cases) {
        std::tie(g_fakeUserMayWriteSchemes, g_preferredLanguage, g_fake.userLanguage, g_fake.systemLanguage,
                 g_borders, g_boostMethod) = std::tie(mayWrite, preferred, user, system, borders, method);
        DestroyMenu(g_trayMenu);
        g_trayMenu = LoadTrayMenu();
        CheckMenuRadioItem(g_trayMenu, kFull, kOff, kAuto, MF_BYCOMMAND);
        RefreshTrayMenu();
        SCOPED_TRACE(testing::Message() << std::hex << preferred << " " << user << " " << system);
        EXPECT_EQ(checked, Checked());
        EXPECT_EQ(checked.back() == 210 ? L"Ukonči&t" : L"Exi&t", Text(10));
        EXPECT_EQ(defaultItem, DefaultItem());
        EXPECT_EQ(!mayWrite, Grey(kFull) && Grey(kAuto));
        for (UINT id : {19, 33, 161, 162, 177, 193, 194, 195, 209, 210, 241, 242, 255}) // always usable
            EXPECT_FALSE(Grey(id)) << id;
    }
}

// Start with Windows is checked while the Run value starts this very program, unless Task
// Manager turned that off: the first byte of its flag beside the Run value is odd while off.
TEST_F(MenuTest, StartWithWindowsIsUncheckedWhileTaskManagerSaysOff) {
    wchar_t command[MAX_PATH + 2] = L"\"";
    GetModuleFileNameW(NULL, command + 1, MAX_PATH);
    lstrcatW(command, L"\"");
    RegSetKeyValueW(HKEY_CURRENT_USER, VELTRANA_RUN_KEY, VELTRANA_RUN_VALUE, REG_SZ, command,
                    (lstrlenW(command) + 1) * sizeof(wchar_t));
    const std::pair<BYTE, bool> flags[] = {
        {0x02, true}, {0x06, true}, {0x03, false}, {0x07, false}}; // checked
    for (const auto& [flag, checked] : flags) {
        const BYTE value[12] = {flag}; // then the time it was turned on or off
        RegSetKeyValueW(HKEY_CURRENT_USER, VELTRANA_STARTUP_APPROVED_KEY, VELTRANA_RUN_VALUE, REG_BINARY,
                        value, 12);
        RefreshTrayMenu();
        EXPECT_EQ(checked, IsMenuItemChecked(IDM_START_WITH_WINDOWS)) << "Task Manager's flag 0" << int(flag);
    }
}

// ---------------------------------------------------------------- commands

TEST_F(MenuTest, MethodAndBordersCommandsStoreTheirSettingAndRedoWhatDependsOnIt) {
    const std::vector<std::string> raise = {"GetActive",       "ReadAC(B)",       "WriteAC(B, 100)",
                                            "ReadDC(B)",       "WriteDC(B, 100)", "ReadAC1(B) -> 2",
                                            "ReadDC1(B) -> 2", "SetActive(B)"};
    const std::vector<std::string> switchBack = {"Enumerate(0)", "GetActive", "SetActive(B)"};
    const std::vector<std::string> lowerThenSwitch = {"Enumerate(0)", "ReadAC(B)",     "WriteAC(B, 5)",
                                                      "ReadDC(B)",    "WriteDC(B, 0)", "GetActive",
                                                      "SetActive(B)", "GetActive",     "SetActive(HP)"};
    // One after the other: the command, the power calls that follow and whether the boost is
    // engaged after them (a method's boost is undone by the method that applied it, and done
    // again only in Full Throttle), the value stored, the checked items.
    const std::tuple<UINT, std::vector<std::string>, bool, DWORD, std::vector<UINT>> steps[] = {
        {162, switchBack, false, 1, {kAuto, 162, 177, 209}}, // the watcher engages again
        {kFull, raise, true, 1, {kFull, 162, 177, 209}},
        {161, lowerThenSwitch, true, 0, {kFull, 161, 177, 209}},
        {161,
         {"Enumerate(0)", "GetActive", "SetActive(B)", "GetActive", "SetActive(HP)"},
         true,
         0,
         {kFull, 161, 177, 209}},
        {177, {}, true, 0, {kFull, 161, 209}}, // from 5, which is on
        {177, {}, true, 1, {kFull, 161, 177, 209}},
    };
    EngageBoost(); // a watched program runs in Automatic
    g_borders = 5;
    for (const auto& [command, calls, engaged, stored, checked] : steps) {
        TakePowerCalls();
        g_reevaluate = g_forceRedraw = 0;
        HandleMenuCommand(NULL, command);
        EXPECT_EQ(calls, TakePowerCalls()) << command;
        EXPECT_EQ(checked, Checked()) << command;
        const bool borders = command == IDM_BORDERS; // the watcher re-matches, or the icon is repainted
        EXPECT_EQ((std::vector<DWORD>{engaged, stored, !borders, borders}),
                  (std::vector<DWORD>{g_engaged, StoredDword(borders ? L"borders" : L"mode"), g_reevaluate,
                                      g_forceRedraw}))
            << command;
    }
}

TEST_F(MenuTest, ColourCommandsStoreTheChoiceWithTheAlphaOfItsKindAndTheCustomColoursButNotWhileOpen) {
    const COLORREF custom[3] = {0x112233, 0x445566, 0x778899}; // fewer than the dialog's 16
    PutSettingValue(L"color::custom", REG_BINARY, custom, sizeof(custom));
    // Each colour is 0x40123456 before. The command, whether the dialog ends with OK (choosing
    // the colour offered), and the colour and the stored value then.
    const std::tuple<UINT, DWORD*, const wchar_t*, bool, DWORD, DWORD> cases[] = {
        {IDM_COLOR_BORDER, &g_colorBorder, L"color::border", true, 0x80123456, 0x80123456},
        {IDM_COLOR_FREQUENCY, &g_colorFrequency, L"color::frequency", true, 0x00123456, 0x00123456},
        {IDM_COLOR_ACTIVE, &g_colorActive, L"color::active", true, 0xFF123456, 0xFF123456},
        {IDM_COLOR_FREQUENCY, &g_colorFrequency, L"color::frequency", false, 0x40123456, 0x00123456},
    };
    CHOOSECOLORW offered = {};
    bool placed = false, ok = true;
    g_fake.colorDialog = [&](CHOOSECOLORW* dialog) {
        offered = *dialog;
        placed = g_placeNextDialog;
        // The open dialog's message loop keeps the tray menu usable: a colour command from it
        // must do nothing, or whichever dialog closed last would keep its custom colours.
        if (g_fake.colorDialogs == 1)
            HandleMenuCommand(NULL, IDM_COLOR_ACTIVE);
        EXPECT_EQ(std::make_pair(0x445566ul, 0ul),
                  std::make_pair(dialog->lpCustColors[1], dialog->lpCustColors[3]));
        dialog->lpCustColors[ok ? 15 : 0] = 0xABCDEF; // edited
        return ok;
    };
    for (const auto& [id, color, name, chosen, after, stored] : cases) {
        ok = chosen;
        *color = 0x40123456;
        g_forceRedraw = g_placeNextDialog = 0;
        HandleMenuCommand(NULL, id);
        EXPECT_EQ("rgbinit|fullopen|anycolor",
                  FlagNames(offered.Flags,
                            {{CC_RGBINIT, "rgbinit"}, {CC_FULLOPEN, "fullopen"}, {CC_ANYCOLOR, "anycolor"}}))
            << name;
        EXPECT_EQ((std::vector<DWORD>{0x563412, 1, chosen, after, stored}),
                  (std::vector<DWORD>{offered.rgbResult, placed, g_forceRedraw, *color, StoredDword(name)}))
            << name << (chosen ? "" : ", cancelled");
    }
    COLORREF colors[17] = {};
    DWORD type = 0, size = sizeof(colors);
    ASSERT_TRUE(GetSettingValue(L"color::custom", &type, colors, &size));
    EXPECT_EQ((std::vector<DWORD>{REG_BINARY, 64, 0x112233, 0xABCDEF}),
              (std::vector<DWORD>{type, size, colors[0], colors[15]}));
    EXPECT_EQ(4, g_fake.colorDialogs);
}

TEST_F(MenuTest, LanguageChangeReloadsTheMenuKeepingModeAndWatchList) {
    for (UINT n = 0; n < 5; ++n)
        PutProgram(3 * n, L"C:\\" + std::to_wstring(n) + L".exe", n % 2);
    LoadWatchList();
    HandleMenuCommand(NULL, IDM_DISABLED);
    CheckMenuItem(g_trayMenu, 4, MF_BYPOSITION | MF_CHECKED); // a watched program runs
    g_reevaluate = 0;
    for (UINT id : {IDM_LANG_CZECH, IDM_LANG_CZECH, IDM_LANG_ENGLISH}) { // the same one again too
        HMENU before = g_trayMenu;
        HandleMenuCommand(NULL, id);
        EXPECT_FALSE(IsMenu(before));
        EXPECT_EQ(id == IDM_LANG_CZECH ? L"&Vypnuto" : L"&Disabled", Text(2));
        EXPECT_EQ((std::vector<UINT>{kOff, 161, 177, id}), Checked());
        for (UINT n = 0; n < 5; ++n) { // in descending slot order, unchecked, with their grey items
            EXPECT_EQ(L"C:\\" + std::to_wstring(n) + L".exe", PathLine(8 - n));
            EXPECT_FALSE(GetMenuState(g_trayMenu, 8 - n, MF_BYPOSITION) & MF_CHECKED) << n;
            EXPECT_EQ(n % 2 == 1, Grey(Command(3 * n, IDM_PROGRAM_ALLOW))) << n;
        }
        EXPECT_FALSE(g_reevaluate); // check marks come back with the watcher's next re-match
    }
}

// Exit is tested on the running program (tests/app, tests/e2e).
TEST_F(MenuTest, LinksOpenTheMakersPagesButACommandWithAHighWordDoesNothing) {
    for (UINT id : {IDM_FULL_THROTTLE, IDM_ADD_PROGRAM, IDM_METHOD_MIN_FREQUENCY, IDM_BORDERS,
                    IDM_COLOR_BORDER, IDM_LANG_CZECH, IDM_HOMEPAGE, IDM_PROGRAM_BASE + 3})
        HandleMenuCommand(NULL, 0x10000 | id);
    EXPECT_TRUE(TakePowerCalls().empty() && g_fake.openedAddresses.empty());
    EXPECT_FALSE(g_reevaluate || SettingsKeyExists() || g_fake.openFileDialogs || g_fake.colorDialogs);
    HandleMenuCommand(NULL, IDM_HOMEPAGE);
    HandleMenuCommand(NULL, IDM_PRODUCT_PAGE);
    ASSERT_EQ(2u, g_fake.openedAddresses.size());
    EXPECT_EQ(0u, g_fake.openedAddresses[0].find(L"http://"));
    EXPECT_EQ(0u, g_fake.openedAddresses[1].find(L"http://"));
    EXPECT_NE(std::wstring::npos, g_fake.openedAddresses[1].find(L"/korvath/www/index.php?id=13004"));
}

// ---------------------------------------------------------------- watch list

TEST_F(MenuTest, WatchListLoadsWhatCanBeReadWholeAnAddTakesTheFirstFreeSlotAndEntriesCommandTheirSlot) {
    const wchar_t bare[] = {L'C', L':', L'\\', L'n', L'.', L'e', L'x', L'e'}; // no terminating NUL
    const BYTE eight[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    PutProgram(0, L"C:\\Zero.exe", 1);
    PutSettingValue(Name(1).c_str(), REG_EXPAND_SZ, bare, sizeof(bare)); // other types are skipped
    PutSettingDword(Name(2).c_str(), 12);
    PutSettingString(Name(3).c_str(), L"C:\\Three.exe"); // no enabled value: disabled
    PutSettingValue(Name(4).c_str(), REG_SZ, bare, sizeof(bare));
    PutSettingValue(Name(5).c_str(), REG_SZ, bare, 5); // "C:" and half a backslash
    PutProgram(6, L"C:\\Locked.exe", 1);
    g_fake.failingRead = Name(6);       // its size can be queried, its data not read
    PutProgram(7, L"C:\\Seven.exe", 2); // any non-zero value enables
    PutSettingString(Name(8).c_str(), L"C:\\Eight.exe");
    PutSettingValue(Name(8, L"::enabled").c_str(), REG_BINARY, eight, 8); // too long to be trusted
    PutProgram(2048, L"C:\\Beyond.exe", 1);                               // past the last slot
    LoadWatchList();
    // The occupied slots in menu order from position 4: slot, path, enabled.
    const std::tuple<UINT, const wchar_t*, bool> entries[] = {
        {8, L"C:\\Eight.exe", false}, {7, L"C:\\Seven.exe", true},  {5, L"C:\\", false},
        {4, L"C:\\n.exe", false},     {3, L"C:\\Three.exe", false}, {0, L"C:\\Zero.exe", true}};
    EXPECT_EQ(kFreshItems - 1 + 6, UINT(GetMenuItemCount(g_trayMenu)));
    for (UINT position = 4; position < 10; ++position) {
        const auto& [slot, path, enabled] = entries[position - 4];
        const wchar_t* loaded = g_watchList[slot].path;
        ASSERT_STREQ(path, loaded) << slot;
        EXPECT_EQ(path, PathLine(position)) << slot;
        EXPECT_GE(HeapSize(GetProcessHeap(), 0, loaded), (wcslen(loaded) + 1) * 2)
            << "ends past its block: " << slot;
        EXPECT_EQ(enabled, Grey(Command(slot, IDM_PROGRAM_ALLOW))) << slot;
        EXPECT_NE(enabled, Grey(Command(slot, IDM_PROGRAM_BLOCK))) << slot;
    }
    EXPECT_EQ(nullptr, g_watchList[6].path); // slots 1 and 2 have no entry; the add takes slot 1

    g_fake.picked = L"C:\\One.exe";
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM); // slot 1, between slots 3 and 0
    EXPECT_EQ(L"C:\\One.exe", PathLine(9));
    EXPECT_EQ(L"C:\\Zero.exe", PathLine(10));
    EXPECT_TRUE(g_reevaluate);
    for (UINT k = 0; k <= 3; ++k) // the path line has none, then allow, disable, remove
        EXPECT_EQ(k ? Command(1, k) : 0, GetMenuItemID(GetSubMenu(g_trayMenu, 9), k ? k + 1 : 0)) << k;
    wchar_t stored[32] = {};
    DWORD type = 0, size = sizeof(stored);
    ASSERT_TRUE(GetSettingValue(Name(1).c_str(), &type, stored, &size)); // over the REG_EXPAND_SZ
    EXPECT_STREQ(L"C:\\One.exe", stored);
    EXPECT_EQ((std::vector<DWORD>{REG_SZ, sizeof(L"C:\\One.exe"), 1}),
              (std::vector<DWORD>{type, size, StoredDword(Name(1, L"::enabled").c_str())}));

    // Allow and disable slot 3; then a free slot's remove and allow, the one id past the last
    // slot, and a k that no item has: they touch nothing but ask for a re-match.
    for (UINT id :
         {Command(3, 1), Command(3, 2), Command(9, 3), Command(9, 1), Command(2048, 0), Command(3, 7)}) {
        const DWORD enabled = id == Command(3, 1);
        g_reevaluate = 0;
        HandleMenuCommand(NULL, id);
        EXPECT_EQ((std::vector<DWORD>{1, enabled, enabled, !enabled}),
                  (std::vector<DWORD>{g_reevaluate, StoredDword(Name(3, L"::enabled").c_str()),
                                      Grey(Command(3, 1)), Grey(Command(3, 2))}))
            << id;
    }
    EXPECT_EQ(kFreshItems + 6, UINT(GetMenuItemCount(g_trayMenu)));
    EXPECT_EQ(0xDEADBEEFu, StoredDword(Name(9, L"::enabled").c_str()));
}

TEST_F(MenuTest, CaptionsShortenLongPathsFromBothEndsOrKeepTheFileName) {
    const std::wstring exact = L"C:\\" + std::wstring(250, L'a') + L"\\b.exe";  // 259 characters
    const std::wstring longer = L"C:\\" + std::wstring(251, L'c') + L"\\d.exe"; // 260 characters
    PutProgram(0, exact, 1);
    PutProgram(1, longer, 1);
    LoadWatchList();
    EXPECT_EQ((std::vector<std::wstring>{exact, longer.substr(0, 130) + longer.substr(260 - 129)}),
              g_fake.compacted);
    EXPECT_LT(Text(5).size(), exact.size());
    EXPECT_EQ(longer, PathLine(4));
    // Where compaction fails: from the last separator on, or the whole path, at most 259 characters.
    g_fake.failCompaction = 1;
    const std::wstring cases[][2] = {{L"C:\\Games/Deep\\Racer.exe", L"\\Racer.exe"},
                                     {L"D:/Tools/build.exe", L"/build.exe"},
                                     {L"plain.exe", L"plain.exe"},
                                     {std::wstring(300, L'x'), std::wstring(259, L'x')}};
    for (const auto& [path, caption] : cases) {
        g_fake.picked = path;
        HandleMenuCommand(NULL, IDM_ADD_PROGRAM); // the highest slot so far: position 4
        EXPECT_EQ(caption, Text(4)) << path;
    }
}

TEST_F(MenuTest, AddAsksForAProgramOnceAndACancelOrAFullListChangesNothing) {
    OPENFILENAMEW seen = {};
    std::wstring filter;
    bool placed = false;
    g_fake.openFileDialog = [&](OPENFILENAMEW* dialog) {
        seen = *dialog;
        placed = g_placeNextDialog;
        if (g_fake.openFileDialogs == 1)
            HandleMenuCommand(NULL, IDM_ADD_PROGRAM); // from the tray menu, usable meanwhile: nothing
        for (const wchar_t* p = dialog->lpstrFilter; *p; p += wcslen(p) + 1)
            filter += std::wstring(p) + L"|";
        return FALSE;
    };
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(L"Programs (*.exe)|*.exe|All files (*.*)|*.*|", filter);
    EXPECT_STREQ(L"Select EXE of program to add to list\u2026", seen.lpstrTitle);
    EXPECT_EQ("hidereadonly|filemustexist|explorer|enablesizing|dontaddtorecent",
              FlagNames(seen.Flags, {{OFN_HIDEREADONLY, "hidereadonly"},
                                     {OFN_FILEMUSTEXIST, "filemustexist"},
                                     {OFN_EXPLORER, "explorer"},
                                     {OFN_ENABLESIZING, "enablesizing"},
                                     {OFN_DONTADDTORECENT, "dontaddtorecent"}}));
    EXPECT_EQ(std::make_tuple(1ul, 32767ul, true, std::wstring(L"exe")),
              std::make_tuple(seen.nFilterIndex, seen.nMaxFile, placed, std::wstring(seen.lpstrDefExt)));
    for (WatchListSlot& slot : g_watchList) // every slot taken
        slot.path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 2));
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(1, g_fake.openFileDialogs);
    EXPECT_EQ(kFreshItems, UINT(GetMenuItemCount(g_trayMenu)));
    EXPECT_FALSE(g_reevaluate || SettingsKeyExists());
}

// A program already on the list, in whatever letter case the dialog gives its path, is not added
// again; two programs take two slots, and removing them leaves no menu behind.
TEST_F(MenuTest, SameProgramIsAddedOnceAndRemovingLeavesNoMenuBehind) {
    for (int cycle = 0; cycle < 1000; ++cycle) {
        g_fake.loadedMenus.clear();
        for (const wchar_t* picked : {L"D:\\Games\\X.exe", L"d:\\games\\x.EXE", L"D:\\Games\\Y.exe"}) {
            g_fake.picked = picked;
            HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
        }
        HMENU first = GetSubMenu(g_trayMenu, 5), second = GetSubMenu(g_trayMenu, 4);
        // The templates' outer menus go at once, the submenus with their entries.
        ASSERT_TRUE(IsMenu(first) && IsMenu(second) && g_fake.loadedMenus.size() == 2) << cycle;
        ASSERT_FALSE(IsMenu(g_fake.loadedMenus[0]) || IsMenu(g_fake.loadedMenus[1])) << cycle;
        ASSERT_EQ(L"D:\\Games\\Y.exe", PathLine(4)) << cycle;
        ASSERT_EQ(nullptr, g_watchList[2].path) << cycle;
        HandleMenuCommand(NULL, Command(0, IDM_PROGRAM_REMOVE));
        g_reevaluate = 0;
        HandleMenuCommand(NULL, Command(1, IDM_PROGRAM_REMOVE));
        ASSERT_TRUE(g_reevaluate && !IsMenu(first) && !IsMenu(second)) << cycle;
    }
    EXPECT_EQ(L"", Text(3) + Text(4)); // two separators, no placeholder between them
    EXPECT_EQ(kFreshItems - 1, UINT(GetMenuItemCount(g_trayMenu)));
    EXPECT_EQ(3000, g_fake.openFileDialogs);
    for (UINT slot : {1, 2})
        for (const wchar_t* suffix : {L"", L"::enabled"})
            EXPECT_FALSE(GetSettingValue(Name(slot, suffix).c_str(), nullptr, nullptr, nullptr))
                << slot << suffix;
}

// An entry that cannot be made (here: menu 2 not loaded) leaves its slot free in the list: the
// position rule counts occupied slots, and one without an entry would shift every position computed
// below it. Yet no add takes the slot of a stored program, which it would overwrite; and an add
// whose own entry cannot be made stores nothing.
TEST_F(MenuTest, StoredProgramWhoseEntryCannotBeMadeKeepsItsSlotFromAnAdd) {
    for (UINT slot : {0, 1, 2})
        PutProgram(slot, L"C:\\" + std::to_wstring(slot) + L".exe", 1);
    g_fake.failMenuLoad = 2; // slot 1's, at start-up
    LoadWatchList();
    EXPECT_EQ(nullptr, g_watchList[1].path);
    g_fake.picked = L"C:\\added.exe";
    g_fake.failMenuLoad = 1; // the add's own
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(L"", StoredPath(3)) << "stored by an add whose entry could not be made";
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(L"C:\\1.exe", StoredPath(1))
        << "an add overwrote program#1, whose entry could not be made at load";
    EXPECT_EQ(L"C:\\added.exe", StoredPath(3));
    EXPECT_EQ(L"C:\\added.exe", PathLine(4));
    HandleMenuCommand(NULL, Command(0, IDM_PROGRAM_REMOVE));
    EXPECT_EQ(L"C:\\2.exe", PathLine(5));
    EXPECT_EQ(L"", Text(6)); // the separator after the entries
}

} // namespace
