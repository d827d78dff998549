// Automatic mode against real processes: copies of a small program started from different
// folders, matched against the watch list pass by pass.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "menu/commands.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "power/boost.h"
#include "power/power_functions.h"
#include "program_runner.h"
#include "recording_power.h"
#include "resources/localized.h"
#include "scratch_registry.h"
#include "settings/settings.h"
#include "watcher/process_scan.h"
#include "wine_paths.h"

extern "C" BOOLEAN WINAPI CanUserWritePwrScheme(void) {
    return TRUE;
}

namespace {

class ProcessScanTest : public IsolatedRegistryTest {
  protected:
    static std::wstring s_folder; // this run's copies of the sleeper
    std::vector<RunningProgram> started;

    static void SetUpTestSuite() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        s_folder = std::wstring(temp) + L"veltrana-watch-" + std::to_wstring(GetCurrentProcessId());
        std::wstring sleeper = PathFromEnvironment("SLEEPER");
        for (const wchar_t* copy : {L"", L"\\a", L"\\b"}) {
            CreateDirectoryW((s_folder + copy).c_str(), NULL);
            CopyFileW(sleeper.c_str(), (s_folder + copy + L"\\Game.exe").c_str(), FALSE);
        }
    }
    static void TearDownTestSuite() {
        for (const wchar_t* copy : {L"\\a", L"\\b", L""}) {
            DeleteFileW((s_folder + copy + L"\\Game.exe").c_str());
            RemoveDirectoryW((s_folder + copy).c_str());
        }
    }

    void SetUp() override {
        IsolatedRegistryTest::SetUp();
        UseRecordingPowerManager();
        g_boostMethod = 0;
        g_preferredLanguage = 0x0409;
        g_trayMenu = LoadTrayMenu();
        ASSERT_TRUE(g_trayMenu != NULL);
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
        ASSERT_TRUE(CreateProcessTable());
        g_reevaluate = 0;
    }
    void TearDown() override {
        for (RunningProgram& program : started)
            EndProgram(&program);
        ReleaseBoost();
        SIZE_T capacity = HeapSize(GetProcessHeap(), 0, g_processTable) / sizeof(TrackedProcess);
        for (SIZE_T i = 0; i < capacity; ++i)
            if (g_processTable[i].id) {
                CloseHandle(g_processTable[i].handle);
                HeapFree(GetProcessHeap(), 0, g_processTable[i].path);
            }
        HeapFree(GetProcessHeap(), 0, g_processTable);
        g_processTable = NULL;
        for (UINT slot = 0; slot < kWatchListSlots; ++slot) {
            HeapFree(GetProcessHeap(), 0, g_watchList[slot].path);
            g_watchList[slot] = {};
        }
        DestroyMenu(g_trayMenu);
        IsolatedRegistryTest::TearDown();
    }

    // Starts a copy; returns the image path Windows reports for it.
    std::wstring Start(const wchar_t* copy) {
        RunningProgram program = StartProgram(s_folder + copy + L"\\Game.exe", L"");
        EXPECT_TRUE(program.process != NULL);
        started.push_back(program);
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        QueryFullProcessImageNameW(program.process, 0, path, &size);
        return path;
    }
    void End(size_t index) {
        TerminateProcess(started[index].process, 0);
        WaitForSingleObject(started[index].process, 5000);
    }
    // Puts a program on the watch list (slot and registry), as the add command would.
    void Watch(UINT slot, const std::wstring& path, DWORD enabled) {
        PutSettingString((L"program#" + std::to_wstring(slot)).c_str(), path.c_str());
        PutSettingDword((L"program#" + std::to_wstring(slot) + L"::enabled").c_str(), enabled);
    }
    static bool EntryChecked(UINT slot) {
        return (GetMenuState(g_trayMenu, WatchListEntryPosition(slot), MF_BYPOSITION) & MF_CHECKED) != 0;
    }
    static SIZE_T Capacity() {
        return HeapSize(GetProcessHeap(), 0, g_processTable) / sizeof(TrackedProcess);
    }
    static SIZE_T Tracked() {
        SIZE_T count = 0;
        for (SIZE_T i = 0; i < Capacity(); ++i)
            count += g_processTable[i].id != 0;
        return count;
    }
    // Fills table entries with stand-ins whose handles are events: set, they read as ended.
    std::vector<HANDLE> FillWithStandIns(SIZE_T count) {
        std::vector<HANDLE> events;
        for (SIZE_T i = 0; i < count; ++i) {
            HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
            events.push_back(event);
            g_processTable[i] = {static_cast<DWORD>(0x7FFF0000 + i), event, DuplicateString(L"X:\\none.exe")};
        }
        return events;
    }
};
std::wstring ProcessScanTest::s_folder;

typedef std::vector<std::string> Power;

TEST_F(ProcessScanTest, WatchedProgramEngagesWhileItRuns) {
    std::wstring path = Start(L"\\a");
    Watch(3, path, 1);
    LoadWatchList();
    ScanProcesses();
    EXPECT_TRUE(g_engaged);
    EXPECT_TRUE(EntryChecked(3));
    ScanProcesses(); // nothing changed: nothing done
    EXPECT_EQ(Power({"HP"}), g_schemeSwitches);
    End(0);
    ScanProcesses();
    EXPECT_FALSE(g_engaged);
    EXPECT_FALSE(EntryChecked(3));
    EXPECT_EQ(Power({"HP", "B"}), g_schemeSwitches);
}

TEST_F(ProcessScanTest, TwoCopiesKeepTheBoostUntilBothEnd) {
    std::wstring path = Start(L"\\a");
    EXPECT_EQ(path, Start(L"\\a"));
    Watch(0, path, 1);
    LoadWatchList();
    ScanProcesses();
    End(0);
    ScanProcesses();
    EXPECT_TRUE(g_engaged);
    EXPECT_TRUE(EntryChecked(0));
    End(1);
    ScanProcesses();
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ(Power({"HP", "B"}), g_schemeSwitches);
}

TEST_F(ProcessScanTest, DisabledEntryNeitherChecksNorEngagesUntilAllowed) {
    std::wstring path = Start(L"\\a");
    Watch(1, path, 0);
    LoadWatchList();
    ScanProcesses();
    EXPECT_FALSE(g_engaged);
    EXPECT_FALSE(EntryChecked(1));
    HandleMenuCommand(NULL, IDM_PROGRAM_BASE + 16 * 1 + IDM_PROGRAM_ALLOW);
    ScanProcesses();
    EXPECT_TRUE(g_engaged);
    EXPECT_TRUE(EntryChecked(1));
}

TEST_F(ProcessScanTest, MatchingIsExactAndCaseSensitive) {
    std::wstring path = Start(L"\\a");
    std::wstring other = path;
    other[other.size() - 8] = towlower(other[other.size() - 8]); // "Game.exe" -> "game.exe"
    ASSERT_NE(path, other);
    Watch(0, path, 1);
    Watch(5, path, 1);
    Watch(9, other, 1);
    Watch(11, s_folder + L"\\b\\Game.exe", 1); // the same program from another folder, not running
    LoadWatchList();
    ScanProcesses();
    EXPECT_TRUE(EntryChecked(0));
    EXPECT_TRUE(EntryChecked(5));
    EXPECT_FALSE(EntryChecked(9));
    EXPECT_FALSE(EntryChecked(11));
}

TEST_F(ProcessScanTest, OtherModesTouchNothing) {
    std::wstring path = Start(L"\\a");
    Watch(0, path, 1);
    LoadWatchList();
    for (UINT mode : {IDM_FULL_THROTTLE, IDM_DISABLED}) {
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, mode, MF_BYCOMMAND);
        g_reevaluate = 1;
        ScanProcesses();
        EXPECT_EQ(0u, Tracked()) << mode;
        EXPECT_FALSE(EntryChecked(0));
        EXPECT_TRUE(g_schemeSwitches.empty());
        EXPECT_TRUE(g_reevaluate); // kept for the first pass back in Automatic
    }
    CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
    ScanProcesses();
    EXPECT_TRUE(g_engaged);
}

TEST_F(ProcessScanTest, MethodChangedWhileEngagedReengagesByTheNewMethodAtTheNextPass) {
    std::wstring path = Start(L"\\b");
    Watch(0, path, 1);
    LoadWatchList();
    ScanProcesses();
    ASSERT_EQ(Power({"HP"}), g_schemeSwitches);
    HandleMenuCommand(NULL, IDM_METHOD_MIN_FREQUENCY);
    EXPECT_FALSE(g_engaged);
    ScanProcesses();
    EXPECT_TRUE(g_engaged);
    EXPECT_EQ(Power({"HP", "B", "min=100", "min=100", "B"}), g_schemeSwitches);
    g_boostMethod = 0; // the store is this test's own
}

TEST_F(ProcessScanTest, TableGrowsPastItsFirst128EntriesAndReusesFreedOnes) {
    ASSERT_EQ(128u, Capacity());
    std::vector<HANDLE> standIns = FillWithStandIns(128);
    std::wstring path = Start(L"\\a");
    ScanProcesses();
    EXPECT_EQ(256u, Capacity());
    SIZE_T tracked = Tracked();
    EXPECT_GT(tracked, 128u); // the stand-ins and the processes of the prefix
    bool found = false;
    for (SIZE_T i = 128; i < Capacity(); ++i)
        found |= g_processTable[i].id == started[0].id;
    EXPECT_TRUE(found);

    SetEvent(standIns[5]); // one stand-in ends; the next new process takes its entry
    Start(L"\\b");
    ScanProcesses();
    EXPECT_EQ(started[1].id, g_processTable[5].id);
    EXPECT_EQ(256u, Capacity());
    EXPECT_EQ(tracked + 1 - 1, Tracked());
}

TEST_F(ProcessScanTest, ManyEndingsAcrossBatchesAreAllDroppedInOnePass) {
    std::vector<HANDLE> standIns = FillWithStandIns(128);
    ScanProcesses();
    SIZE_T tracked = Tracked();
    // 100 ends, spread over every batch of 64.
    for (SIZE_T i = 0; i < 128; ++i)
        if (i % 4 != 0)
            SetEvent(standIns[i]);
    ScanProcesses();
    EXPECT_EQ(tracked - 96, Tracked());
    for (SIZE_T i = 0; i < 128; ++i)
        EXPECT_EQ(i % 4 == 0, g_processTable[i].id != 0) << i;
}

TEST_F(ProcessScanTest, ProcessIdListEndsInZero) {
    DWORD count = 0;
    DWORD* ids = EnumerateProcessIds(&count);
    ASSERT_TRUE(ids != NULL);
    EXPECT_GT(count, 1u);
    EXPECT_EQ(0u, ids[count]);
    bool self = false;
    for (DWORD i = 0; i < count; ++i)
        self |= ids[i] == GetCurrentProcessId();
    EXPECT_TRUE(self);
    HeapFree(GetProcessHeap(), 0, ids);
    EXPECT_EQ(nullptr, DuplicateString(NULL));
    wchar_t* copy = DuplicateString(L"C:\\x.exe");
    EXPECT_STREQ(L"C:\\x.exe", copy);
    HeapFree(GetProcessHeap(), 0, copy);
}

} // namespace
