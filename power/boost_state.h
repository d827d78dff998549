// What the boost does now: the one value the boost keeps of its last engage, release or check,
// and the tooltip tells. No Windows headers: the tooltip's text is made from it by a pure core.
#ifndef VELTRANA_BOOST_STATE_H
#define VELTRANA_BOOST_STATE_H

enum BoostState {
    kBoostNone, // nothing applied, and nothing that Windows refused
    // In force, in one of three ways, or found in place (these four in this order: the tooltip
    // names the way by its place after kBoostBySchemeSwitch).
    kBoostBySchemeSwitch,         // the High Performance scheme made active
    kBoostByMinimumState,         // the active scheme's minimum processor state raised to 100 %
    kBoostByFallback,             // the same, standing in for a missing High Performance scheme
    kBoostAlreadyHighPerformance, // High Performance was active before: nothing switched
    kBoostUndoneElsewhere,        // applied, but the user or another program made another scheme active
    kBoostRefused,                // Windows refused the boost (with its error)
    kBoostReleaseRefused,         // Windows refused to undo it: still (partly) in force, tried again
    kBoostOnBattery,              // wanted, but held back until mains power ("Boost on battery" off)
};
enum { kBoostWays = kBoostAlreadyHighPerformance - kBoostBySchemeSwitch + 1 };

#endif
