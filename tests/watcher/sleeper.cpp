// Stands in for a watched game or build: a windowless process that runs until the test ends it.
#include <windows.h>

int main() {
    Sleep(INFINITE);
}
