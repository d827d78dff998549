// Flags as a failure message shows them: by name ("message|icon"), any bit the table does not name
// in hex after them, nothing for none. A name of several bits stands only where all of them are set.
#ifndef VELTRANA_TEST_FLAG_NAMES_H
#define VELTRANA_TEST_FLAG_NAMES_H

#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

inline std::string FlagNames(unsigned long flags,
                             const std::vector<std::pair<unsigned long, const char*>>& names) {
    std::string named;
    char rest[16] = "";
    for (const auto& [bits, name] : names) {
        if ((flags & bits) != bits)
            continue;
        named += (named.empty() ? "" : "|") + std::string(name);
        flags &= ~bits;
    }
    if (flags)
        snprintf(rest, sizeof(rest), "%s0x%lX", named.empty() ? "" : "|", flags);
    return named + rest;
}

#endif
