// A power manager for tests of the boost's callers: it switches schemes and writes minimum
// states in memory only, and records what it was asked to do.
#ifndef VELTRANA_TEST_RECORDING_POWER_H
#define VELTRANA_TEST_RECORDING_POWER_H

#include <string>
#include <vector>

// "HP" for a switch to High Performance, "B" for any other switch, "min=N" for a minimum-state
// write; in call order.
extern std::vector<std::string> g_schemeSwitches;

// Fills the program's power function table with the recording functions and clears the record.
void UseRecordingPowerManager();

#endif
