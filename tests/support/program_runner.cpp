#include "program_runner.h"

#include "wine_paths.h"

DWORD RunToEnd(const std::wstring& program, const std::wstring& arguments, std::string* output) {
    std::wstring command = L"\"" + program + L"\" " + arguments;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE reader, writer;
    if (!CreatePipe(&reader, &writer, &inherit, 0))
        return 0xDEAD;
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer;
    startup.hStdError = writer;
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessW(NULL, &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
    CloseHandle(writer);
    DWORD code = 0xDEAD;
    if (started) {
        char buffer[4096];
        DWORD got;
        while (ReadFile(reader, buffer, sizeof(buffer), &got, NULL) && got)
            if (output)
                output->append(buffer, got);
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 0xDEAD);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(reader);
    return code;
}

DWORD RunTool(const char* variable, const std::wstring& arguments, std::string* output) {
    return RunToEnd(PathFromEnvironment(variable), arguments, output);
}

RunningProgram StartProgram(const std::wstring& program, const std::wstring& arguments) {
    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return {NULL, 0};
    CloseHandle(process.hThread);
    return {process.hProcess, process.dwProcessId};
}

DWORD WaitForExit(const RunningProgram& program, DWORD milliseconds) {
    if (!program.process || WaitForSingleObject(program.process, milliseconds) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process, &code);
    return code;
}

void EndProgram(RunningProgram* program) {
    if (!program->process)
        return;
    if (WaitForSingleObject(program->process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program->process, 0xDEAD);
        WaitForSingleObject(program->process, 5000);
    }
    CloseHandle(program->process);
    program->process = NULL;
}

namespace {
struct WindowSearch {
    DWORD processId;
    HWND found;
    int count;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (owner == search->processId && lstrcmpW(name, L"BLANK") == 0) {
        search->found = window;
        ++search->count;
    }
    return TRUE;
}
} // namespace

int CountTrayWindows(DWORD processId) {
    WindowSearch search = {processId, NULL, 0};
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

HWND FindTrayWindow(DWORD processId, DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search = {processId, NULL, 0};
        EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found || GetTickCount() - start > milliseconds)
            return search.found;
        Sleep(50);
    }
}

std::string PowerStore() {
    std::string dump;
    RunTool("POWERSIM_CTL", L"dump", &dump);
    return dump;
}

bool PowerControl(const std::wstring& arguments) {
    return RunTool("POWERSIM_CTL", arguments) == 0;
}

std::string PowerStoreLine(const std::string& dump, const std::string& start) {
    size_t at = 0;
    while (at < dump.size()) {
        size_t end = dump.find('\n', at);
        if (end == std::string::npos)
            end = dump.size();
        std::string line = dump.substr(at, end - at);
        if (line.compare(0, start.size(), start) == 0)
            return line;
        at = end + 1;
    }
    return std::string();
}

bool WaitForActiveScheme(const std::string& name, DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        std::string active = PowerStoreLine(PowerStore(), "active ");
        if (active.size() > name.size() &&
            active.compare(active.size() - name.size(), name.size(), name) == 0)
            return true;
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return false;
}
