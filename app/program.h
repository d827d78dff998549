// The program's life on its only thread, from the command line to the exit code.
#ifndef VELTRANA_PROGRAM_H
#define VELTRANA_PROGRAM_H

int RunProgram(int argc, char** argv);

#endif
