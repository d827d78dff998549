// The tray icon's tooltip: what the program is doing (the mode, whether and how the boost is in
// force, or why not) and the fastest processor, in the menu's language.
#ifndef VELTRANA_TRAY_TIP_H
#define VELTRANA_TRAY_TIP_H

#include <windows.h>

#include "app/tray_tip_core.h"

// The state now: the mode checked in the menu, the boost, the watched program holding it, the
// fastest processor of the icon's last tick. The strings it points to stay valid until the next
// call.
void ReadTrayTipState(TrayTipState* state);

// The tooltip's text for a state, in the menu's language; `tip` holds kTrayTipUnits.
void BuildTrayTip(const TrayTipState& state, wchar_t* tip);

// From the slow pass, only while the icon can be seen: builds the text and hands it to the shell
// when its first line changed; a change of the second, the fastest processor, only while the
// pointer is on the icon.
void RefreshTrayTip(HWND window);

// The icon's WM_MOUSEMOVE: the pointer is on the icon, and the tip gets the clock of now.
void OnTrayIconPointer(HWND window);

#endif
