// Turning the "% Processor Performance" counter into what the icon shows. No Windows
// headers: the instance names and the intensity rule are tested natively.
#ifndef VELTRANA_PERFORMANCE_CORE_H
#define VELTRANA_PERFORMANCE_CORE_H

#include <stdint.h>
#include <wchar.h>

// An instance of "\Processor Information(*)" names one logical processor as "G,N" (group,
// number within it), or a total ("_Total", "G,_Total"). True only for "G,N" with decimal G
// and N and nothing else.
bool ParseProcessorInstance(const wchar_t* name, uint32_t* group, uint32_t* number);

// The reading as the painter takes it, a clock against a maximum: full intensity belongs to
// the highest performance this machine has shown, at least 100 %, so a turbo clock reads
// brighter than the nominal one. Both in hundredths of a percent; negative or absurd readings
// are clamped.
void PerformanceAsClock(double percent, double highestSeen, uint32_t* current, uint32_t* maximum);

#endif
