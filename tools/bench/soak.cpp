// The soak: the real program in Automatic mode for a long run while watched programs start and
// end every few seconds and Full Throttle is toggled from time to time. At the end it prints
// the program's handle count, GDI and USER objects and private memory after the first minute
// and at the end, the reaction times of the boost, and whether anything was left engaged.
// Run beside veltrana.exe and the stand-in powrprof.dll, with WINEDLLOVERRIDES=powrprof=n,b.
//
//   soak VELTRANA.EXE SLEEPER.EXE MINUTES
#include <windows.h>

#include "common/names.h"
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

const int kCopies = 3;
const wchar_t kHighPerformance[] = L"{8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C}";

struct Figures {
    DWORD handles, gdi, user;
    SIZE_T privateBytes;
};

bool HighPerformanceActive() {
    wchar_t active[64] = {};
    DWORD size = sizeof(active);
    return RegGetValueW(HKEY_LOCAL_MACHINE, POWERSIM_STORE_KEY, L"active", RRF_RT_REG_SZ, NULL, active,
                        &size) == ERROR_SUCCESS &&
           _wcsicmp(active, kHighPerformance) == 0;
}

double Now() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / frequency.QuadPart;
}

// Milliseconds until High Performance is (or is no longer) active; -1 after 3 s.
double Until(bool highPerformance) {
    double start = Now();
    while (HighPerformanceActive() != highPerformance) {
        if (Now() - start > 3000)
            return -1;
        Sleep(2);
    }
    return Now() - start;
}

HANDLE Start(const wchar_t* program, DWORD* id = NULL) {
    wchar_t command[MAX_PATH + 4];
    _snwprintf(command, MAX_PATH + 4, L"\"%ls\"", program);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return NULL;
    CloseHandle(process.hThread);
    if (id)
        *id = process.dwProcessId;
    return process.hProcess;
}

void End(HANDLE* process) {
    TerminateProcess(*process, 0);
    WaitForSingleObject(*process, 5000);
    CloseHandle(*process);
    *process = NULL;
}

struct Search {
    DWORD id;
    HWND window;
};
BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    wchar_t name[16] = {};
    GetWindowThreadProcessId(window, &owner);
    GetClassNameW(window, name, 16);
    if (owner == search->id && !wcscmp(name, VELTRANA_TRAY_WINDOW_CLASS))
        search->window = window;
    return TRUE;
}

// The handles a process holds, from the system's handle list (GetProcessHandleCount reads 0
// for another process under Wine).
DWORD CountHandles(DWORD processId) {
    struct Entry {
        ULONG process;
        UCHAR type, flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    typedef LONG(WINAPI * QueryFn)(ULONG, PVOID, ULONG, PULONG);
    static QueryFn query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQuerySystemInformation")));
    for (ULONG size = 1 << 16; size <= 1 << 26; size *= 2) {
        BYTE* buffer = static_cast<BYTE*>(malloc(size));
        ULONG needed = 0;
        LONG status = query(16 /* SystemHandleInformation */, buffer, size, &needed);
        if (status == 0) {
            ULONG count = *reinterpret_cast<ULONG*>(buffer);
            const Entry* entries = reinterpret_cast<const Entry*>(buffer + sizeof(ULONG_PTR));
            DWORD mine = 0;
            for (ULONG i = 0; i < count; ++i)
                mine += entries[i].process == processId;
            free(buffer);
            return mine;
        }
        free(buffer);
    }
    return 0;
}

Figures Measure(HANDLE process) {
    Figures figures = {};
    GetProcessHandleCount(process, &figures.handles);
    if (!figures.handles)
        figures.handles = CountHandles(GetProcessId(process));
    figures.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    figures.user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)))
        figures.privateBytes = memory.PrivateUsage;
    return figures;
}

int CompareDoubles(const void* a, const void* b) {
    const double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4)
        return 2;
    const double minutes = _wtof(argv[3]);
    srand(12345);
    // Three watched copies, on the watch list under the paths Windows reports for them.
    wchar_t copies[kCopies][MAX_PATH];
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL);
    for (int i = 0; i < kCopies; ++i) {
        GetTempPathW(MAX_PATH, copies[i]);
        wchar_t name[32];
        _snwprintf(name, 32, L"SoakGame%d.exe", i);
        wcscat(copies[i], name);
        CopyFileW(argv[2], copies[i], FALSE);
        HANDLE probe = Start(copies[i]);
        wchar_t image[MAX_PATH];
        DWORD length = MAX_PATH;
        QueryFullProcessImageNameW(probe, 0, image, &length);
        End(&probe);
        wchar_t value[32];
        DWORD one = 1;
        _snwprintf(value, 32, L"program#%d", i);
        RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<BYTE*>(image), (length + 1) * 2);
        _snwprintf(value, 32, L"program#%d::enabled", i);
        RegSetValueExW(key, value, 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
    }
    RegCloseKey(key);

    DWORD programId = 0;
    HANDLE program = Start(argv[1], &programId);
    Search search = {programId, NULL};
    for (int i = 0; i < 200 && !search.window; ++i) {
        Sleep(50);
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    }
    if (!search.window) {
        printf("the program did not start\n");
        return 1;
    }

    HANDLE running[kCopies] = {};
    static double engage[4096], release[4096];
    int engages = 0, releases = 0, failures = 0, starts = 0, toggles = 0;
    Figures first = {}, last = {};
    bool measuredFirst = false;
    const double begin = Now(), end = begin + minutes * 60000;
    double nextToggle = begin + 30000;
    while (Now() < end) {
        if (!measuredFirst && Now() - begin > 60000) {
            first = Measure(program);
            measuredFirst = true;
        }
        if (Now() > nextToggle) {
            // Full Throttle for a moment, then back to Automatic.
            PostMessageW(search.window, WM_COMMAND, 17, 0);
            failures += Until(true) < 0;
            Sleep(1500);
            PostMessageW(search.window, WM_COMMAND, 18, 0);
            Sleep(600);
            nextToggle = Now() + 30000 + rand() % 30000;
            ++toggles;
        }
        int count = 0;
        for (HANDLE h : running)
            count += h != NULL;
        int which = rand() % kCopies;
        if (!running[which]) {
            bool idle = count == 0;
            running[which] = Start(copies[which]);
            ++starts;
            if (idle) {
                double ms = Until(true);
                if (ms < 0)
                    ++failures;
                else if (engages < 4096)
                    engage[engages++] = ms;
            }
        } else {
            End(&running[which]);
            if (count == 1) {
                double ms = Until(false);
                if (ms < 0)
                    ++failures;
                else if (releases < 4096)
                    release[releases++] = ms;
            }
        }
        Sleep(1000 + rand() % 3000);
    }
    for (HANDLE& h : running)
        if (h)
            End(&h);
    double finalRelease = Until(false);
    Sleep(2000);
    last = Measure(program);
    PostMessageW(search.window, WM_COMMAND, 255, 0);
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(program, 15000) == WAIT_OBJECT_0)
        GetExitCodeProcess(program, &exitCode);
    for (auto& copy : copies)
        DeleteFileW(copy);

    qsort(engage, engages, sizeof(double), CompareDoubles);
    qsort(release, releases, sizeof(double), CompareDoubles);
    printf("soak of %.1f minutes: %d starts of watched programs, %d Full Throttle toggles\n", minutes, starts,
           toggles);
    printf("after the first minute: handles %lu, GDI objects %lu, USER objects %lu\n", first.handles,
           first.gdi, first.user);
    printf("at the end:             handles %lu, GDI objects %lu, USER objects %lu\n", last.handles, last.gdi,
           last.user);
    if (first.privateBytes || last.privateBytes)
        printf("private memory: %lu KiB after the first minute, %lu KiB at the end\n",
               static_cast<unsigned long>(first.privateBytes / 1024),
               static_cast<unsigned long>(last.privateBytes / 1024));
    if (!first.gdi && !last.gdi)
        printf("(GetGuiResources reads 0 under Wine: GDI and USER objects are not counted there)\n");
    if (engages)
        printf("boost engaged after a start: median %.0f ms, worst %.0f ms over %d (goal: under 500 ms)\n",
               engage[engages / 2], engage[engages - 1], engages);
    if (releases)
        printf("boost released after the end: median %.0f ms, worst %.0f ms over %d\n", release[releases / 2],
               release[releases - 1], releases);
    printf("reactions that did not come within 3 s: %d\n", failures);
    printf("boost left engaged at the end: %s\n", finalRelease < 0 || HighPerformanceActive() ? "YES" : "no");
    printf("exit code: %lu\n", exitCode);
    bool steady = last.handles <= first.handles && last.gdi <= first.gdi && last.user <= first.user;
    bool fast = engages > 0 && engage[engages - 1] < 500;
    return steady && fast && failures == 0 && finalRelease >= 0 && exitCode == 0 ? 0 : 1;
}
