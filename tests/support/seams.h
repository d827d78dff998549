// How a test replaces a Windows function that the program's code calls.
//
// Imported functions. A MinGW build calls every imported function through a pointer named
// __imp_<name>, which the system's import library defines. A test program that defines that
// pointer itself wins the link, so every call the program's code makes lands in the test's
// function instead:
//
//     SEAM(GetTickCount, FakeTickCount);   // at namespace scope, once per test program
//
// The replacement must have the system function's type (checked at compile time). It must
// not call the function by name to reach the real one: that call goes through the very same
// pointer and comes straight back, a recursion that only ends when the stack does. REAL looks
// the system's function up in its DLL instead:
//
//     return REAL(L"kernel32.dll", GetTickCount)();
//
// A few functions are declared without dllimport (GetSystemTimes, EnumProcesses): the program
// calls a stub of that very name from the import library, which defines __imp_<name> beside
// it, so a SEAM would clash at link time. For them the test defines the function itself,
// extern "C" with the same signature, and the linker takes that over the library's stub; REAL
// still reaches the system's.
//
// Only the x64 test build uses seams: 32-bit imports carry stdcall decorations
// (__imp__GetTickCount@0), which these names do not spell.
//
// Functions found at run time. The program calls POWRPROF only through its table g_power
// (power/power_functions.h); tests fill that table instead (fake_power.h).
#ifndef VELTRANA_TEST_SEAMS_H
#define VELTRANA_TEST_SEAMS_H

#include <windows.h>

#include <type_traits>

#define SEAM(function, replacement)                                                                          \
    static_assert(std::is_same<decltype(&function), decltype(&replacement)>::value,                          \
                  "a seam must have the type of the function it replaces");                                  \
    extern "C" {                                                                                             \
    void* __imp_##function = reinterpret_cast<void*>(&replacement);                                          \
    }                                                                                                        \
    static_assert(true, "")

template <typename Function> Function RealFunction(const wchar_t* dll, const char* name) {
    HMODULE module = GetModuleHandleW(dll);
    if (!module)
        module = LoadLibraryW(dll);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
#define REAL(dll, function) RealFunction<decltype(&function)>(dll, #function)

#endif
