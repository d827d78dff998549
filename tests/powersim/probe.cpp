// Imports PowerGetActiveScheme from POWRPROF at load time, as the program imports its POWRPROF
// functions, and exits with its result: shows which POWRPROF a program beside the stand-in gets.
#include <windows.h>
#include <powrprof.h>

int main() {
    GUID* active = NULL;
    DWORD result = PowerGetActiveScheme(NULL, &active);
    if (result == ERROR_SUCCESS)
        LocalFree(active);
    return static_cast<int>(result);
}
