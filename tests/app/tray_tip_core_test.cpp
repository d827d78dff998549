// The tooltip's text from the program's state, with made-up words (the real ones, in both
// languages, are checked on the Windows tier).
#include <gtest/gtest.h>

#include <string>

#include "app/tray_tip_core.h"

namespace {

const TrayTipWords kWords = {L"V: %1, %2",
                             L"on (%1)",
                             L"on for %1 (%2)",
                             {L"HP", L"min", L"min, no HP", L"HP before"},
                             L"waiting",
                             L"off",
                             L"off (error %1)",
                             L"undone",
                             L"Fast: CPU %1, %2,%3 GHz (%4 %%)",
                             L"Fast: CPU %1, %2,%3 GHz",
                             L"Fast: CPU %1 (%2 %%)"};

std::wstring Tip(const TrayTipState& state) {
    wchar_t tip[kTrayTipUnits + 8];
    wmemset(tip, L'#', kTrayTipUnits + 8);
    const size_t length = FormatTrayTip(kWords, state, tip);
    EXPECT_EQ(std::wstring(8, L'#'), std::wstring(tip + kTrayTipUnits, 8)) << "written past the tip";
    EXPECT_EQ(length, wcslen(tip));
    return tip;
}

TEST(FormatTrayTip, EachStateAndTheFastestProcessor) {
    const struct {
        TrayTipState state;
        const wchar_t* tip;
    } cases[] = {
        {{L"&Full", kTipBoosted, kTipBySchemeSwitch, nullptr, 0, true, 5, 112.0, 3660},
         L"V: Full, on (HP)\nFast: CPU 5, 4,1 GHz (112 %)"},
        {{L"A&&B", kTipBoosted, kTipByFallback, L"game.exe", 0, true, 0, 99.5, 2000},
         L"V: A&B, on for game.exe (min, no HP)\nFast: CPU 0, 2,0 GHz (100 %)"},
        {{L"Auto", kTipBoosted, kTipAlreadyHighPerformance, L"x.exe", 0, true, 63, -1, 4150},
         L"V: Auto, on for x.exe (HP before)\nFast: CPU 63, 4,2 GHz"},
        {{L"Auto", kTipBoosted, kTipByMinimumState, nullptr, 0, true, 1, 87.4, 0},
         L"V: Auto, on (min)\nFast: CPU 1 (87 %)"},
        {{L"Auto", kTipWaiting, kTipBySchemeSwitch, L"ignored.exe", 0, false, 0, 0, 0}, L"V: Auto, waiting"},
        {{L"Full", kTipRefused, kTipBySchemeSwitch, nullptr, 1314, false, 0, 0, 0},
         L"V: Full, off (error 1314)"},
        {{L"Full", kTipUndone, kTipBySchemeSwitch, nullptr, 0, true, 2, -1, 800},
         L"V: Full, undone\nFast: CPU 2, 0,8 GHz"},
        {{L"Off&", kTipNotBoosted, kTipBySchemeSwitch, nullptr, 0, true, 3, 1e12, 4000000000u},
         L"V: Off, off\nFast: CPU 3, 100000000,0 GHz (1000000000 %)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.tip), Tip(c.state)) << c.tip;
}

// A program's name too long for 127 units gives up its end to an ellipsis, the second line stays
// whole; a name that fits stays whole.
TEST(FormatTrayTip, ALongProgramNameIsShortenedToFit) {
    const std::wstring second = L"\nFast: CPU 12, 3,4 GHz (100 %)";
    const size_t room = kTrayTipUnits - 1 - second.size() - std::wstring(L"V: Auto, on for  (HP)").size();
    for (size_t length = 1; length < 400; ++length) {
        const std::wstring name = L"g" + std::wstring(length - 1, L'a');
        const std::wstring tip =
            Tip({L"Auto", kTipBoosted, kTipBySchemeSwitch, name.c_str(), 0, true, 12, 100, 3400});
        const std::wstring shown = length <= room ? name : name.substr(0, room - 1) + L"\u2026";
        EXPECT_EQ(L"V: Auto, on for " + shown + L" (HP)" + second, tip) << length;
    }
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
