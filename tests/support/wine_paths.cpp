#include "wine_paths.h"

#include <stdlib.h>
#include <string.h>

std::wstring WindowsPathFromUnix(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return path;
}

std::wstring PathFromEnvironment(const char* variable) {
    const char* value = getenv(variable);
    if (!value || !*value)
        return std::wstring();
    if (value[0] != '/')
        return std::wstring(value, value + strlen(value));
    return WindowsPathFromUnix(value);
}
