// Moving the colour and open-file dialogs near the taskbar, once, as they open.
#ifndef VELTRANA_PLACEMENT_HOOK_H
#define VELTRANA_PLACEMENT_HOOK_H

#include <windows.h>

LRESULT CALLBACK DialogPlacementHook(int code, WPARAM wParam, LPARAM lParam);

#endif
