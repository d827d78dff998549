#include "resources/language_choice.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

uint16_t Lang(uint16_t primary, uint16_t sublanguage) {
    return static_cast<uint16_t>(sublanguage << 10 | primary);
}

const uint16_t kEnglishUS = 0x0409, kCzech = 0x0405, kGerman = 0x0407, kGermanAustria = 0x0C07,
               kFrench = 0x040C, kPolish = 0x0415, kEnglishUK = 0x0809;

LanguageSet SetOf(std::initializer_list<uint16_t> languages) {
    LanguageSet set;
    set.count = 0;
    for (uint16_t language : languages)
        AddToLanguageSet(&set, language);
    return set;
}

TEST(LanguageSet, KeepsEntriesSortedAndFindsThem) {
    LanguageSet set = SetOf({kGerman, kCzech, kEnglishUS, kCzech, 0x0001});
    ASSERT_EQ(5, set.count);
    const uint16_t sorted[] = {0x0001, kCzech, kCzech, kGerman, kEnglishUS};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sorted[i], set.ids[i]) << i;
    EXPECT_TRUE(LanguageSetHas(&set, 0x0001));
    EXPECT_TRUE(LanguageSetHas(&set, kCzech));
    EXPECT_TRUE(LanguageSetHas(&set, kEnglishUS));
    EXPECT_FALSE(LanguageSetHas(&set, 0x0000));
    EXPECT_FALSE(LanguageSetHas(&set, 0x0406));
    EXPECT_FALSE(LanguageSetHas(&set, 0xFFFF));
}

TEST(LanguageSet, StopsCollectingAt1024) {
    LanguageSet set;
    set.count = 0;
    // Descending, so that every insertion shifts the whole tail.
    for (unsigned i = 0; i < 1023; ++i)
        ASSERT_TRUE(AddToLanguageSet(&set, static_cast<uint16_t>(5000 - i))) << i;
    EXPECT_FALSE(AddToLanguageSet(&set, 1));
    EXPECT_EQ(1024, set.count);
    // An enumeration that went on regardless must not grow the set past its array.
    EXPECT_FALSE(AddToLanguageSet(&set, 2));
    EXPECT_EQ(1024, set.count);
    EXPECT_EQ(1, set.ids[0]);
    EXPECT_EQ(5000 - 1022, set.ids[1]);
    EXPECT_EQ(5000, set.ids[1023]);
    EXPECT_FALSE(LanguageSetHas(&set, 2));
}

TEST(ChooseLanguage, PreferredLanguageComesFirst) {
    LanguageSet set = SetOf({kCzech, kEnglishUS});
    EXPECT_EQ(kCzech, ChooseFromLanguageSet(&set, kCzech, kEnglishUS, kEnglishUS));
    EXPECT_EQ(kEnglishUS, ChooseFromLanguageSet(&set, kEnglishUS, kCzech, kCzech));
    // English (United Kingdom) is served by the default English sublanguage, before the
    // user's and system's Czech.
    EXPECT_EQ(kEnglishUS, ChooseFromLanguageSet(&set, kEnglishUK, kCzech, kCzech));
    // A preference whose primary language is 0 is no preference.
    EXPECT_EQ(kCzech, ChooseFromLanguageSet(&set, 0, kCzech, kEnglishUS));
    EXPECT_EQ(kCzech, ChooseFromLanguageSet(&set, Lang(0, 3), kCzech, kEnglishUS));
}

TEST(ChooseLanguage, UserThenSystemDefaultThenEnglish) {
    LanguageSet set = SetOf({kCzech, kEnglishUS});
    EXPECT_EQ(kCzech, ChooseFromLanguageSet(&set, 0, kCzech, kGerman));
    EXPECT_EQ(kCzech, ChooseFromLanguageSet(&set, 0, kGerman, kCzech));
    // No German entry at all: English.
    EXPECT_EQ(kEnglishUS, ChooseFromLanguageSet(&set, 0, kGermanAustria, kGerman));

    LanguageSet czechAndEnglish = SetOf({0x0405, 0x0409});
    EXPECT_EQ(0x0409, ChooseFromLanguageSet(&czechAndEnglish, 0, kPolish, kPolish));
}

TEST(ChooseLanguage, SublanguageOrderIsDefaultThenNeutralThenAscending) {
    LanguageSet set = SetOf({Lang(7, 5), Lang(7, 2), Lang(7, 0), Lang(7, 1), kEnglishUS});
    EXPECT_EQ(Lang(7, 1), ChooseFromLanguageSet(&set, kGermanAustria, 0, 0));
    set = SetOf({Lang(7, 5), Lang(7, 2), Lang(7, 0), kEnglishUS});
    EXPECT_EQ(Lang(7, 0), ChooseFromLanguageSet(&set, kGermanAustria, 0, 0));
    set = SetOf({Lang(7, 5), Lang(7, 2), kEnglishUS});
    EXPECT_EQ(Lang(7, 2), ChooseFromLanguageSet(&set, kGermanAustria, 0, 0));
    set = SetOf({Lang(7, 63), kEnglishUS});
    EXPECT_EQ(Lang(7, 63), ChooseFromLanguageSet(&set, kGermanAustria, 0, 0));
    // The same order for English, the last resort: 0x0009 before 0x0809.
    set = SetOf({kEnglishUK, 0x0009, kFrench});
    EXPECT_EQ(0x0009, ChooseFromLanguageSet(&set, 0, kPolish, kPolish));
}

TEST(ChooseLanguage, NeutralEntriesBeforeEnglish) {
    LanguageSet set = SetOf({0x0800, 0x0400, kEnglishUS});
    EXPECT_EQ(0x0400, ChooseFromLanguageSet(&set, 0, kPolish, kPolish));
    set = SetOf({0x0800, kEnglishUS});
    EXPECT_EQ(0x0800, ChooseFromLanguageSet(&set, 0, kPolish, kPolish));
}

TEST(ChooseLanguage, LowestEntryWhenNothingElseFits) {
    LanguageSet set = SetOf({kFrench, kGerman});
    EXPECT_EQ(kGerman, ChooseFromLanguageSet(&set, 0, kEnglishUS, kEnglishUS));
    set = SetOf({});
    EXPECT_EQ(0, ChooseFromLanguageSet(&set, kCzech, kCzech, kCzech));
}

TEST(ChooseLanguage, LanguageZeroIsNeverChosenOverARealOne) {
    // 0 would read as "not found", so a set holding it must still yield its other language,
    // also when a default language has primary language 0.
    LanguageSet set = SetOf({kFrench, 0x0000});
    EXPECT_EQ(kFrench, ChooseFromLanguageSet(&set, 0, kPolish, kPolish));
    EXPECT_EQ(kFrench, ChooseFromLanguageSet(&set, 0, 0x0000, 0x0000));
    set = SetOf({0x0000, 0x0400});
    EXPECT_EQ(0x0400, ChooseFromLanguageSet(&set, 0, 0x0000, kPolish));
}

} // namespace
