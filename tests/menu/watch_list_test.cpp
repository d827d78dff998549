// The watch list as the registry holds it and the tray menu shows it, and the add, allow,
// disable and remove commands.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "menu/commands.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "menu_seams.h"
#include "resources/localized.h"
#include "scratch_registry.h"
#include "watcher/process_scan.h"

namespace {

std::wstring ProgramName(UINT slot) {
    return L"program#" + std::to_wstring(slot);
}
std::wstring EnabledName(UINT slot) {
    return ProgramName(slot) + L"::enabled";
}
UINT Command(UINT slot, UINT k) {
    return IDM_PROGRAM_BASE + 16 * slot + k;
}

// The open-file dialog answering with one path, as if the user picked it.
std::function<BOOL(OPENFILENAMEW*)> Picks(const std::wstring& path) {
    return [path](OPENFILENAMEW* dialog) {
        lstrcpynW(dialog->lpstrFile, path.c_str(), dialog->nMaxFile);
        return TRUE;
    };
}

class WatchListTest : public IsolatedRegistryTest {
  protected:
    void SetUp() override {
        IsolatedRegistryTest::SetUp();
        ResetMenuSeams();
        g_preferredLanguage = 0x0409;
        g_trayMenu = LoadTrayMenu();
        ASSERT_TRUE(g_trayMenu != NULL);
        baseItems = GetMenuItemCount(g_trayMenu);
    }
    void TearDown() override {
        ClearWatchList();
        DestroyMenu(g_trayMenu);
        g_trayMenu = NULL;
        g_preferredLanguage = 0;
        IsolatedRegistryTest::TearDown();
    }
    void PutProgram(UINT slot, const std::wstring& path, DWORD enabled) {
        PutSettingString(ProgramName(slot).c_str(), path.c_str());
        PutSettingDword(EnabledName(slot).c_str(), enabled);
    }
    static std::wstring TextAt(UINT position) {
        wchar_t text[300] = {};
        GetMenuStringW(g_trayMenu, position, text, 300, MF_BYPOSITION);
        return text;
    }
    // The grey first line of an entry's submenu: the full path.
    static std::wstring PathLineAt(UINT position) {
        wchar_t text[600] = {};
        GetMenuStringW(GetSubMenu(g_trayMenu, position), 0, text, 600, MF_BYPOSITION);
        return text;
    }
    static bool Grey(UINT id) { return (GetMenuState(g_trayMenu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }
    static bool IsSeparator(UINT position) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE;
        return GetMenuItemInfoW(g_trayMenu, position, TRUE, &item) && (item.fType & MFT_SEPARATOR);
    }
    int baseItems = 0;
};

TEST_F(WatchListTest, EntriesStandInDescendingSlotOrderAndAnAddFillsTheGap) {
    PutProgram(0, L"C:\\Games\\Zero.exe", 1);
    PutProgram(7, L"C:\\Games\\Seven.exe", 1);
    LoadWatchList();
    EXPECT_EQ(L"C:\\Games\\Seven.exe", PathLineAt(4));
    EXPECT_EQ(L"C:\\Games\\Zero.exe", PathLineAt(5));
    EXPECT_EQ(baseItems + 1, GetMenuItemCount(g_trayMenu)); // two entries in, the placeholder out
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuState(g_trayMenu, IDM_LIST_EMPTY, MF_BYCOMMAND));

    g_openFileDialog = Picks(L"C:\\Tools\\One.exe");
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(L"C:\\Tools\\One.exe", PathLineAt(5));
    EXPECT_EQ(L"C:\\Games\\Zero.exe", PathLineAt(6));
    EXPECT_STREQ(L"C:\\Tools\\One.exe", g_watchList[1].path);
    EXPECT_TRUE(g_reevaluate);
    // The slot's commands, and the values the add wrote.
    HMENU submenu = GetSubMenu(g_trayMenu, 5);
    EXPECT_EQ(Command(1, 1), GetMenuItemID(submenu, 2));
    EXPECT_EQ(Command(1, 2), GetMenuItemID(submenu, 3));
    EXPECT_EQ(Command(1, 3), GetMenuItemID(submenu, 4));
    EXPECT_EQ(0u, GetMenuItemID(submenu, 0));
    wchar_t stored[64] = {};
    DWORD type = 0, size = sizeof(stored);
    ASSERT_TRUE(GetSettingValue(ProgramName(1).c_str(), &type, stored, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ((wcslen(L"C:\\Tools\\One.exe") + 1) * 2, size);
    DWORD enabled = 0;
    EXPECT_TRUE(GetSettingDword(EnabledName(1).c_str(), &enabled));
    EXPECT_EQ(1u, enabled);
}

TEST_F(WatchListTest, EnabledValueDecidesWhichCommandIsGrey) {
    PutSettingString(ProgramName(3).c_str(), L"C:\\a.exe"); // no enabled value beside it
    PutProgram(5, L"C:\\b.exe", 2);
    LoadWatchList();
    EXPECT_FALSE(g_watchList[3].enabled);
    EXPECT_FALSE(Grey(Command(3, 1))); // allow
    EXPECT_TRUE(Grey(Command(3, 2)));  // disable
    EXPECT_TRUE(g_watchList[5].enabled);
    EXPECT_TRUE(Grey(Command(5, 1)));
    EXPECT_FALSE(Grey(Command(5, 2)));

    HandleMenuCommand(NULL, Command(3, 1));
    EXPECT_TRUE(g_watchList[3].enabled);
    EXPECT_TRUE(Grey(Command(3, 1)));
    EXPECT_FALSE(Grey(Command(3, 2)));
    DWORD value = 7;
    EXPECT_TRUE(GetSettingDword(EnabledName(3).c_str(), &value));
    EXPECT_EQ(1u, value);
    g_reevaluate = 0;
    HandleMenuCommand(NULL, Command(3, 2));
    EXPECT_FALSE(g_watchList[3].enabled);
    EXPECT_TRUE(GetSettingDword(EnabledName(3).c_str(), &value));
    EXPECT_EQ(0u, value);
    EXPECT_TRUE(g_reevaluate);
}

TEST_F(WatchListTest, PathsOfOtherTypesAreSkippedAndTheirSlotsReused) {
    const wchar_t expand[] = L"%ProgramFiles%\\x.exe";
    PutSettingValue(ProgramName(0).c_str(), REG_EXPAND_SZ, expand, sizeof(expand));
    PutSettingDword(ProgramName(1).c_str(), 12);
    PutSettingDword(EnabledName(1).c_str(), 0);
    PutProgram(2048, L"C:\\beyond.exe", 1); // slot numbers past the list are never read
    LoadWatchList();
    for (UINT slot : {0u, 1u})
        EXPECT_EQ(nullptr, g_watchList[slot].path);
    EXPECT_NE(static_cast<UINT>(-1), GetMenuState(g_trayMenu, IDM_LIST_EMPTY, MF_BYCOMMAND));
    EXPECT_EQ(baseItems, GetMenuItemCount(g_trayMenu));

    g_openFileDialog = Picks(L"C:\\new.exe");
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    DWORD type = 0, size = 0;
    ASSERT_TRUE(GetSettingValue(ProgramName(1).c_str(), &type, NULL, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    DWORD enabled = 0;
    EXPECT_TRUE(GetSettingDword(EnabledName(1).c_str(), &enabled));
    EXPECT_EQ(1u, enabled);
}

TEST_F(WatchListTest, ValuesReadSafely) {
    // Written without its terminating NUL, and an odd number of bytes.
    const wchar_t bare[] = {L'C', L':', L'\\', L'n', L'.', L'e', L'x', L'e'};
    PutSettingValue(ProgramName(0).c_str(), REG_SZ, bare, sizeof(bare));
    PutSettingValue(ProgramName(1).c_str(), REG_SZ, bare, 5);
    // One whose data cannot be read after its size could.
    PutProgram(2, L"C:\\locked.exe", 1);
    g_failingValueRead = ProgramName(2);
    // Enabled data longer than 4 bytes is not taken as enabled.
    PutSettingString(ProgramName(3).c_str(), L"C:\\long.exe");
    const BYTE eight[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    PutSettingValue(EnabledName(3).c_str(), REG_BINARY, eight, 8);
    LoadWatchList();
    EXPECT_STREQ(L"C:\\n.exe", g_watchList[0].path);
    EXPECT_STREQ(L"C:\\", g_watchList[1].path); // the odd byte lands in a zeroed unit
    EXPECT_EQ(nullptr, g_watchList[2].path);
    EXPECT_STREQ(L"C:\\long.exe", g_watchList[3].path);
    EXPECT_FALSE(g_watchList[3].enabled);
}

TEST_F(WatchListTest, CaptionsAreCompactedFromBothEndsOfLongPaths) {
    std::wstring exact = L"C:\\" + std::wstring(250, L'a') + L"\\b.exe";  // 259 characters
    std::wstring longer = L"C:\\" + std::wstring(251, L'c') + L"\\d.exe"; // 260 characters
    ASSERT_EQ(259u, exact.size());
    ASSERT_EQ(260u, longer.size());
    PutProgram(0, exact, 1);
    PutProgram(1, longer, 1);
    LoadWatchList();
    ASSERT_EQ(2u, g_compactedPaths.size());
    EXPECT_EQ(exact, g_compactedPaths[0]);
    EXPECT_EQ(longer.substr(0, 130) + longer.substr(260 - 129), g_compactedPaths[1]);
    EXPECT_EQ(259u, g_compactedPaths[1].size());
    // The caption fits; the submenu still carries the whole path.
    EXPECT_LT(TextAt(5).size(), exact.size());
    EXPECT_EQ(exact, PathLineAt(5));
    EXPECT_EQ(longer, PathLineAt(4));
}

TEST_F(WatchListTest, CaptionFallsBackToTheFileNameWhenCompactionFails) {
    g_failPathCompaction = true;
    PutProgram(0, L"C:\\Games/Deep\\Racer.exe", 1);
    PutProgram(1, L"D:/Tools/build.exe", 1);
    PutProgram(2, L"plain.exe", 1);
    LoadWatchList();
    EXPECT_EQ(L"\\Racer.exe", TextAt(6));
    EXPECT_EQ(L"/build.exe", TextAt(5));
    EXPECT_EQ(L"plain.exe", TextAt(4));
}

TEST_F(WatchListTest, FullListOpensNoDialog) {
    for (UINT slot = 0; slot < kWatchListSlots; ++slot)
        g_watchList[slot].path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 2));
    g_openFileDialog = Picks(L"C:\\x.exe");
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(0, g_openFileDialogCalls);
    EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(WatchListTest, CancelledAddChangesNothing) {
    g_openFileDialog = [](OPENFILENAMEW*) { return FALSE; };
    g_reevaluate = 0;
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(1, g_openFileDialogCalls);
    EXPECT_EQ(nullptr, g_watchList[0].path);
    EXPECT_FALSE(g_reevaluate);
    EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(WatchListTest, AddAskedForWhileItsDialogIsOpenDoesNotTakeTheSameSlot) {
    // The dialog's message loop lets the tray menu issue a second add meanwhile.
    g_openFileDialog = [](OPENFILENAMEW* dialog) {
        if (g_openFileDialogCalls == 1)
            HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
        lstrcpynW(dialog->lpstrFile, L"C:\\first.exe", dialog->nMaxFile);
        return TRUE;
    };
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(1, g_openFileDialogCalls);
    EXPECT_STREQ(L"C:\\first.exe", g_watchList[0].path);
    EXPECT_EQ(nullptr, g_watchList[1].path);
    EXPECT_EQ(baseItems, GetMenuItemCount(g_trayMenu));
}

TEST_F(WatchListTest, DialogIsBuiltFromTheStringsAndFlags) {
    OPENFILENAMEW seen = {};
    std::wstring filter, title;
    g_openFileDialog = [&](OPENFILENAMEW* dialog) {
        seen = *dialog;
        for (const wchar_t* p = dialog->lpstrFilter; *p; p += wcslen(p) + 1)
            filter += std::wstring(p) + L"|";
        title = dialog->lpstrTitle;
        return FALSE;
    };
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_EQ(L"Programs (*.exe)|*.exe|All files (*.*)|*.*|", filter);
    EXPECT_EQ(L"Select EXE of program to add to list\u2026", title);
    EXPECT_EQ(0x2881004u, seen.Flags);
    EXPECT_EQ(1u, seen.nFilterIndex);
    EXPECT_EQ(32767u, seen.nMaxFile);
    EXPECT_STREQ(L"exe", seen.lpstrDefExt);
    EXPECT_EQ(GetModuleHandleW(NULL), seen.hInstance);
}

TEST_F(WatchListTest, RemovingTheOnlyEntryLeavesTwoSeparators) {
    PutProgram(4, L"C:\\only.exe", 1);
    LoadWatchList();
    HandleMenuCommand(NULL, Command(4, 3));
    EXPECT_EQ(nullptr, g_watchList[4].path);
    EXPECT_TRUE(IsSeparator(3));
    EXPECT_TRUE(IsSeparator(4));
    EXPECT_EQ(baseItems - 1, GetMenuItemCount(g_trayMenu));
    EXPECT_FALSE(SettingValueExists(ProgramName(4).c_str()));
    EXPECT_FALSE(SettingValueExists(EnabledName(4).c_str()));
}

TEST_F(WatchListTest, SameProgramTwiceTakesTwoSlots) {
    g_openFileDialog = Picks(L"C:\\twice.exe");
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    EXPECT_STREQ(L"C:\\twice.exe", g_watchList[0].path);
    EXPECT_STREQ(L"C:\\twice.exe", g_watchList[1].path);
    HandleMenuCommand(NULL, Command(0, 3));
    EXPECT_EQ(nullptr, g_watchList[0].path);
    EXPECT_STREQ(L"C:\\twice.exe", g_watchList[1].path);
    EXPECT_EQ(L"C:\\twice.exe", PathLineAt(4));
    EXPECT_TRUE(SettingValueExists(ProgramName(1).c_str()));
}

TEST_F(WatchListTest, CommandsForFreeSlotsTouchNothing) {
    PutProgram(0, L"C:\\kept.exe", 1);
    LoadWatchList();
    int items = GetMenuItemCount(g_trayMenu);
    // A free slot, the id past the last slot, and a k no item has.
    for (UINT id : {Command(9, 3), Command(9, 1), IDM_PROGRAM_BASE + 0x8000u, Command(0, 7)}) {
        g_reevaluate = 0;
        HandleMenuCommand(NULL, id);
        EXPECT_TRUE(g_reevaluate) << id;
    }
    EXPECT_EQ(items, GetMenuItemCount(g_trayMenu));
    EXPECT_FALSE(SettingValueExists(EnabledName(9).c_str()));
    EXPECT_STREQ(L"C:\\kept.exe", g_watchList[0].path);
}

TEST_F(WatchListTest, AddAndRemoveLeaveNoMenuBehind) {
    g_openFileDialog = Picks(L"C:\\cycle.exe");
    for (int cycle = 0; cycle < 1000; ++cycle) {
        g_loadedMenus.clear();
        HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
        ASSERT_EQ(1u, g_loadedMenus.size());
        HMENU submenu = GetSubMenu(g_trayMenu, 4);
        ASSERT_TRUE(IsMenu(submenu));
        EXPECT_FALSE(IsMenu(g_loadedMenus[0])); // the template's outer menu is gone at once
        HandleMenuCommand(NULL, Command(0, 3));
        ASSERT_FALSE(IsMenu(submenu)) << "cycle " << cycle;
    }
    EXPECT_EQ(baseItems - 1, GetMenuItemCount(g_trayMenu));
}

// The real open-file dialog, answered by a second thread as a user would: type the path of
// an existing program and press OK.
TEST_F(WatchListTest, RealDialogAddsTheChosenProgram) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    struct Answer {
        const wchar_t* path;
        bool found;
    } answer = {self, false};
    HANDLE thread = CreateThread(
        NULL, 0,
        [](void* parameter) -> DWORD {
            Answer* a = static_cast<Answer*>(parameter);
            for (int i = 0; i < 200 && !a->found; ++i) {
                Sleep(50);
                HWND dialog = FindWindowW(NULL, L"Select EXE of program to add to list\u2026");
                if (!dialog)
                    continue;
                a->found = true;
                // The file name box is a combo box with an edit control inside.
                HWND name = GetDlgItem(dialog, 0x47C);
                HWND edit = name ? FindWindowExW(name, NULL, L"Edit", NULL) : NULL;
                SendMessageW(edit ? edit : name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a->path));
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            }
            return 0;
        },
        &answer, 0, NULL);
    HandleMenuCommand(NULL, IDM_ADD_PROGRAM);
    WaitForSingleObject(thread, 15000);
    CloseHandle(thread);
    ASSERT_TRUE(answer.found) << "no open-file dialog appeared";
    ASSERT_TRUE(g_watchList[0].path != NULL);
    EXPECT_EQ(0, lstrcmpiW(self, g_watchList[0].path));
    EXPECT_TRUE(SettingValueExists(ProgramName(0).c_str()));
}

} // namespace
