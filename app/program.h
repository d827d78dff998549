// The program's life on its only thread, from the command line to the exit code.
#ifndef VELTRANA_PROGRAM_H
#define VELTRANA_PROGRAM_H

int RunProgram(int argc, char** argv);

// Starts or stops the icon's 50 ms timer. Started again, it waits for the next slow pass's reading
// of the performance counter, and its first tick repaints.
void SetIconTimerRunning(bool running);

#endif
