// Automatic mode against real processes: copies of a small program, started by the test, matched
// against the watch list pass by pass, and ended by their own handles.
#include <gtest/gtest.h>

#include "common/flags.h"
#include "fake_power.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "menu/watch_list.h"
#include "power/boost.h"
#include "scratch_registry.h"
#include "seams.h"
#include "settings/settings.h"
#include "watcher/process_scan.h"
#include "watcher/process_table.h"

static std::wstring s_sleeper, s_racer; // the sleeper, and a copy of it named with a soft hyphen
static int s_enumerations;
static DWORD s_listed; // when set, the list is made this long with ids of no process
typedef std::vector<std::string> Calls;

// Counted; declared without dllimport, so replaced by its own name (see seams.h). As on a busy
// machine, the made-up ids come right after the first, so the real ones lie past the first block;
// like EnumProcesses, a block too small takes what fits and says nothing more.
extern "C" WINBOOL WINAPI EnumProcesses(DWORD* ids, DWORD bytes, DWORD* returned) {
    ++s_enumerations;
    std::vector<DWORD> all(4096);
    DWORD got = 0;
    if (!REAL(L"psapi.dll", EnumProcesses)(all.data(), 4096 * sizeof(DWORD), &got))
        return FALSE;
    all.resize(got / sizeof(DWORD));
    for (DWORD made = 0; all.size() < s_listed; ++made)
        all.insert(all.begin() + 1, 0x7FFE0000 + 4 * made);
    const size_t fits = std::min<size_t>(bytes / sizeof(DWORD), all.size());
    memcpy(ids, all.data(), fits * sizeof(DWORD));
    *returned = static_cast<DWORD>(fits * sizeof(DWORD));
    return TRUE;
}

class ProcessScan : public IsolatedRegistryTest {
  protected:
    std::vector<PROCESS_INFORMATION> started;

    // SLEEPER is a Unix path: drive Z: under Wine. The copy goes beside it.
    static void SetUpTestSuite() {
        s_sleeper = L"Z:";
        for (const char* c = getenv("SLEEPER"); c && *c; ++c)
            s_sleeper += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
        s_racer = s_sleeper.substr(0, s_sleeper.rfind(L'\\') + 1) + L"Ra\u00ADcer.exe";
        ASSERT_TRUE(CopyFileW(s_sleeper.c_str(), s_racer.c_str(), FALSE));
    }
    static void TearDownTestSuite() { DeleteFileW(s_racer.c_str()); }
    // Automatic mode, an empty watch list, an empty process table and the boost released.
    void SetUp() override {
        IsolatedRegistryTest::SetUp();
        UseFakePower();
        g_boostMethod = 0;
        g_trayMenu = LoadTrayMenu();
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC, MF_BYCOMMAND);
        LoadWatchList(); // empties it: nothing is stored
        ASSERT_TRUE(CreateProcessTable());
        s_listed = 0;
    }
    void TearDown() override {
        for (size_t i = 0; i < started.size(); ++i) {
            End(i);
            CloseHandle(started[i].hProcess);
            CloseHandle(started[i].hThread);
        }
        ReleaseBoost();
        DestroyMenu(g_trayMenu);
        IsolatedRegistryTest::TearDown();
    }
    // Starts a program and waits until Windows can name it; returns the path Windows reports.
    std::wstring Start(const std::wstring& program) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        started.push_back({});
        EXPECT_TRUE(CreateProcessW(program.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                   &started.back()));
        wchar_t path[MAX_PATH] = L"";
        for (DWORD size, deadline = GetTickCount() + 10000;
             !QueryFullProcessImageNameW(started.back().hProcess, 0, path, &(size = MAX_PATH)) &&
             GetTickCount() < deadline;)
            Sleep(10);
        return path;
    }
    void End(size_t i) {
        TerminateProcess(started[i].hProcess, 0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started[i].hProcess, 10000));
    }
    // Puts a program on the watch list as the add command does, and asks for a new match.
    static void Watch(UINT slot, const std::wstring& path, BYTE enabled) {
        g_watchList[slot] = {DuplicateString(path.c_str()), enabled};
        g_reevaluate = 1;
        EXPECT_TRUE(InsertWatchListEntry(slot));
    }
    // One pass; then the slots whose entries are checked, and the boost.
    static std::string Pass() {
        ScanProcesses();
        std::string state;
        for (UINT slot = 0; slot < 16; ++slot)
            if (g_watchList[slot].path &&
                GetMenuState(g_trayMenu, WatchListEntryPosition(slot), MF_BYPOSITION) & MF_CHECKED)
                state += std::to_string(slot) + " ";
        return state + (g_engaged ? "engaged" : "released");
    }
};

// The boost follows the watched program while any copy of it runs. A change of method (which
// releases the boost and asks for a new match) takes effect at the next pass. The other modes
// leave the check marks and the boost as they are, even after the program ended, until a pass
// back in Automatic.
TEST_F(ProcessScan, WatchedProgramKeepsTheBoostWhileAnyCopyRuns) {
    const std::wstring path = Start(s_sleeper);
    EXPECT_EQ(path, Start(s_sleeper));
    Watch(3, path, 1);
    Watch(9, path, 1);
    EXPECT_EQ("3 9 engaged", Pass());
    EXPECT_EQ("3 9 engaged", Pass()); // nothing changed: nothing done
    ReleaseBoost();
    g_boostMethod = 1;
    g_reevaluate = 1;
    EXPECT_EQ("3 9 engaged", Pass());
    End(0);
    EXPECT_EQ("3 9 engaged", Pass());
    End(1);
    for (UINT mode : {IDM_FULL_THROTTLE, IDM_DISABLED, IDM_AUTOMATIC}) {
        CheckMenuRadioItem(g_trayMenu, IDM_FULL_THROTTLE, IDM_DISABLED, mode, MF_BYCOMMAND);
        EXPECT_EQ(mode == IDM_AUTOMATIC ? "released" : "3 9 engaged", Pass()) << mode;
    }
    EXPECT_EQ(
        (Calls{"GetActive",       "SetActive(HP)",   "Enumerate(0)",    "GetActive",    "SetActive(B)",
               "GetActive",       "ReadAC(B)",       "WriteAC(B, 100)", "ReadDC(B)",    "WriteDC(B, 100)",
               "ReadAC1(B) -> 2", "ReadDC1(B) -> 2", "SetActive(B)",    "Enumerate(0)", "ReadAC(B)",
               "WriteAC(B, 5)",   "ReadDC(B)",       "WriteDC(B, 0)",   "GetActive",    "SetActive(B)"}),
        TakePowerCalls());
}

// Paths match as Windows compares file names: in any letter case ("d:\games\x.exe" runs the
// entry "D:\Games\X.exe"), but otherwise unit by unit, so not without the soft hyphen that a
// locale-aware comparison ignores. A disabled entry never counts until it is allowed.
TEST_F(ProcessScan, PathsMatchInAnyCaseButOtherwiseExactlyAndOnlyWhileEnabled) {
    const std::wstring sleeper = Start(s_sleeper), racer = Start(s_racer);
    std::wstring lower = sleeper, plain = racer;
    for (wchar_t& c : lower)
        c = towlower(c);
    plain.erase(plain.find(L'\u00AD'), 1);
    Watch(1, plain, 1);
    Watch(2, sleeper, 0);
    EXPECT_EQ("released", Pass());
    Watch(0, lower, 1);
    EXPECT_EQ("0 engaged", Pass());
    g_watchList[2].enabled = 1; // as the allow command does
    g_reevaluate = 1;
    EXPECT_EQ("0 2 engaged", Pass());
}

// The table grows by doubling once its 128 entries are taken. Ended processes are dropped in one
// pass even when more than one batch of 64 holds them, and new ones take the first free entry.
// The process identifiers come as a list that ends in 0.
TEST_F(ProcessScan, TableGrowsAndAllEndingsAreDroppedInOnePass) {
    Watch(0, L"X:\\watched.exe", 1); // with nothing watched there is no enumeration
    std::vector<HANDLE> standIns;    // entries whose handles are events: set, they read as ended
    for (DWORD i = 0; i < 128; ++i) {
        standIns.push_back(CreateEventW(NULL, TRUE, FALSE, NULL));
        g_processTable[i] = {0x7FFF0000 + i, standIns.back(), DuplicateString(L"X:\\none.exe")};
    }
    Start(s_sleeper);
    ScanProcesses();
    const SIZE_T capacity = HeapSize(GetProcessHeap(), 0, g_processTable) / sizeof(TrackedProcess);
    EXPECT_EQ(256u, capacity);
    EXPECT_NE(0u, g_processTable[128].id); // the first new entry
    for (size_t i = 0; i < 128; ++i)       // 96 end, in both batches and next to each other
        if (i % 4)
            SetEvent(standIns[i]);
    Start(s_sleeper);
    ScanProcesses();
    EXPECT_EQ(capacity * sizeof(TrackedProcess), HeapSize(GetProcessHeap(), 0, g_processTable));
    for (DWORD i = 0; i < 128; ++i) // the ended ones dropped, and the new process in the first free entry
        EXPECT_EQ(i % 4 ? (i == 1 ? started[1].dwProcessId : 0) : 0x7FFF0000 + i, g_processTable[i].id) << i;
    DWORD count = 0, *ids = EnumerateProcessIds(&count);
    ASSERT_TRUE(ids != NULL);
    EXPECT_TRUE(count > 1 && ids[count] == 0);
    HeapFree(GetProcessHeap(), 0, ids);
}

// A busy machine runs more processes than the first block holds. A full block may have been cut
// short, so the list is read again into a larger one: the watched program past the first block is
// seen, and the list ends in 0 within its block, also when the ids fill a block exactly.
TEST_F(ProcessScan, EveryProcessIsSeenWhenTheListFillsItsBlock) {
    Watch(0, Start(s_sleeper), 1);
    for (DWORD listed : {256u, 1000u}) { // the first block exactly; past the block that grew from it
        s_listed = listed;
        DWORD count = 0, *ids = EnumerateProcessIds(&count);
        ASSERT_TRUE(ids != NULL) << listed;
        EXPECT_EQ(listed, count);
        EXPECT_EQ(0u, ids[count]) << listed;
        EXPECT_GE(HeapSize(GetProcessHeap(), 0, ids), (count + 1) * sizeof(DWORD)) << listed;
        HeapFree(GetProcessHeap(), 0, ids);
    }
    EXPECT_EQ("0 engaged", Pass());
}

// With nothing watched, a pass enumerates no process; the first entry brings the enumeration
// back at once, and removing the last entry while its program holds the boost releases it.
TEST_F(ProcessScan, NothingIsEnumeratedWhileNothingIsWatched) {
    const std::wstring path = Start(s_sleeper);
    s_enumerations = 0;
    EXPECT_EQ("released", Pass());
    EXPECT_EQ(0, s_enumerations);
    Watch(0, path, 1);
    EXPECT_EQ("0 engaged", Pass());
    HandleWatchListCommand(IDM_PROGRAM_BASE + IDM_PROGRAM_REMOVE); // slot 0's Remove
    EXPECT_EQ("released", Pass());
    EXPECT_EQ(1, s_enumerations);
}
