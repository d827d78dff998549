#include "icon/palette.h"

#include "common/flags.h"
#include "icon/palette_core.h"
#include "settings/settings.h"

namespace {

// A system colour (COLORREF) as an opaque colour word.
DWORD SystemColor(int index) {
    const COLORREF color = GetSysColor(index);
    return 0xFF000000 | GetRValue(color) << 16 | GetGValue(color) << 8 | GetBValue(color);
}

bool HighContrast() {
    HIGHCONTRASTW contrast = {sizeof(contrast), 0, NULL};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// A colour the user has stored always wins.
void Follow(DWORD* setting, DWORD color) {
    if (SettingStored(setting) || *setting == color)
        return;
    *setting = color;
    g_forceRedraw = 1;
}

} // namespace

void ApplyTaskbarPalette() {
    IconPalette palette = DefaultPalette(TaskbarUsesLightTheme() ? kTaskbarLight : kTaskbarDark);
    if (HighContrast()) {
        // Lines in the text's colour, the fill (its alpha from the clock) in the selection's,
        // activity in the hyperlinks': each of them is made to stand out against the window's.
        palette = {SystemColor(COLOR_WINDOWTEXT), SystemColor(COLOR_HIGHLIGHT) & 0x00FFFFFF,
                   SystemColor(COLOR_HOTLIGHT)};
    }
    Follow(&g_colorBorder, palette.border);
    Follow(&g_colorFrequency, palette.frequency);
    Follow(&g_colorActive, palette.active);
}

bool ChangesTaskbarPalette(WPARAM wParam, LPARAM lParam) {
    const wchar_t* area = reinterpret_cast<const wchar_t*>(lParam);
    return wParam == SPI_SETHIGHCONTRAST || (area && lstrcmpiW(area, L"ImmersiveColorSet") == 0);
}
