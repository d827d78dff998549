// The tray icon's tooltip as text: what the program is doing and the fastest processor, in the
// words of one language. No Windows headers: the formatting is tested natively.
#ifndef VELTRANA_TRAY_TIP_CORE_H
#define VELTRANA_TRAY_TIP_CORE_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#include "power/boost_state.h"

// szTip of the NOTIFYICONDATA the program uses: 127 units and the terminating NUL.
enum { kTrayTipUnits = 128 };

// One language's texts. Templates take "%1" ... "%9" and "%%" for a percent sign; the decimal
// separator of a clock stands in the template between its two parts.
struct TrayTipWords {
    const wchar_t* status;          // the first line: "%1" the mode, "%2" the boost's state
    const wchar_t* boosted;         // "%1" how
    const wchar_t* boostedFor;      // "%1" the watched program, "%2" how
    const wchar_t* how[kBoostWays]; // the way it is in force, from kBoostBySchemeSwitch on
    const wchar_t* waiting;
    const wchar_t* notBoosted;
    const wchar_t* refused;        // "%1" the error code, and Windows' text for it after ": "
    const wchar_t* undone;         // another program made another scheme active
    const wchar_t* releaseRefused; // "%1" as in `refused`: Windows refused to undo it
    const wchar_t* fastest;        // "%1" processor, "%2" and "%3" GHz and its tenths, "%4" percent
    const wchar_t* fastestClock;   // the same without the percentage
    const wchar_t* fastestShare;   // "%1" processor, "%2" percent: the clock unknown
    const wchar_t* fastestClass;   // "%1" processor, "%2" its efficiency class, "%3" percent
    const wchar_t* withMode;       // "%1" the way, of a boost that includes the power mode
    const wchar_t* onBattery;      // wanted, but held back until mains power
};

enum TrayTipMode { kTipFullThrottle, kTipAutomatic, kTipDisabled };

// The first line tells the boost's state as the mode sees it: a boost in force, a refused release
// and a change by another program always; a boost refused, held back on battery or found in place
// only while the mode wants one (Full Throttle, or Automatic with a watched program running); otherwise
// "waiting" in Automatic and "not boosted" elsewhere.
struct TrayTipState {
    const wchar_t* modeName = nullptr; // as the menu shows it; an "&" marking the access key is dropped
    TrayTipMode mode = kTipDisabled;
    BoostState boost = kBoostNone;
    bool bestPerformanceMode = false;   // the boost includes the power mode Best performance
    const wchar_t* program = nullptr;   // Automatic: the running watched program's file name, or null
    uint32_t error = 0;                 // of a refusal
    const wchar_t* errorText = nullptr; // Windows' text for it as FormatMessage gives it, or null
    bool fastestKnown = false;
    uint32_t processor = 0;
    double percent = -1;          // of the nominal clock, from the counter; negative without it
    uint32_t mhz = 0;             // with the counter the nominal clock, without it the current one; 0 unknown
    int32_t efficiencyClass = -1; // hybrid processors: the fastest one's class, named with the counter
};

// The first line, a line feed and the second, in at most 127 units plus the NUL. A program name
// or an error's text too long for that is shortened with an ellipsis; anything else is cut only
// as a last resort.
// Returns the length.
size_t FormatTrayTip(const TrayTipWords& words, const TrayTipState& state, wchar_t* tip);

// Expands a template with `count` arguments (a missing one is empty) into at most room - 1
// units and a NUL; returns the length.
size_t ExpandTemplate(const wchar_t* pattern, const wchar_t* const* args, size_t count, wchar_t* out,
                      size_t room);

#endif
