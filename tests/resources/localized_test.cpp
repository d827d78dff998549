// Menus and strings of the program's own module, in the language the program chooses for them.
// (How the user's and the system's languages decide is tested on the tray menu, tests/menu.)
#include "resources/localized.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "menu/menu_ids.h"
#include "resources/resource_ids.h"
#include "resources/string_block.h"
#include "resources/string_cache.h"
#include "seams.h"

namespace {

unsigned s_enumerations; // of the languages of a resource

BOOL WINAPI CountedEnumeration(HMODULE module, LPCWSTR type, LPCWSTR name, ENUMRESLANGPROCW callback,
                               LONG_PTR parameter) {
    ++s_enumerations;
    return REAL(L"kernel32.dll", EnumResourceLanguagesW)(module, type, name, callback, parameter);
}

} // namespace

SEAM(EnumResourceLanguagesW, CountedEnumeration);

namespace {

const LANGID kEnglish = 1033, kCzech = 1029;

// The items of a menu by their position path ("1/0.7.3" is item 3 of the popup at 7 of the
// popup at 0 of menu 1): id (none for a popup), type and state; beside them their texts.
typedef std::map<std::string, std::tuple<UINT, UINT, UINT>> Shape;
void Walk(HMENU menu, const std::string& at, Shape* shape, std::map<std::string, std::wstring>* texts) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = L"";
        const UINT mask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        MENUITEMINFOW item = {sizeof(item), mask, 0, 0, 0, NULL, NULL, NULL, 0, text, 128, NULL};
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &item));
        const std::string path = at + std::to_string(i);
        (*shape)[path] = {item.hSubMenu ? 0 : item.wID, item.fType, item.fState};
        (*texts)[path] = text;
        if (item.hSubMenu)
            Walk(item.hSubMenu, path + ".", shape, texts);
    }
}

TEST(LocalizedTest, EnglishAndCzechResourcesHaveTheSameShapeAndTheDesignedTexts) {
    // Item (or string id), English, Czech.
    const std::tuple<std::string, const wchar_t*, const wchar_t*> expected[] = {
        {"1/0.0", L"&Full Throttle", L"Plný &výkon"},
        {"1/0.1", L"&Automatic", L"&Automaticky"},
        {"1/0.2", L"&Disabled", L"&Vypnuto"},
        {"1/0.6", L"Add &program\u2026", L"&Přidat program\u2026"},
        {"1/0.7", L"&Settings", L"&Nastavení"},
        {"1/0.7.2", L"Boost on battery", L"Zrychlovat i na baterii"},
        {"1/0.10", L"Exi&t", L"Ukonči&t"},
        {"2/0.2", L"Allow full throttling", L"Povolit plný výkon"},
        {"2/0.3", L"Disable full throttling", L"Zakázat plný výkon"},
        {"2/0.4", L"Remove", L"Odstranit"},
        {"16", L"Select EXE of program to add to list\u2026",
         L"Zvolte soubor EXE programu pro přidání do seznamu\u2026"},
        {"17", L"Programs (*.exe)", L"Programy (*.exe)"},
        {"18", L"All files (*.*)", L"Všechny soubory (*.*)"},
    };
    Shape shape[2];
    std::map<std::string, std::wstring> texts[2];
    for (int czech = 0; czech < 2; ++czech) {
        g_preferredLanguage = czech ? kCzech : kEnglish;
        for (UINT id : {IDR_TRAY_MENU, IDR_PROGRAM_MENU}) {
            HMENU menu = LoadLocalizedMenu(id);
            Walk(menu, std::to_string(id) + "/", &shape[czech], &texts[czech]);
            DestroyMenu(menu);
        }
        auto block = FindLocalizedResource(GetModuleHandleW(NULL), RT_STRING, MAKEINTRESOURCEW(2));
        for (UINT id : {IDS_ADD_TITLE, IDS_FILTER_PROGRAMS, IDS_FILTER_ALL}) {
            const void* text = nullptr;
            uint32_t length = 0;
            FindStringInBlock(block.data, block.size, id & 15, &text, &length);
            texts[czech][std::to_string(id)].assign(static_cast<const wchar_t*>(text), length);
        }
    }
    // The Czech template checks Automatic and Icon borders, which start-up sets anyway.
    for (auto& [path, item] : shape[1])
        if (std::get<0>(item) == IDM_AUTOMATIC || std::get<0>(item) == IDM_BORDERS)
            std::get<2>(item) &= ~MFS_CHECKED;
    EXPECT_EQ(shape[0], shape[1]);
    for (const auto& [key, english, czech] : expected) {
        EXPECT_EQ(english, texts[0][key]) << key;
        EXPECT_EQ(czech, texts[1][key]) << key;
    }
}

// The cache lasts as long as the process: every string that exists is loaded here and nowhere
// else in this program.
TEST(LocalizedTest, StringsAreCachedInTheLanguageOfTheirFirstLoad) {
    ASSERT_EQ(0u, g_stringCacheCount);
    g_preferredLanguage = kEnglish;
    const wchar_t* programs = LoadLocalizedString(IDS_FILTER_PROGRAMS);
    ASSERT_STREQ(L"Programs (*.exe)", programs);
    g_preferredLanguage = kCzech;
    EXPECT_EQ(programs, LoadLocalizedString(IDS_FILTER_PROGRAMS));
    EXPECT_STREQ(L"Programs (*.exe)", programs);
    EXPECT_STREQ(L"Všechny soubory (*.*)", LoadLocalizedString(IDS_FILTER_ALL));
    EXPECT_EQ(2u, g_stringCacheCount);
    // Room for one entry at first, then doubled.
    EXPECT_EQ(2 * sizeof(CachedString), HeapSize(GetProcessHeap(), 0, g_stringCache));
}

TEST(LocalizedTest, AbsentResourcesGiveNothingAndAbsentStringsAreNotCached) {
    EXPECT_EQ(NULL, LoadLocalizedMenu(3));
    EXPECT_EQ(0, ChooseResourceLanguage(GetModuleHandleW(NULL), RT_MENU, MAKEINTRESOURCEW(3)));
    LocalizedResource none = FindLocalizedResource(GetModuleHandleW(NULL), RT_STRING, MAKEINTRESOURCEW(1));
    EXPECT_TRUE(none.data == nullptr && none.size == 0 && none.language == 0);
    const DWORD cached = g_stringCacheCount;
    // Empty slots of block 2, ids in blocks that do not exist, the highest id still looked up;
    // then ids whose block number does not fit in 16 bits, not looked up at all.
    for (UINT id : {19u, 31u, 0u, 15u, 100u, 0xFFFEFu, 0xFFFF0u, 0xFFFFFFFFu}) {
        const unsigned before = s_enumerations;
        EXPECT_EQ(nullptr, LoadLocalizedString(id)) << id;
        EXPECT_EQ(id < 0xFFFF0u ? before + 1 : before, s_enumerations) << id;
    }
    EXPECT_EQ(cached, g_stringCacheCount);
}

} // namespace
