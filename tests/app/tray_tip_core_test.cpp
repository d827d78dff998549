// The tooltip's text from the program's state, with made-up words (the real ones are checked on
// the Windows tier).
#include <gtest/gtest.h>

#include <string>

#include "app/tray_tip_core.h"
#include "tests/support/boost_state_names.h"

namespace {

const TrayTipWords kWords = {.status = L"V: %1, %2",
                             .boosted = L"on (%1)",
                             .boostedFor = L"on for %1 (%2)",
                             .how = {L"HP", L"min", L"min, no HP", L"HP before"},
                             .waiting = L"waiting",
                             .notBoosted = L"off",
                             .refused = L"off (error %1)",
                             .undone = L"undone",
                             .releaseRefused = L"still on (error %1)",
                             .fastest = L"Fast: CPU %1, %2,%3 GHz (%4 %%)",
                             .fastestClock = L"Fast: CPU %1, %2,%3 GHz",
                             .fastestShare = L"Fast: CPU %1 (%2 %%)",
                             .fastestClass = L"Fast: CPU %1, class %2 (%3 %%)",
                             .withMode = L"%1, best",
                             .onBattery = L"off: battery"};

std::wstring Tip(const TrayTipState& state) {
    wchar_t tip[kTrayTipUnits + 8];
    wmemset(tip, L'#', kTrayTipUnits + 8);
    const size_t length = FormatTrayTip(kWords, state, tip);
    EXPECT_EQ(std::wstring(8, L'#'), std::wstring(tip + kTrayTipUnits, 8)) << "written past the tip";
    EXPECT_EQ(length, wcslen(tip));
    return tip;
}

// What the first line says of each state in each mode: a refusal, a boost held back on battery or
// a boost found in place only while the mode wants a boost (Automatic only while a watched program
// runs).
TEST(FormatTrayTip, TheBoostsStateAsTheModeSeesIt) {
    const struct {
        TrayTipMode mode;
        const wchar_t* program = nullptr;
        BoostState boost;
        bool bestPerformanceMode = false;
        const wchar_t* tip;
    } cases[] = {
        {.mode = kTipFullThrottle, .boost = kBoostBySchemeSwitch, .tip = L"V: M, on (HP)"},
        {.mode = kTipAutomatic,
         .program = L"game.exe",
         .boost = kBoostByFallback,
         .tip = L"V: M, on for game.exe (min, no HP)"},
        {.mode = kTipAutomatic,
         .program = L"x.exe",
         .boost = kBoostAlreadyHighPerformance,
         .tip = L"V: M, on for x.exe (HP before)"},
        {.mode = kTipAutomatic,
         .program = L"x.exe",
         .boost = kBoostRefused,
         .tip = L"V: M, off (error 1314)"},
        {.mode = kTipAutomatic, .boost = kBoostRefused, .tip = L"V: M, waiting"},
        {.mode = kTipAutomatic, .boost = kBoostAlreadyHighPerformance, .tip = L"V: M, waiting"},
        {.mode = kTipAutomatic, .program = L"x.exe", .boost = kBoostNone, .tip = L"V: M, off"},
        {.mode = kTipFullThrottle, .boost = kBoostByMinimumState, .tip = L"V: M, on (min)"},
        {.mode = kTipFullThrottle, .boost = kBoostRefused, .tip = L"V: M, off (error 1314)"},
        {.mode = kTipDisabled, .boost = kBoostRefused, .tip = L"V: M, off"},
        {.mode = kTipDisabled, .boost = kBoostReleaseRefused, .tip = L"V: M, still on (error 1314)"},
        {.mode = kTipAutomatic, .boost = kBoostReleaseRefused, .tip = L"V: M, still on (error 1314)"},
        {.mode = kTipFullThrottle, .boost = kBoostUndoneElsewhere, .tip = L"V: M, undone"},
        {.mode = kTipAutomatic, .program = L"x.exe", .boost = kBoostUndoneElsewhere, .tip = L"V: M, undone"},
        {.mode = kTipFullThrottle,
         .boost = kBoostByFallback,
         .bestPerformanceMode = true,
         .tip = L"V: M, on (min, best)"},
        {.mode = kTipAutomatic, .program = L"x.exe", .boost = kBoostOnBattery, .tip = L"V: M, off: battery"},
        {.mode = kTipAutomatic, .boost = kBoostOnBattery, .tip = L"V: M, waiting"},
        {.mode = kTipDisabled, .boost = kBoostOnBattery, .tip = L"V: M, off"},
    };
    for (const auto& c : cases) {
        TrayTipState state = {.modeName = L"M",
                              .mode = c.mode,
                              .boost = c.boost,
                              .bestPerformanceMode = c.bestPerformanceMode,
                              .program = c.program,
                              .error = 1314};
        const char* const modes[] = {"Full Throttle", "Automatic", "Disabled"};
        EXPECT_EQ(std::wstring(c.tip), Tip(state))
            << modes[c.mode] << (c.program ? " with a watched program, " : ", ") << BoostStateName(c.boost)
            << (c.bestPerformanceMode ? ", with Best performance mode" : "");
    }
}

// The second line in each of its forms: with the counter's percentage and a clock, the clock
// alone, the percentage alone, values past any sense, or none.
TEST(FormatTrayTip, TheFastestProcessor) {
    const struct {
        bool known = true;
        double percent;
        uint32_t mhz;
        const wchar_t* second;
        int32_t efficiencyClass = -1;
    } cases[] = {
        {.percent = 112.0, .mhz = 3660, .second = L"\nFast: CPU 63, 4,1 GHz (112 %)"},
        {.percent = 99.5, .mhz = 2000, .second = L"\nFast: CPU 63, 2,0 GHz (100 %)"},
        {.percent = -1, .mhz = 4150, .second = L"\nFast: CPU 63, 4,2 GHz"},
        {.percent = 87.4, .mhz = 0, .second = L"\nFast: CPU 63 (87 %)"},
        {.percent = 1e12, .mhz = 4000000000u, .second = L"\nFast: CPU 63, 100000000,0 GHz (1000000000 %)"},
        {.known = false, .percent = 50, .mhz = 3000, .second = L""},
        // A hybrid processor's class, with the percentage; without the counter its clock.
        {.percent = 96.0, .mhz = 0, .second = L"\nFast: CPU 63, class 1 (96 %)", .efficiencyClass = 1},
        {.percent = -1, .mhz = 1200, .second = L"\nFast: CPU 63, 1,2 GHz", .efficiencyClass = 0},
    };
    for (const auto& c : cases) {
        TrayTipState state = {
            .modeName = L"M", .fastestKnown = c.known, .processor = 63, .percent = c.percent, .mhz = c.mhz};
        state.efficiencyClass = c.efficiencyClass;
        EXPECT_EQ(L"V: M, off" + std::wstring(c.second), Tip(state)) << "expected: " << c.second;
    }
}

// The mode's name as the menu shows it, without the marker of its access key.
TEST(FormatTrayTip, TheModesNameWithoutItsAccessKey) {
    for (const auto& [menu, shown] :
         {std::pair(L"&Full", L"Full"), std::pair(L"A&&B", L"A&B"), std::pair(L"Off&", L"Off")})
        EXPECT_EQ(L"V: " + std::wstring(shown) + L", off", Tip({.modeName = menu}))
            << "in the menu: " << menu;
}

// A program's name too long for 127 units gives up its end to an ellipsis, the second line stays
// whole; a name that fits stays whole.
TEST(FormatTrayTip, ALongProgramNameIsShortenedToFit) {
    const std::wstring second = L"\nFast: CPU 12, 3,4 GHz (100 %)";
    const size_t room = kTrayTipUnits - 1 - second.size() - std::wstring(L"V: Auto, on for  (HP)").size();
    for (size_t length = 1; length < 400; ++length) {
        const std::wstring name = L"g" + std::wstring(length - 1, L'a');
        const std::wstring tip = Tip({.modeName = L"Auto",
                                      .mode = kTipAutomatic,
                                      .boost = kBoostBySchemeSwitch,
                                      .program = name.c_str(),
                                      .fastestKnown = true,
                                      .processor = 12,
                                      .percent = 100,
                                      .mhz = 3400});
        const std::wstring shown = length <= room ? name : name.substr(0, room - 1) + L"\u2026";
        EXPECT_EQ(L"V: Auto, on for " + shown + L" (HP)" + second, tip) << length;
    }
}

// A refusal gives Windows' words for the error beside its number, on one line and without the
// final period; words too long for the tip give up their end to an ellipsis.
TEST(FormatTrayTip, WindowsWordsForARefusal) {
    TrayTipState state = {
        .modeName = L"M", .boost = kBoostReleaseRefused, .error = 5, .errorText = L"No\r\nway.\r\n"};
    EXPECT_EQ(L"V: M, still on (error 5: No way)", Tip(state));
    const std::wstring longText(200, L'o');
    state.errorText = longText.c_str();
    EXPECT_EQ(L"V: M, still on (error 5: " + longText.substr(0, 100) + L"\u2026)", Tip(state));
}

TEST(ExpandTemplate, NumberedArgumentsPercentSignsAndTheRoomGiven) {
    const wchar_t* args[] = {L"one", L"two"};
    const struct {
        const wchar_t* pattern;
        size_t room;
        const wchar_t* expanded;
    } cases[] = {
        {L"%2 %1 %1", 64, L"two one one"},
        {L"%3|%9|%0|%", 64, L"||%0|%"},
        {L"100 %% %x", 64, L"100 % %x"},
        {L"%1%2", 5, L"onet"},
        {L"abc", 1, L""},
    };
    for (const auto& c : cases) {
        wchar_t out[64];
        EXPECT_EQ(wcslen(c.expanded), ExpandTemplate(c.pattern, args, 2, out, c.room)) << c.pattern;
        EXPECT_EQ(std::wstring(c.expanded), out) << c.pattern;
    }
}

} // namespace
