// One-byte requests that one part of the program raises and another acts on and clears.
// Declared here so that no folder includes another only to reach a flag.
#ifndef VELTRANA_FLAGS_H
#define VELTRANA_FLAGS_H

// Raised by the mode, method and watch-list commands; the watcher's next pass re-matches the
// watch list and clears it.
extern unsigned char g_reevaluate;
// Raised by the cell layout, the colour commands and the palette; the renderer's next tick
// repaints and clears it.
extern unsigned char g_forceRedraw;
// Raised right before the program opens a common dialog; the placement hook moves that dialog
// and clears it.
extern unsigned char g_placeNextDialog;

#endif
