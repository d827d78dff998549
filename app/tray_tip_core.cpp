#include "app/tray_tip_core.h"

namespace {

const size_t kLine = 512; // room for a line before it is fitted into the tip
const wchar_t kEllipsis = L'\u2026';

size_t Length(const wchar_t* text) {
    size_t n = 0;
    while (text && text[n])
        ++n;
    return n;
}

void Decimal(uint64_t value, wchar_t* text) {
    wchar_t digits[24];
    size_t n = 0;
    do
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
    while (value /= 10);
    for (size_t i = 0; i < n; ++i)
        text[i] = digits[n - 1 - i];
    text[n] = 0;
}

// Rounded, and kept within what a clock or a percentage can sensibly be.
uint64_t Rounded(double value) {
    return value > 0 ? (value < 1e9 ? static_cast<uint64_t>(value + 0.5) : 1000000000u) : 0;
}

// The mode's name without the access-key marker ("&&" stays one "&").
void PlainMenuText(const wchar_t* text, wchar_t* plain, size_t room) {
    size_t n = 0;
    for (; text && *text && n + 1 < room; ++text) {
        if (*text == L'&' && *++text == 0)
            break;
        plain[n++] = *text;
    }
    plain[n] = 0;
}

size_t FastestLine(const TrayTipWords& words, const TrayTipState& state, wchar_t* line) {
    line[0] = 0;
    if (!state.fastestKnown)
        return 0;
    wchar_t processor[24], ghz[24], tenth[24], percent[24];
    Decimal(state.processor, processor);
    const bool counter = state.percent >= 0;
    const uint64_t tenths = Rounded((counter ? state.percent * state.mhz / 100 : state.mhz) / 100.0);
    Decimal(tenths / 10, ghz);
    Decimal(tenths % 10, tenth);
    Decimal(Rounded(state.percent), percent);
    if (!counter) {
        const wchar_t* args[] = {processor, ghz, tenth};
        return ExpandTemplate(words.fastestClock, args, 3, line, kLine);
    }
    if (state.efficiencyClass >= 0) {
        wchar_t efficiency[24];
        Decimal(static_cast<uint32_t>(state.efficiencyClass), efficiency);
        const wchar_t* args[] = {processor, efficiency, percent};
        return ExpandTemplate(words.fastestClass, args, 3, line, kLine);
    }
    if (state.mhz == 0) {
        const wchar_t* args[] = {processor, percent};
        return ExpandTemplate(words.fastestShare, args, 2, line, kLine);
    }
    const wchar_t* args[] = {processor, ghz, tenth, percent};
    return ExpandTemplate(words.fastest, args, 4, line, kLine);
}

// Windows' text for an error on one line, without the line end and the final period it comes
// with.
void TrimErrorText(const wchar_t* text, wchar_t* trimmed) {
    size_t n = 0;
    for (; text && *text && n + 1 < kLine; ++text) {
        if (*text != L'\r')
            trimmed[n++] = *text == L'\n' ? L' ' : *text;
    }
    while (n && trimmed[n - 1] == L' ')
        --n;
    if (n && trimmed[n - 1] == L'.')
        --n;
    trimmed[n] = 0;
}

// What the first line says of the boost.
enum Said {
    kSayWaiting,
    kSayNotBoosted,
    kSayRefused,
    kSayReleaseRefused,
    kSayUndone,
    kSayOnBattery,
    kSayBoosted
};

Said WhatToSay(const TrayTipState& state) {
    switch (state.boost) {
    case kBoostReleaseRefused:
        return kSayReleaseRefused;
    case kBoostUndoneElsewhere:
        return kSayUndone;
    case kBoostBySchemeSwitch:
    case kBoostByMinimumState:
    case kBoostByFallback:
        return kSayBoosted;
    default:
        break;
    }
    const bool wanted = state.mode == kTipFullThrottle || (state.mode == kTipAutomatic && state.program);
    if (!wanted)
        return state.mode == kTipAutomatic ? kSayWaiting : kSayNotBoosted;
    if (state.boost == kBoostAlreadyHighPerformance)
        return kSayBoosted;
    if (state.boost == kBoostOnBattery)
        return kSayOnBattery;
    return state.boost == kBoostRefused ? kSayRefused : kSayNotBoosted;
}

// What the first line may shorten: the program named (only of a boost in force in Automatic), or
// Windows' text for a refusal (trimmed already), or nothing.
const wchar_t* Shortenable(const TrayTipState& state, const wchar_t* errorText) {
    const Said said = WhatToSay(state);
    if (said == kSayBoosted)
        return state.mode == kTipAutomatic ? state.program : nullptr;
    return (said == kSayRefused || said == kSayReleaseRefused) && errorText[0] ? errorText : nullptr;
}

// The first line with the program's name or the error's text as given (which may be shortened
// already).
size_t StatusLine(const TrayTipWords& words, const TrayTipState& state, const wchar_t* shortenable,
                  wchar_t* line) {
    wchar_t mode[kLine], boost[kLine], number[24], code[kLine];
    PlainMenuText(state.modeName, mode, kLine);
    const Said said = WhatToSay(state);
    const wchar_t* program = said == kSayBoosted ? shortenable : nullptr;
    // A refusal's "%1": the number, and Windows' text for it where there is one.
    Decimal(state.error, number);
    const wchar_t* error[] = {number, shortenable};
    ExpandTemplate(said != kSayBoosted && shortenable ? L"%1: %2" : L"%1", error, 2, code, kLine);
    // With the power mode, the fallback's words give way to the mode's: the tip has no room for both.
    const BoostState named =
        state.bestPerformanceMode && state.boost == kBoostByFallback ? kBoostByMinimumState : state.boost;
    const int way = static_cast<int>(named) - kBoostBySchemeSwitch;
    const wchar_t* how = said == kSayBoosted && way >= 0 && way < kBoostWays ? words.how[way] : nullptr;
    wchar_t withMode[kLine];
    if (how && state.bestPerformanceMode) {
        ExpandTemplate(words.withMode, &how, 1, withMode, kLine);
        how = withMode;
    }
    const wchar_t* text = said == kSayWaiting          ? words.waiting
                          : said == kSayNotBoosted     ? words.notBoosted
                          : said == kSayRefused        ? words.refused
                          : said == kSayReleaseRefused ? words.releaseRefused
                          : said == kSayUndone         ? words.undone
                          : said == kSayOnBattery      ? words.onBattery
                          : program                    ? words.boostedFor
                                                       : words.boosted;
    // "%1" is the program or the way (boosted for, boosted) or the error (refusals).
    const wchar_t* first = said == kSayBoosted ? (program ? program : how) : code;
    const wchar_t* args[] = {first, how};
    ExpandTemplate(text, args, 2, boost, kLine);
    const wchar_t* parts[] = {mode, boost};
    return ExpandTemplate(words.status, parts, 2, line, kLine);
}

} // namespace

size_t ExpandTemplate(const wchar_t* pattern, const wchar_t* const* args, size_t count, wchar_t* out,
                      size_t room) {
    size_t n = 0;
    auto put = [&](wchar_t c) {
        if (n + 1 < room)
            out[n++] = c;
    };
    for (const wchar_t* p = pattern; p && *p; ++p) {
        if (*p != L'%' || (p[1] != L'%' && (p[1] < L'1' || p[1] > L'9'))) {
            put(*p);
        } else if (*++p == L'%') {
            put(L'%');
        } else if (static_cast<size_t>(*p - L'1') < count) {
            for (const wchar_t* a = args[*p - L'1']; a && *a; ++a)
                put(*a);
        }
    }
    if (room)
        out[n] = 0;
    return n;
}

size_t FormatTrayTip(const TrayTipWords& words, const TrayTipState& state, wchar_t* tip) {
    wchar_t second[kLine], first[kLine];
    const size_t secondLength = FastestLine(words, state, second);
    const size_t limit = kTrayTipUnits - 1;
    // What the first line may take: the tip's room less the second line and its line feed.
    const size_t room = secondLength && secondLength + 1 < limit ? limit - secondLength - 1 : limit;
    wchar_t errorText[kLine];
    TrimErrorText(state.errorText, errorText);
    const wchar_t* program = Shortenable(state, errorText);
    size_t firstLength = StatusLine(words, state, program, first);
    const size_t name = Length(program);
    if (firstLength > room && name > 1) {
        // The program's name (or the error's text) gives up what is missing, plus one for the
        // ellipsis, keeping its start, by which its user knows it.
        const size_t cut = firstLength - room + 1;
        wchar_t shortened[kLine];
        const size_t keep = cut < name ? name - cut : 1;
        for (size_t i = 0; i < keep; ++i)
            shortened[i] = program[i];
        shortened[keep] = kEllipsis;
        shortened[keep + 1] = 0;
        firstLength = StatusLine(words, state, shortened, first);
    }
    if (firstLength > room) {
        first[room - 1] = kEllipsis;
        first[room] = 0;
        firstLength = room;
    }
    size_t n = 0;
    for (size_t i = 0; i < firstLength; ++i)
        tip[n++] = first[i];
    if (secondLength && n + 1 + secondLength <= limit) {
        tip[n++] = L'\n';
        for (size_t i = 0; i < secondLength; ++i)
            tip[n++] = second[i];
    }
    tip[n] = 0;
    return n;
}
