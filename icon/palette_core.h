// The icon's default colours for the taskbar they are drawn on, and the contrast a colour keeps
// against it. No Windows headers: the contrasts are computed natively.
#ifndef VELTRANA_PALETTE_CORE_H
#define VELTRANA_PALETTE_CORE_H

#include <stdint.h>

enum TaskbarTheme { kTaskbarDark, kTaskbarLight };

// Colour words 0xAARRGGBB as the settings hold them: the frequency colour's alpha is 0, the
// processor's clock gives it.
struct IconPalette {
    uint32_t border;
    uint32_t frequency;
    uint32_t active;
};

// The colours used while the user has stored none: each keeps at least 3:1 against its theme's
// taskbar, the frequency colour at the alpha of full speed.
IconPalette DefaultPalette(TaskbarTheme theme);

// The taskbar's colour in each theme, 0xRRGGBB.
uint32_t TaskbarColor(TaskbarTheme theme);

// The contrast ratio (1 to 21, from the relative luminances) of the colour 0xRRGGBB (an alpha
// byte above it is ignored) drawn with `alpha` (0 to 255) over the opaque 0xRRGGBB background,
// against that background.
double ContrastOver(uint32_t colour, uint32_t alpha, uint32_t background);

#endif
