#include "app/program.h"
int RunProgram(int, char**) { return 0; }
