// The boost's states by name, for failure messages.
#ifndef VELTRANA_TEST_BOOST_STATE_NAMES_H
#define VELTRANA_TEST_BOOST_STATE_NAMES_H

#include "power/boost_state.h"

inline const char* BoostStateName(BoostState state) {
    static const char* const kNames[] = {"none",
                                         "by scheme switch",
                                         "by minimum state",
                                         "by fallback",
                                         "already High Performance",
                                         "undone elsewhere",
                                         "refused",
                                         "release refused",
                                         "on battery"};
    static_assert(sizeof(kNames) / sizeof(kNames[0]) == kBoostOnBattery + 1, "a name for every state");
    return kNames[state];
}

#endif
