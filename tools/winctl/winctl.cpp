// winctl: the Windows side of the end-to-end scripts, which run under Wine next to xdotool.
// It starts the program and reports its full 32-bit exit code (the shell only sees the low
// byte) and its tray window, sends it messages, and drives common dialogs through their controls.
//
//   winctl run EXITFILE PROGRAM [ARGS...]   start it; EXITFILE.pid gets its id, EXITFILE.window its
//                                           tray window once it has one, EXITFILE its exit code
//   winctl post HWND MSG WPARAM LPARAM      post a message (numbers, or a registered name for MSG)
//   winctl send HWND MSG WPARAM LPARAM      send it (10 s at most) and print the result
//   winctl keys HWND VK...                  post WM_KEYDOWN of each virtual key, in one go
//   winctl dialog PID TITLE [MS]            a visible top-level window of PID whose title starts
//                                           with TITLE, waited for (10 s by default)
//   winctl set-text DIALOG ID TEXT          set the text of control ID (a combo box's edit box)
//   winctl press DIALOG ID                  post the WM_COMMAND of a click on button ID
//   winctl broadcast NAME                   post a registered message to every top-level window
//   winctl setting-change AREA              send WM_SETTINGCHANGE naming AREA to every top-level
//                                           window, as Windows does when a setting changes
//   winctl tray-delete HWND                 remove the window's tray icon, as a shell restart does
//   winctl redraw-tray                      repaint Wine's tray window from a cleared background
//   winctl processors                       the processor count Windows reports
//   winctl end PID                          end a process this script started
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "common/names.h"

static unsigned long long Number(const wchar_t* text) {
    return wcstoull(text, NULL, 0);
}

static HWND Handle(const wchar_t* text) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(text)));
}

static UINT Message(const wchar_t* text) {
    if (iswdigit(text[0]))
        return static_cast<UINT>(Number(text));
    return RegisterWindowMessageW(text);
}

// Writes "VALUE\n" to PATH SUFFIX whole: written beside it, then renamed into place, so that a
// script polling for the file never reads half of it.
static void WriteNumber(const wchar_t* path, const wchar_t* suffix, unsigned long long value) {
    wchar_t name[MAX_PATH], temporary[MAX_PATH];
    _snwprintf(name, MAX_PATH, L"%ls%ls", path, suffix);
    _snwprintf(temporary, MAX_PATH, L"%ls.tmp", name);
    FILE* out = _wfopen(temporary, L"w");
    if (!out)
        return;
    fprintf(out, "%llu\n", value);
    fclose(out);
    MoveFileExW(temporary, name, MOVEFILE_REPLACE_EXISTING);
}

// A top-level window of a process: its tray window (by class), or a visible one whose title
// starts with the given text.
struct Search {
    DWORD pid;
    const wchar_t* title;
    HWND window;
};

static BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    wchar_t text[256] = {};
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid)
        return TRUE;
    if (search->title) {
        GetWindowTextW(window, text, 256);
        if (IsWindowVisible(window) && !wcsncmp(text, search->title, wcslen(search->title)))
            search->window = window;
    } else {
        GetClassNameW(window, text, 256);
        if (!wcscmp(text, VELTRANA_TRAY_WINDOW_CLASS))
            search->window = window;
    }
    return search->window ? FALSE : TRUE;
}

static HWND Find(Search* search) {
    EnumWindows(Visit, reinterpret_cast<LPARAM>(search));
    return search->window;
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
    WriteNumber(argv[2], L".pid", process.dwProcessId);
    // Looked for every 10 ms while the program runs without one.
    Search search = {process.dwProcessId, NULL, NULL};
    while (WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT) {
        if (Find(&search)) {
            WriteNumber(argv[2], L".window", reinterpret_cast<UINT_PTR>(search.window));
            WaitForSingleObject(process.hProcess, INFINITE);
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    WriteNumber(argv[2], L"", code);
    return 0;
}

static int Dialog(int argc, wchar_t** argv) {
    Search search = {static_cast<DWORD>(Number(argv[2])), argv[3], NULL};
    DWORD wait = argc > 4 ? static_cast<DWORD>(Number(argv[4])) : 10000;
    DWORD start = GetTickCount();
    while (!Find(&search)) {
        if (GetTickCount() - start > wait)
            return 1;
        Sleep(20);
    }
    printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(search.window)));
    return 0;
}

static int SetText(wchar_t** argv) {
    HWND control = GetDlgItem(Handle(argv[2]), static_cast<int>(Number(argv[3])));
    HWND edit = control ? FindWindowExW(control, NULL, L"Edit", NULL) : NULL;
    DWORD_PTR result = 0;
    return control &&
                   SendMessageTimeoutW(edit ? edit : control, WM_SETTEXT, 0,
                                       reinterpret_cast<LPARAM>(argv[4]), SMTO_BLOCK, 10000, &result) &&
                   result
               ? 0
               : 1;
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const wchar_t* verb = argv[1];
    if (!wcscmp(verb, L"run"))
        return Run(argc, argv);
    if ((!wcscmp(verb, L"post") || !wcscmp(verb, L"send")) && argc > 5) {
        HWND window = Handle(argv[2]);
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
    if (!wcscmp(verb, L"keys") && argc > 3) {
        // Posted together, so that nothing the window's thread reads meanwhile comes between them.
        for (int i = 3; i < argc; ++i)
            if (!PostMessageW(Handle(argv[2]), WM_KEYDOWN, static_cast<WPARAM>(Number(argv[i])), 1))
                return 1;
        return 0;
    }
    if (!wcscmp(verb, L"dialog") && argc > 3)
        return Dialog(argc, argv);
    if (!wcscmp(verb, L"set-text") && argc > 4)
        return SetText(argv);
    if (!wcscmp(verb, L"press") && argc > 3) {
        int id = static_cast<int>(Number(argv[3]));
        HWND dialog = Handle(argv[2]);
        HWND button = GetDlgItem(dialog, id);
        return button && PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                      reinterpret_cast<LPARAM>(button))
                   ? 0
                   : 1;
    }
    if (!wcscmp(verb, L"broadcast") && argc > 2)
        return PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(argv[2]), 0, 0) ? 0 : 1;
    if (!wcscmp(verb, L"setting-change") && argc > 2) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(argv[2]),
                                   SMTO_ABORTIFHUNG, 5000, &result)
                   ? 0
                   : 1;
    }
    if (!wcscmp(verb, L"tray-delete") && argc > 2) {
        NOTIFYICONDATAW data = {};
        data.cbSize = NOTIFYICONDATAW_V2_SIZE;
        data.hWnd = Handle(argv[2]);
        data.uID = VELTRANA_TRAY_ICON_ID;
        return Shell_NotifyIconW(NIM_DELETE, &data) ? 0 : 1;
    }
    if (!wcscmp(verb, L"redraw-tray")) {
        // Wine's tray draws a changed icon over the old picture without clearing it, so
        // half-transparent pixels pile up; a full repaint shows the icon as it is now.
        HWND tray = FindWindowW(NULL, WINE_SYSTEM_TRAY_WINDOW);
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
    if (!wcscmp(verb, L"end") && argc > 2) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(Number(argv[2])));
        return process && TerminateProcess(process, 1) ? 0 : 1;
    }
    return 2;
}
