// Choosing one language out of the set a resource exists in. No Windows headers: the rules
// are plain arithmetic on 16-bit LANGIDs, tested natively.
#ifndef VELTRANA_LANGUAGE_CHOICE_H
#define VELTRANA_LANGUAGE_CHOICE_H

#include <stdint.h>

enum { kLanguageSetCapacity = 1024 };

// The distinct languages of one resource, ascending. Lives on the caller's stack.
struct LanguageSet {
    uint16_t ids[kLanguageSetCapacity];
    uint16_t count;
};

// Inserts one reported LANGID at its sorted place (after equal ones). Returns whether the
// enumeration should go on: false once the set holds kLanguageSetCapacity entries.
bool AddToLanguageSet(LanguageSet* set, uint16_t language);

bool LanguageSetHas(const LanguageSet* set, uint16_t language);

// The language to use: preferred, then user default, then system default (each with its
// sublanguage variants), then the neutral entries, then English, then the lowest entry.
// 0 when the set is empty.
uint16_t ChooseFromLanguageSet(const LanguageSet* set, uint16_t preferred, uint16_t userDefault,
                               uint16_t systemDefault);

#endif
