// Paths of the built programs, handed to the test programs by CTest as Unix paths.
#ifndef VELTRANA_TEST_WINE_PATHS_H
#define VELTRANA_TEST_WINE_PATHS_H

#include <string>

// Wine maps drive Z: to the Unix root.
std::wstring WindowsPathFromUnix(const char* unixPath);
// The Windows path of the Unix path held by an environment variable; empty when unset.
std::wstring PathFromEnvironment(const char* variable);

#endif
