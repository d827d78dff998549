// Applying and undoing the boost: either the High Performance scheme or a 100 % minimum
// processor state. Whatever is applied is undone by the same method.
#ifndef VELTRANA_BOOST_H
#define VELTRANA_BOOST_H

#include <windows.h>

extern BYTE g_engaged; // a boost is in force and must be undone

void EngageBoost();
void ReleaseBoost();

#endif
