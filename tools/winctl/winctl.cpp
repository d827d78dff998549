// winctl: the Windows side of the end-to-end scripts, which run under Wine next to xdotool.
// It starts the program and reports its full 32-bit exit code (the shell only sees the low
// byte), finds its tray window, sends it messages, and reads its handle, GDI and CPU figures.
//
//   winctl run EXITFILE PROGRAM [ARGS...]   start, write "PID" to EXITFILE.pid, wait, write the code
//   winctl window PID [MS]                  the tray window of PID ("BLANK" class), waited for
//   winctl post HWND MSG WPARAM LPARAM      post a message (numbers, or a registered name for MSG)
//   winctl send HWND MSG WPARAM LPARAM      send it (10 s at most) and print the result
//   winctl broadcast NAME                   post a registered message to every top-level window
//   winctl tray-delete HWND                 remove the window's tray icon (id 1), as a shell restart does
//   winctl redraw-tray                      repaint Wine's tray window from a cleared background
//   winctl processors                       the processor count Windows reports
//   winctl figures PID                      "handles N gdi N user N cpu100ns N" of a process
//   winctl end PID                          end a process this script started
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static unsigned long long Number(const wchar_t* text) {
    return wcstoull(text, NULL, 0);
}

static UINT Message(const wchar_t* text) {
    if (iswdigit(text[0]))
        return static_cast<UINT>(Number(text));
    return RegisterWindowMessageW(text);
}

static int Run(int argc, wchar_t** argv) {
    if (argc < 4)
        return 2;
    std::size_t length = 0;
    for (int i = 3; i < argc; ++i)
        length += wcslen(argv[i]) + 3;
    wchar_t* command = static_cast<wchar_t*>(calloc(length + 1, sizeof(wchar_t)));
    for (int i = 3; i < argc; ++i) {
        wcscat(command, L"\"");
        wcscat(command, argv[i]);
        wcscat(command, i + 1 < argc ? L"\" " : L"\"");
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fwprintf(stderr, L"cannot start %ls: %lu\n", argv[3], GetLastError());
        return 1;
    }
    wchar_t pidFile[MAX_PATH];
    _snwprintf(pidFile, MAX_PATH, L"%ls.pid", argv[2]);
    FILE* out = _wfopen(pidFile, L"w");
    if (out) {
        fprintf(out, "%lu\n", process.dwProcessId);
        fclose(out);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    out = _wfopen(argv[2], L"w");
    if (out) {
        fprintf(out, "%lu\n", code);
        fclose(out);
    }
    return 0;
}

struct Search {
    DWORD pid;
    HWND window;
};

static BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    wchar_t name[16] = {};
    GetWindowThreadProcessId(window, &owner);
    GetClassNameW(window, name, 16);
    if (owner == search->pid && wcscmp(name, L"BLANK") == 0)
        search->window = window;
    return TRUE;
}

static int Window(int argc, wchar_t** argv) {
    Search search = {static_cast<DWORD>(Number(argv[2])), NULL};
    DWORD wait = argc > 3 ? static_cast<DWORD>(Number(argv[3])) : 10000;
    DWORD start = GetTickCount();
    do {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        if (search.window) {
            printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(search.window)));
            return 0;
        }
        Sleep(50);
    } while (GetTickCount() - start < wait);
    return 1;
}

static int Figures(wchar_t** argv) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(Number(argv[2])));
    if (!process)
        return 1;
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    unsigned long long cpu =
        (static_cast<unsigned long long>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
        (static_cast<unsigned long long>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
    printf("handles %lu gdi %lu user %lu cpu100ns %llu\n", handles, GetGuiResources(process, GR_GDIOBJECTS),
           GetGuiResources(process, GR_USEROBJECTS), cpu);
    CloseHandle(process);
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const wchar_t* verb = argv[1];
    if (!wcscmp(verb, L"run"))
        return Run(argc, argv);
    if (!wcscmp(verb, L"window") && argc > 2)
        return Window(argc, argv);
    if ((!wcscmp(verb, L"post") || !wcscmp(verb, L"send")) && argc > 5) {
        HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(argv[2])));
        UINT message = Message(argv[3]);
        WPARAM wParam = static_cast<WPARAM>(Number(argv[4]));
        LPARAM lParam = static_cast<LPARAM>(Number(argv[5]));
        if (verb[0] == L'p')
            return PostMessageW(window, message, wParam, lParam) ? 0 : 1;
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_BLOCK, 10000, &result))
            return 1;
        printf("%llu\n", static_cast<unsigned long long>(result));
        return 0;
    }
    if (!wcscmp(verb, L"broadcast") && argc > 2)
        return PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(argv[2]), 0, 0) ? 0 : 1;
    if (!wcscmp(verb, L"tray-delete") && argc > 2) {
        NOTIFYICONDATAW data = {};
        data.cbSize = NOTIFYICONDATAW_V2_SIZE;
        data.hWnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(argv[2])));
        data.uID = 1;
        return Shell_NotifyIconW(NIM_DELETE, &data) ? 0 : 1;
    }
    if (!wcscmp(verb, L"redraw-tray")) {
        // Wine's tray draws a changed icon over the old picture without clearing it, so
        // half-transparent pixels pile up; a full repaint shows the icon as it is now.
        HWND tray = FindWindowW(NULL, L"Wine System Tray");
        return tray && RedrawWindow(tray, NULL, NULL,
                                    RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW |
                                        RDW_ERASENOW)
                   ? 0
                   : 1;
    }
    if (!wcscmp(verb, L"processors")) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        printf("%lu\n", info.dwNumberOfProcessors);
        return 0;
    }
    if (!wcscmp(verb, L"figures") && argc > 2)
        return Figures(argv);
    if (!wcscmp(verb, L"end") && argc > 2) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(Number(argv[2])));
        return process && TerminateProcess(process, 1) ? 0 : 1;
    }
    return 2;
}
