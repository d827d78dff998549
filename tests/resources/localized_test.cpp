#include "resources/localized.h"

#include "menu/menu_ids.h"
#include "resources/resource_ids.h"
#include "resources/string_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Link seams: the program's calls to these kernel32 functions come here. The default
// languages are faked when set and real otherwise; resource enumerations are counted.
static LANGID s_fakeUserLanguage, s_fakeSystemLanguage;
static unsigned s_enumerations;

template <typename Function> static Function Real(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

static LANGID WINAPI FakeUserDefaultLangID() {
    return s_fakeUserLanguage ? s_fakeUserLanguage
                              : Real<decltype(&GetUserDefaultLangID)>("GetUserDefaultLangID")();
}
static LANGID WINAPI FakeSystemDefaultLangID() {
    return s_fakeSystemLanguage ? s_fakeSystemLanguage
                                : Real<decltype(&GetSystemDefaultLangID)>("GetSystemDefaultLangID")();
}
static BOOL WINAPI CountedEnumResourceLanguagesW(HMODULE module, LPCWSTR type, LPCWSTR name,
                                                 ENUMRESLANGPROCW callback, LONG_PTR param) {
    ++s_enumerations;
    return Real<decltype(&EnumResourceLanguagesW)>("EnumResourceLanguagesW")(module, type, name, callback,
                                                                             param);
}
extern "C" {
void* __imp_GetUserDefaultLangID = reinterpret_cast<void*>(&FakeUserDefaultLangID);
void* __imp_GetSystemDefaultLangID = reinterpret_cast<void*>(&FakeSystemDefaultLangID);
void* __imp_EnumResourceLanguagesW = reinterpret_cast<void*>(&CountedEnumResourceLanguagesW);
}

namespace {

const LANGID kEnglish = 1033, kCzech = 1029;

class LocalizedTest : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        g_preferredLanguage = 0;
        s_fakeUserLanguage = s_fakeSystemLanguage = 0;
    }
};

// One menu item as a template describes it: its depth in the tree, id (none for popups, whose
// id Windows makes up), whether it is a popup, separator, grey or checked, and its text.
struct Item {
    int depth;
    UINT id;
    char kind; // 'i' item, 'p' popup, 's' separator
    UINT state;
    std::wstring text;
};

void Flatten(HMENU menu, int depth, std::vector<Item>* items) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = L"";
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 128;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info));
        EXPECT_EQ(0u, info.fType & ~MFT_SEPARATOR) << "item " << i << " at depth " << depth;
        char kind = info.hSubMenu ? 'p' : (info.fType & MFT_SEPARATOR) ? 's' : 'i';
        items->push_back({depth, kind == 'p' ? 0 : info.wID, kind, info.fState, text});
        if (info.hSubMenu)
            Flatten(info.hSubMenu, depth + 1, items);
    }
}

void ExpectMenu(UINT menuId, const std::vector<Item>& expected) {
    HMENU menu = LoadLocalizedMenu(menuId);
    ASSERT_TRUE(menu);
    std::vector<Item> items;
    Flatten(menu, 0, &items);
    DestroyMenu(menu);
    ASSERT_EQ(expected.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "item " << i << " of menu " << menuId);
        EXPECT_EQ(expected[i].depth, items[i].depth);
        EXPECT_EQ(expected[i].kind, items[i].kind);
        EXPECT_EQ(expected[i].id, items[i].id);
        // The loader may grey separators of its own accord; every other state is the template's.
        UINT state = expected[i].kind == 's' ? items[i].state & expected[i].state : items[i].state;
        EXPECT_EQ(expected[i].state, state);
        EXPECT_EQ(expected[i].text, items[i].text);
    }
}

const UINT G = MF_GRAYED, C = MF_CHECKED; // the template flags

std::vector<Item> TrayMenu(bool czech) {
    auto pick = [czech](const wchar_t* english, const wchar_t* czechText) {
        return czech ? czechText : english;
    };
    return {
        {0, 0, 'p', 0, L""},
        {1, IDM_FULL_THROTTLE, 'i', 0, pick(L"&Full Throttle", L"Plný &výkon")},
        {1, IDM_AUTOMATIC, 'i', czech ? C : 0, pick(L"&Automatic", L"&Automaticky")},
        {1, IDM_DISABLED, 'i', 0, pick(L"&Disabled", L"&Vypnuto")},
        {1, 0, 's', 0, L""},
        {1, IDM_LIST_EMPTY, 'i', G, pick(L"<list empty>", L"<prázdný seznam>")},
        {1, 0, 's', 0, L""},
        {1, IDM_ADD_PROGRAM, 'i', 0, pick(L"Add &program\u2026", L"&Přidat program\u2026")},
        {1, 0, 'p', 0, pick(L"&Settings", L"&Nastavení")},
        {2, IDM_METHOD_SCHEME, 'i', 0,
         pick(L"Activate High Performance power scheme", L"Zapínat schéma Vysoký výkon")},
        {2, IDM_METHOD_MIN_FREQUENCY, 'i', 0,
         pick(L"Increase minimal CPU frequency to 100%", L"Zvýšit minimální frekvenci CPU")},
        {2, 0, 's', 0, L""},
        {2, IDM_BORDERS, 'i', czech ? C : 0, pick(L"Icon borders", L"Okraje ikony")},
        {2, IDM_COLOR_BORDER, 'i', 0, pick(L"Icon borders color\u2026", L"Barva okrajů ikony\u2026")},
        {2, IDM_COLOR_FREQUENCY, 'i', 0, pick(L"Icon frequency color\u2026", L"Barva frekvence\u2026")},
        {2, IDM_COLOR_ACTIVE, 'i', 0, pick(L"Icon activity color\u2026", L"Barva plné aktivity\u2026")},
        {2, 0, 's', 0, L""},
        {2, IDM_LANG_ENGLISH, 'i', 0, L"English"},
        {2, IDM_LANG_CZECH, 'i', 0, L"Čeština"},
        {1, 0, 'p', 0, pick(L"Ab&out", L"&O programu")},
        {2, IDM_PRODUCT_PAGE, 'i', 0, pick(L"Veltrana, version 1.2.0.479", L"Veltrana, verze 1.2.0.479")},
        {2, IDM_HOMEPAGE, 'i', 0, L"www.korvath.example\u2026"},
        {2, 0, 's', 0, L""},
        {2, IDM_COPYRIGHT, 'i', G, L"\u00A9 2026 Korvath. All rights reserved."},
        {1, 0, 's', 0, L""},
        {1, IDM_EXIT, 'i', 0, pick(L"Exi&t", L"Ukonči&t")},
    };
}

std::vector<Item> ProgramMenu(bool czech) {
    auto pick = [czech](const wchar_t* english, const wchar_t* czechText) {
        return czech ? czechText : english;
    };
    return {
        {0, 0, 'p', 0, L""},
        // The grey path line: a template item without text loads as a separator, until the
        // watch list gives it its path.
        {1, 0, 's', G, L""},
        {1, 0, 's', 0, L""},
        {1, 0, 'i', 0, pick(L"Allow full throttling", L"Povolit plný výkon")},
        {1, 0, 'i', 0, pick(L"Disable full throttling", L"Zakázat plný výkon")},
        {1, 0, 'i', 0, pick(L"Remove", L"Odstranit")},
    };
}

TEST_F(LocalizedTest, MenusLoadInTheChosenLanguageExactlyAsDesigned) {
    for (LANGID language : {kEnglish, kCzech}) {
        SCOPED_TRACE(language);
        g_preferredLanguage = language;
        for (UINT menu : {IDR_TRAY_MENU, IDR_PROGRAM_MENU}) {
            EXPECT_EQ(language,
                      ChooseResourceLanguage(GetModuleHandleW(NULL), RT_MENU, MAKEINTRESOURCEW(menu)));
        }
        ExpectMenu(IDR_TRAY_MENU, TrayMenu(language == kCzech));
        ExpectMenu(IDR_PROGRAM_MENU, ProgramMenu(language == kCzech));
    }
}

TEST_F(LocalizedTest, ProgramMenuPathLineTakesAPathAndStaysGrey) {
    HMENU menu = LoadLocalizedMenu(IDR_PROGRAM_MENU);
    ASSERT_TRUE(menu);
    HMENU submenu = GetSubMenu(menu, 0);
    wchar_t path[] = L"C:\\Games\\Other.exe";
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_TYPE;
    info.fType = MFT_STRING;
    info.dwTypeData = path;
    ASSERT_TRUE(SetMenuItemInfoW(submenu, 0, TRUE, &info));
    wchar_t text[64] = L"";
    GetMenuStringW(submenu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(path, text);
    EXPECT_EQ(0u, GetMenuItemID(submenu, 0));
    UINT state = GetMenuState(submenu, 0, MF_BYPOSITION);
    EXPECT_EQ(MF_GRAYED, state & (MF_GRAYED | MF_SEPARATOR | MF_POPUP));
    DestroyMenu(menu);
}

TEST_F(LocalizedTest, StringTableHoldsTheDialogTextsInBothLanguages) {
    const wchar_t* const expected[2][3] = {
        {L"Select EXE of program to add to list\u2026", L"Programs (*.exe)", L"All files (*.*)"},
        {L"Zvolte soubor EXE programu pro přidání do seznamu\u2026", L"Programy (*.exe)",
         L"Všechny soubory (*.*)"},
    };
    for (int czech = 0; czech < 2; ++czech) {
        g_preferredLanguage = czech ? kCzech : kEnglish;
        LocalizedResource block =
            FindLocalizedResource(GetModuleHandleW(NULL), RT_STRING, MAKEINTRESOURCEW(2));
        ASSERT_TRUE(block.data);
        EXPECT_EQ(g_preferredLanguage, block.language);
        for (unsigned slot = 0; slot < 16; ++slot) {
            const void* text;
            uint32_t length;
            bool found = FindStringInBlock(block.data, block.size, slot, &text, &length);
            EXPECT_EQ(slot < 3, found) << slot;
            if (found && slot < 3) {
                std::wstring copy(length, L' ');
                memcpy(&copy[0], text, length * 2);
                EXPECT_EQ(std::wstring(expected[czech][slot]), copy);
            }
        }
    }
}

TEST_F(LocalizedTest, AbsentResourcesGiveNothing) {
    HMODULE self = GetModuleHandleW(NULL);
    EXPECT_EQ(NULL, LoadLocalizedMenu(3));
    EXPECT_EQ(0, ChooseResourceLanguage(self, RT_MENU, MAKEINTRESOURCEW(3)));
    LocalizedResource none = FindLocalizedResource(self, RT_STRING, MAKEINTRESOURCEW(1));
    EXPECT_EQ(nullptr, none.data);
    EXPECT_EQ(0u, none.size);
    EXPECT_EQ(0, none.language);
}

TEST_F(LocalizedTest, DefaultLanguagesDecideWithoutAPreference) {
    HMODULE self = GetModuleHandleW(NULL);
    s_fakeUserLanguage = kCzech;
    s_fakeSystemLanguage = kEnglish;
    EXPECT_EQ(kCzech, ChooseResourceLanguage(self, RT_MENU, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    EXPECT_EQ(kCzech, FindLocalizedResource(self, RT_STRING, MAKEINTRESOURCEW(2)).language);
    // German (Austria) on a German system: no German entries, so English.
    s_fakeUserLanguage = 0x0C07;
    s_fakeSystemLanguage = 0x0407;
    EXPECT_EQ(kEnglish, ChooseResourceLanguage(self, RT_MENU, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    s_fakeSystemLanguage = kCzech;
    EXPECT_EQ(kCzech, ChooseResourceLanguage(self, RT_MENU, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
}

// The cache only grows for the life of the process, so every string that exists is loaded
// here and nowhere else in this program.
TEST_F(LocalizedTest, StringsAreCachedInTheLanguageOfTheirFirstLoad) {
    ASSERT_EQ(0u, g_stringCacheCount);
    g_preferredLanguage = kEnglish;
    const wchar_t* programs = LoadLocalizedString(IDS_FILTER_PROGRAMS);
    ASSERT_TRUE(programs);
    EXPECT_STREQ(L"Programs (*.exe)", programs);
    EXPECT_EQ(programs, LoadLocalizedString(IDS_FILTER_PROGRAMS));
    EXPECT_EQ(1u, g_stringCacheCount);

    g_preferredLanguage = kCzech;
    EXPECT_EQ(programs, LoadLocalizedString(IDS_FILTER_PROGRAMS));
    EXPECT_STREQ(L"Programs (*.exe)", programs);
    EXPECT_STREQ(L"Zvolte soubor EXE programu pro přidání do seznamu\u2026",
                 LoadLocalizedString(IDS_ADD_TITLE));
    EXPECT_STREQ(L"Všechny soubory (*.*)", LoadLocalizedString(IDS_FILTER_ALL));

    ASSERT_EQ(3u, g_stringCacheCount);
    const UINT order[] = {IDS_FILTER_PROGRAMS, IDS_ADD_TITLE, IDS_FILTER_ALL};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(order[i], g_stringCache[i].id);
        EXPECT_EQ(GetModuleHandleW(NULL), g_stringCache[i].module);
    }
    // Room for one entry, then doubled twice.
    EXPECT_EQ(4 * sizeof(CachedString), HeapSize(GetProcessHeap(), 0, g_stringCache));
}

TEST_F(LocalizedTest, AbsentStringsAreNeitherFoundNorCached) {
    g_preferredLanguage = kEnglish;
    DWORD count = g_stringCacheCount;
    // Empty slots of block 2, ids in blocks that do not exist, the highest id still looked up.
    for (UINT id : {19u, 31u, 0u, 15u, 100u, 0xFFFEFu}) {
        unsigned before = s_enumerations;
        EXPECT_EQ(nullptr, LoadLocalizedString(id)) << id;
        EXPECT_EQ(before + 1, s_enumerations) << id;
    }
    // Ids whose block number does not fit in 16 bits are not looked up at all.
    for (UINT id : {0xFFFF0u, 0xFFFFFFFFu}) {
        unsigned before = s_enumerations;
        EXPECT_EQ(nullptr, LoadLocalizedString(id)) << id;
        EXPECT_EQ(before, s_enumerations) << id;
    }
    EXPECT_EQ(count, g_stringCacheCount);
}

} // namespace
