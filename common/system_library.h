// Loading the system's own DLLs that are not KnownDLLs (POWRPROF and the like) from the
// system directory only, and looking up their functions with the type the caller declared.
// A DLL of the same name in the program's folder or the current directory is never loaded.
#ifndef VELTRANA_SYSTEM_LIBRARY_H
#define VELTRANA_SYSTEM_LIBRARY_H

#include <windows.h>

// Makes every later LoadLibrary search only the system directory, where Windows has
// SetDefaultDllDirectories (Windows 8, and 7 or Vista with their update); otherwise nothing.
void RestrictDllSearchToSystem();

// Loads `name` (e.g. L"powrprof.dll") from the system directory. Null with the system's
// error when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// KERNEL32's processor-group functions of Windows 7 on, which the headers declare only for builds
// that require it.
typedef BOOL(WINAPI* LogicalProcessorInformationExFn)(LOGICAL_PROCESSOR_RELATIONSHIP relationship,
                                                      SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* records,
                                                      DWORD* length);
typedef BOOL(WINAPI* ThreadGroupAffinityFn)(HANDLE thread, GROUP_AFFINITY* affinity);
typedef DWORD(WINAPI* ActiveProcessorCountFn)(WORD group);

// Finds `name` in `module` as a function of the pointer's declared type. False, with the
// pointer null and ERROR_PROC_NOT_FOUND as the last error, when the module lacks it.
template <typename Function> bool FindFunction(HMODULE module, const char* name, Function* function) {
    FARPROC found = module ? GetProcAddress(module, name) : NULL;
    *function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
    return found != NULL;
}

#endif
