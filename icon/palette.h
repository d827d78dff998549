// The icon's colours that follow the taskbar: those the user has not stored take the defaults of
// the taskbar's theme, or the system's colours in high contrast.
#ifndef VELTRANA_PALETTE_H
#define VELTRANA_PALETTE_H

#include <windows.h>

// At start, after the settings are read, and whenever the theme, high contrast or the system's
// colours change. Asks for a repaint when a colour changed.
void ApplyTaskbarPalette();

// Whether a WM_SETTINGCHANGE tells of a change that the palette follows.
bool ChangesTaskbarPalette(WPARAM wParam, LPARAM lParam);

#endif
