#include "app/tray_tip.h"

#include <shlwapi.h>

#include "app/tray_window.h"
#include "icon/renderer.h"
#include "menu/menu_ids.h"
#include "menu/tray_menu.h"
#include "power/boost.h"
#include "resources/localized.h"
#include "resources/resource_ids.h"
#include "watcher/process_scan.h"

namespace {

enum { kWordUnits = 160, kModeUnits = 64, kErrorUnits = 512, kWords = IDS_TIP_LAST - IDS_TIP_FIRST + 1 };

// The tooltip's strings in the language of the menu, copied when it changes: the string cache
// keeps a string in the language it was first loaded in, and the tooltip follows a change.
wchar_t s_words[kWords][kWordUnits];
LANGID s_wordsLanguage;
LANGID s_wordsFound; // the language the words came in
bool s_wordsLoaded;

void LoadWords() {
    if (s_wordsLoaded && s_wordsLanguage == g_preferredLanguage)
        return;
    s_wordsLoaded = true;
    s_wordsLanguage = g_preferredLanguage;
    s_wordsFound =
        ChooseResourceLanguage(GetModuleHandleW(NULL), RT_STRING, MAKEINTRESOURCEW(IDS_TIP_FIRST / 16 + 1));
    for (UINT i = 0; i < kWords; ++i)
        CopyLocalizedString(IDS_TIP_FIRST + i, s_words[i], kWordUnits);
}

const wchar_t* Word(UINT id) {
    return s_words[id - IDS_TIP_FIRST];
}

// Windows' own words for an error, in the tooltip's language where Windows has them, otherwise
// in its default one; null where it has none. Looked up again only when the error or the
// language changes.
const wchar_t* ErrorText(DWORD error) {
    static wchar_t text[kErrorUnits];
    static DWORD s_error;
    static LANGID s_language;
    if (error == s_error && s_wordsFound == s_language)
        return text[0] ? text : NULL;
    s_error = error;
    s_language = s_wordsFound;
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (!FormatMessageW(flags, NULL, error, s_language, text, kErrorUnits, NULL) &&
        !FormatMessageW(flags, NULL, error, 0, text, kErrorUnits, NULL))
        text[0] = 0;
    return text[0] ? text : NULL;
}

// The fastest processor's clock, the second line, moves at nearly every slow pass, and every tip
// sent costs the shell a round trip: it is brought up to date only while the pointer rests where
// the icon's last WM_MOUSEMOVE found it, so wherever the tooltip can show. The first line goes
// out as soon as it changes, with the clock of now.
POINT s_pointer;
bool s_pointerSeen;

bool PointerOnIcon() {
    POINT now;
    return s_pointerSeen && GetCursorPos(&now) && now.x == s_pointer.x && now.y == s_pointer.y;
}

// Whether two tips have the same first line, its line feed included.
bool SameFirstLine(const wchar_t* a, const wchar_t* b) {
    for (; *a == *b; ++a, ++b)
        if (*a == L'\n' || *a == 0)
            return true;
    return false;
}

} // namespace

void ReadTrayTipState(TrayTipState* state) {
    static wchar_t mode[kModeUnits];
    const UINT modeId = IsMenuItemChecked(IDM_FULL_THROTTLE) ? IDM_FULL_THROTTLE
                        : IsMenuItemChecked(IDM_AUTOMATIC)   ? IDM_AUTOMATIC
                                                             : IDM_DISABLED;
    if (!GetMenuStringW(g_trayMenu, modeId, mode, kModeUnits, MF_BYCOMMAND))
        mode[0] = 0;
    *state = TrayTipState();
    state->modeName = mode;
    state->mode = modeId == IDM_FULL_THROTTLE ? kTipFullThrottle
                  : modeId == IDM_AUTOMATIC   ? kTipAutomatic
                                              : kTipDisabled;
    DWORD error = 0;
    state->boost = CurrentBoostState(&error);
    state->bestPerformanceMode = BoostIncludesPowerMode();
    state->error = error;
    LoadWords();
    state->errorText = error ? ErrorText(error) : NULL;
    const wchar_t* program = modeId == IDM_AUTOMATIC ? RunningWatchedProgram() : NULL;
    state->program = program ? PathFindFileNameW(program) : NULL;

    FastestProcessor fastest;
    if ((state->fastestKnown = FindFastestProcessor(&fastest))) {
        state->processor = fastest.number;
        state->percent = fastest.percent;
        state->mhz = fastest.mhz;
        state->efficiencyClass = fastest.efficiencyClass;
    }
}

void BuildTrayTip(const TrayTipState& state, wchar_t* tip) {
    LoadWords();
    const TrayTipWords words = {Word(IDS_TIP_STATUS),
                                Word(IDS_TIP_BOOSTED),
                                Word(IDS_TIP_BOOSTED_FOR),
                                {Word(IDS_TIP_BY_SCHEME), Word(IDS_TIP_BY_MINIMUM), Word(IDS_TIP_BY_FALLBACK),
                                 Word(IDS_TIP_ALREADY_HIGH)},
                                Word(IDS_TIP_WAITING),
                                Word(IDS_TIP_NOT_BOOSTED),
                                Word(IDS_TIP_REFUSED),
                                Word(IDS_TIP_UNDONE),
                                Word(IDS_TIP_RELEASE_REFUSED),
                                Word(IDS_TIP_FASTEST),
                                Word(IDS_TIP_FASTEST_CLOCK),
                                Word(IDS_TIP_FASTEST_SHARE),
                                Word(IDS_TIP_FASTEST_CLASS),
                                Word(IDS_TIP_WITH_MODE),
                                Word(IDS_TIP_ON_BATTERY)};
    FormatTrayTip(words, state, tip);
}

void RefreshTrayTip(HWND window) {
    TrayTipState state;
    ReadTrayTipState(&state);
    wchar_t tip[kTrayTipUnits];
    BuildTrayTip(state, tip);
    if (!SameFirstLine(tip, g_currentTrayTip) || PointerOnIcon())
        ShowTrayTip(window, tip);
}

void OnTrayIconPointer(HWND window) {
    s_pointerSeen = GetCursorPos(&s_pointer) != FALSE;
    RefreshTrayTip(window);
}
