// Keeping the tray icon current: one tick every 50 ms, repainting only when needed.
#ifndef VELTRANA_RENDERER_H
#define VELTRANA_RENDERER_H

#include <windows.h>

// The icon the tray shows: the placeholder at start, then each painted icon.
extern HICON g_currentTrayIcon;

void RenderTrayIcon(HWND window);

#endif
