// Automatic mode against real processes: copies of a small program, started by the test, matched
// against the watch list pass by pass, and ended by their own handles.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <algorithm>
#include <set>

#include "common/flags.h"
#include "fake_power.h"
#include "menu/commands.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "power/boost.h"
#include "scratch_registry.h"
#include "settings/settings.h"
#include "watcher/process_scan.h"
#include "watcher/process_table.h"

static const wchar_t* const kCopies[] = {L"Game.exe", L"Ra\u00ADcer.exe"}; // the second with a soft hyphen
static std::wstring s_folder;
typedef std::vector<std::string> Calls;

class ProcessScanTest : public IsolatedRegistryTest {
  protected:
    std::vector<PROCESS_INFORMATION> started;
    std::set<UINT> watched;

    // Copies of the sleeper (SLEEPER, a Unix path: drive Z: under Wine) in a folder of this run.
    static void SetUpTestSuite() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        s_folder = temp + (L"veltrana-watch-" + std::to_wstring(GetCurrentProcessId()) + L"\\");
        std::wstring sleeper = L"Z:";
        for (const char* c = getenv("SLEEPER"); c && *c; ++c)
            sleeper += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
        CreateDirectoryW(s_folder.c_str(), NULL);
        for (const wchar_t* copy : kCopies)
            ASSERT_TRUE(CopyFileW(sleeper.c_str(), (s_folder + copy).c_str(), FALSE));
    }
    static void TearDownTestSuite() {
        for (const wchar_t* copy : kCopies)
            DeleteFileW((s_folder + copy).c_str());
        RemoveDirectoryW(s_folder.c_str());
    }
    void SetUp() override {
        IsolatedRegistryTest::SetUp();
        UseFakePower();
        g_boostMethod = 0, g_trayMenu = LoadTrayMenu();
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
        ASSERT_TRUE(CreateProcessTable());
    }
    void TearDown() override {
        for (size_t i = 0; i < started.size(); ++i)
            End(i), CloseHandle(started[i].hProcess), CloseHandle(started[i].hThread);
        ReleaseBoost();
        for (SIZE_T i = 0; i < Capacity(); ++i)
            CloseHandle(g_processTable[i].handle), HeapFree(GetProcessHeap(), 0, g_processTable[i].path);
        HeapFree(GetProcessHeap(), 0, g_processTable), DestroyMenu(g_trayMenu);
        IsolatedRegistryTest::TearDown();
    }
    // Starts a copy and waits until Windows can name it; returns the path Windows reports.
    std::wstring Start(int copy) {
        STARTUPINFOW startup = {
            sizeof(startup), NULL, NULL, NULL, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL};
        started.push_back({});
        EXPECT_TRUE(CreateProcessW((s_folder + kCopies[copy]).c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL,
                                   &startup, &started.back()));
        wchar_t path[MAX_PATH] = L"";
        DWORD size, deadline = GetTickCount() + 10000;
        while (!QueryFullProcessImageNameW(started.back().hProcess, 0, path, &(size = MAX_PATH)) &&
               GetTickCount() < deadline)
            Sleep(10);
        return path;
    }
    void End(size_t i) {
        TerminateProcess(started[i].hProcess, 0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started[i].hProcess, 10000));
    }
    // Puts a program on the watch list, as the add command would.
    void Watch(UINT slot, const std::wstring& path, DWORD enabled) {
        watched.insert(slot);
        PutSettingString((L"program#" + std::to_wstring(slot)).c_str(), path.c_str());
        PutSettingDword((L"program#" + std::to_wstring(slot) + L"::enabled").c_str(), enabled);
        LoadWatchList(), g_reevaluate = 1;
    }
    // One pass; then the watched slots whose entries are checked, and the boost.
    std::string Pass() {
        ScanProcesses();
        std::string state;
        for (UINT slot : watched)
            if (GetMenuState(g_trayMenu, WatchListEntryPosition(slot), MF_BYPOSITION) & MF_CHECKED)
                state += std::to_string(slot) + " ";
        return state + (g_engaged ? "engaged" : "released");
    }
    static SIZE_T Capacity() {
        return HeapSize(GetProcessHeap(), 0, g_processTable) / sizeof(TrackedProcess);
    }
    static SIZE_T Where(DWORD id) { // the entry that tracks a process, or the capacity
        SIZE_T i = 0;
        while (i < Capacity() && g_processTable[i].id != id)
            ++i;
        return i;
    }
    // Stand-in entries whose handles are events: set, they read as ended.
    static std::vector<HANDLE> FillWithStandIns(DWORD count) {
        std::vector<HANDLE> events;
        for (DWORD i = 0; i < count; ++i) {
            events.push_back(CreateEventW(NULL, TRUE, FALSE, NULL));
            g_processTable[i] = {0x7FFF0000 + i, events.back(), DuplicateString(L"X:\\none.exe")};
        }
        return events;
    }
};

TEST_F(ProcessScanTest, WatchedProgramKeepsTheBoostWhileAnyCopyRuns) {
    const std::wstring path = Start(0);
    EXPECT_EQ(path, Start(0));
    Watch(3, path, 1);
    Watch(9, path, 1);
    EXPECT_EQ("3 9 engaged", Pass());
    EXPECT_EQ("3 9 engaged", Pass()); // nothing changed: nothing done
    End(0);
    EXPECT_EQ("3 9 engaged", Pass());
    End(1);
    EXPECT_EQ("released", Pass());
    EXPECT_EQ((Calls{"GetActive", "SetActive(HP)", "SetActive(B)"}), TakePowerCalls());
}

// Paths match unit by unit: not in another letter case, nor without the soft hyphen that a
// locale-aware comparison ignores. A disabled entry never counts until it is allowed.
TEST_F(ProcessScanTest, OnlyTheExactPathOfAnEnabledEntryMatches) {
    const std::wstring game = Start(0), racer = Start(1);
    std::wstring lower = game, plain = racer;
    lower[lower.rfind(L'G')] = L'g';
    plain.erase(plain.find(L'\u00AD'), 1);
    Watch(0, lower, 1);
    Watch(1, plain, 1);
    Watch(2, game, 0);
    EXPECT_EQ("released", Pass());
    Watch(3, racer, 1);
    EXPECT_EQ("3 engaged", Pass());
    HandleMenuCommand(NULL, IDM_PROGRAM_BASE + 16 * 2 + IDM_PROGRAM_ALLOW);
    EXPECT_EQ("2 3 engaged", Pass());
}

// In the other modes a pass neither drops ended processes nor takes new ones, and leaves the
// check marks and the boost as they are; back in Automatic the next pass catches up.
TEST_F(ProcessScanTest, OtherModesTouchNothing) {
    Watch(0, Start(0), 1);
    EXPECT_EQ("0 engaged", Pass());
    End(0);
    Start(0);
    for (UINT mode : {IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC}) {
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, mode, MF_BYCOMMAND);
        EXPECT_EQ("0 engaged", Pass()) << mode;
        EXPECT_EQ(mode != IDM_AUTOMATIC, Where(started[0].dwProcessId) < Capacity()) << mode;
        EXPECT_EQ(mode == IDM_AUTOMATIC, Where(started[1].dwProcessId) < Capacity()) << mode;
    }
}

TEST_F(ProcessScanTest, MethodChangedWhileEngagedReengagesByTheNewMethodAtTheNextPass) {
    Watch(0, Start(0), 1);
    EXPECT_EQ("0 engaged", Pass());
    TakePowerCalls();
    HandleMenuCommand(NULL, IDM_METHOD_MIN_FREQUENCY);
    EXPECT_FALSE(g_engaged);
    EXPECT_EQ("0 engaged", Pass());
    EXPECT_EQ((Calls{"SetActive(B)", "GetActive", "ReadAC(B)", "WriteAC(B, 100)", "ReadDC(B)",
                     "WriteDC(B, 100)", "SetActive(B)"}),
              TakePowerCalls());
}

// The table grows by doubling once its 128 entries are taken. Ended processes are dropped in
// one pass even when more than one batch of 64 holds them, and new ones reuse their entries.
TEST_F(ProcessScanTest, TableGrowsAndAllEndingsAreDroppedInOnePass) {
    std::vector<HANDLE> standIns = FillWithStandIns(128);
    Start(0);
    ScanProcesses();
    EXPECT_EQ(256u, Capacity());
    EXPECT_TRUE(Where(started[0].dwProcessId) >= 128 && Where(started[0].dwProcessId) < 256);
    for (size_t i = 0; i < 128; ++i) // 96 end, in both batches and next to each other
        if (i % 4 != 0)
            SetEvent(standIns[i]);
    Start(0);
    ScanProcesses();
    for (size_t i = 0; i < 128; ++i)
        EXPECT_EQ(i % 4 == 0 || i == 1, g_processTable[i].id != 0) << i;
    EXPECT_EQ(1u, Where(started[1].dwProcessId)); // the first free entry
    EXPECT_EQ(256u, Capacity());
}

TEST_F(ProcessScanTest, ProcessIdListEndsInZero) {
    DWORD count = 0;
    DWORD* ids = EnumerateProcessIds(&count);
    ASSERT_TRUE(ids != NULL);
    EXPECT_EQ(0u, ids[count]);
    EXPECT_NE(ids + count, std::find(ids, ids + count, GetCurrentProcessId()));
    HeapFree(GetProcessHeap(), 0, ids);
}
