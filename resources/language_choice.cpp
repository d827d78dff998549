#include "resources/language_choice.h"

#include <string.h>

// LANGID layout: the primary language in the low 10 bits, the sublanguage in the high 6.
static uint16_t PrimaryLanguage(uint16_t language) {
    return language & 0x3FF;
}

static uint16_t MakeLanguage(uint16_t primary, unsigned sublanguage) {
    return static_cast<uint16_t>(sublanguage << 10 | primary);
}

bool AddToLanguageSet(LanguageSet* set, uint16_t language) {
    // Never write past the array, even if the enumeration ignored an earlier "stop".
    if (set->count >= kLanguageSetCapacity)
        return false;
    // Upper bound: the first entry greater than the new one.
    unsigned low = 0, high = set->count;
    while (low < high) {
        unsigned middle = (low + high) / 2;
        if (set->ids[middle] <= language)
            low = middle + 1;
        else
            high = middle;
    }
    memmove(&set->ids[low + 1], &set->ids[low], (set->count - low) * sizeof(set->ids[0]));
    set->ids[low] = language;
    ++set->count;
    return set->count < kLanguageSetCapacity;
}

bool LanguageSetHas(const LanguageSet* set, uint16_t language) {
    // Lower bound: the first entry not less than the one looked for.
    unsigned low = 0, high = set->count;
    while (low < high) {
        unsigned middle = (low + high) / 2;
        if (set->ids[middle] < language)
            low = middle + 1;
        else
            high = middle;
    }
    return low < set->count && set->ids[low] == language;
}

// LANGID 0 is never taken as a candidate: callers read a result of 0 as "no usable language",
// so finding it would hide every language tried after it.
static bool TryCandidate(const LanguageSet* set, uint16_t candidate, uint16_t* chosen) {
    if (candidate == 0 || !LanguageSetHas(set, candidate))
        return false;
    *chosen = candidate;
    return true;
}

// The language itself, then its primary language with the default sublanguage (1), then with
// the neutral one (0), then with the remaining sublanguages in ascending order.
static bool TryLanguageFamily(const LanguageSet* set, uint16_t language, uint16_t* chosen) {
    uint16_t primary = PrimaryLanguage(language);
    if (TryCandidate(set, language, chosen) || TryCandidate(set, MakeLanguage(primary, 1), chosen) ||
        TryCandidate(set, primary, chosen))
        return true;
    for (unsigned sublanguage = 2; sublanguage <= 63; ++sublanguage) {
        if (TryCandidate(set, MakeLanguage(primary, sublanguage), chosen))
            return true;
    }
    return false;
}

uint16_t ChooseFromLanguageSet(const LanguageSet* set, uint16_t preferred, uint16_t userDefault,
                               uint16_t systemDefault) {
    if (set->count == 0)
        return 0;
    uint16_t chosen = 0;
    if (PrimaryLanguage(preferred) != 0 && TryLanguageFamily(set, preferred, &chosen))
        return chosen;
    if (TryLanguageFamily(set, userDefault, &chosen) || TryLanguageFamily(set, systemDefault, &chosen))
        return chosen;
    // Language-neutral entries, then English: the user's languages are not there.
    if (TryCandidate(set, MakeLanguage(0, 1), &chosen) || TryCandidate(set, MakeLanguage(0, 2), &chosen))
        return chosen;
    if (TryLanguageFamily(set, MakeLanguage(9, 1), &chosen))
        return chosen;
    // Whatever the resource has: its lowest language other than 0.
    for (unsigned i = 0; i < set->count; ++i) {
        if (set->ids[i] != 0)
            return set->ids[i];
    }
    return 0;
}
