// How fast each processor really runs: the counter "\Processor Information(*)\% Processor
// Performance" (Windows 8 and later), read through PDH, which is loaded from the system
// directory at run time. Current Windows reports CurrentMhz = MaxMhz whatever the clock does,
// so without this counter the icon would sit at full intensity.
#ifndef VELTRANA_PROCESSOR_PERFORMANCE_H
#define VELTRANA_PROCESSOR_PERFORMANCE_H

#include <windows.h>

// One collection, every 450 ms with the slow timer: the counter averages over the interval
// anyway and a collection costs far more than the icon's tick. Where the counter is missing,
// adding it is tried again at most once a minute.
void SampleProcessorPerformance();

// Starts the interval that the next collection averages over, when the icon can be seen again:
// the collections stop while nobody sees it, and the first one after a pause would otherwise
// average over the whole pause.
void RestartPerformanceInterval();

// The latest reading of processor `number` (0 .. 63) as a clock against a maximum, in
// hundredths of a percent; false when there is none (no counter, its first collection, a
// failed one), and the icon then uses CurrentMhz against MaxMhz.
bool ProcessorPerformance(UINT number, DWORD* current, DWORD* maximum);

// The latest reading of processor `number` in percent of its nominal clock; false when there is
// none.
bool ProcessorPercent(UINT number, double* percent);

// True once after a collection changed any reading: the next tick repaints.
bool TakePerformanceChange();

#endif
