// What the user picks in the tray menu (and the double-click on the icon).
#ifndef VELTRANA_COMMANDS_H
#define VELTRANA_COMMANDS_H

#include <windows.h>

// id is the whole wParam of WM_COMMAND. Always returns 0.
LRESULT HandleMenuCommand(HWND window, WPARAM id);

// Colour words (0xAARRGGBB) to and from the colour dialog's COLORREF (0x00BBGGRR).
// Both drop the alpha byte.
DWORD ColorWordToColorref(DWORD color);
DWORD ColorrefToColorWord(COLORREF color);

#endif
