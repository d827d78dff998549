// Which of a resource's languages is used: preferred, user default, system default, neutral
// entries, English, the lowest entry.
#include "resources/language_choice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const uint16_t kCzech = 0x0405, kGerman = 0x0407, kEnglish = 0x0409, kFrench = 0x040C, kPolish = 0x0415;

TEST(ChooseFromLanguageSet, EdgeCases) {
    const struct {
        const char* name;
        std::vector<uint16_t> set; // in the order the enumeration reports them
        uint16_t preferred, user, system, chosen;
    } cases[] = {
        {"preferred first", {kEnglish, kCzech}, kCzech, kEnglish, kEnglish, kCzech},
        {"preferred English", {kCzech, kEnglish}, kEnglish, kCzech, kCzech, kEnglish},
        {"UK English: sublanguage 1", {kCzech, kEnglish}, 0x0809, kCzech, kCzech, kEnglish},
        {"preferred exact sublanguage", {kGerman, 0x0C07, 0x0007}, 0x0C07, kGerman, kGerman, 0x0C07},
        {"preference of primary language 0 is none", {0x0C00, kCzech}, 0x0C00, kCzech, kCzech, kCzech},
        {"user default", {kCzech, kEnglish}, 0, kCzech, kEnglish, kCzech},
        {"then system default", {kCzech, kEnglish}, 0, kGerman, kCzech, kCzech},
        {"no German entry: English", {kCzech, kEnglish}, 0, 0x0C07, kGerman, kEnglish},
        {"no Polish entry: English", {kCzech, kEnglish}, 0, kPolish, kPolish, kEnglish},
        {"sublanguage 1 first", {0x1407, 0x0807, 0x0007, kGerman, kEnglish}, 0x0C07, 0, 0, kGerman},
        {"then neutral", {0x1407, 0x0807, 0x0007, kEnglish}, 0x0C07, 0, 0, 0x0007},
        {"then ascending", {0x1407, 0x0807, kEnglish}, 0x0C07, 0, 0, 0x0807},
        {"up to sublanguage 63", {0xFC07, kEnglish}, 0x0C07, 0, 0, 0xFC07},
        {"English neutral before UK", {0x0809, 0x0009, 0x0007}, 0, kPolish, kPolish, 0x0009},
        {"UK English before the lowest", {0x0809, kFrench}, 0, kPolish, kPolish, 0x0809},
        {"neutral entry 0x0400 first", {0x0800, kEnglish, 0x0400}, 0, kPolish, kPolish, 0x0400},
        {"then 0x0800, before English", {kEnglish, 0x0800}, 0, kPolish, kPolish, 0x0800},
        {"lowest entry", {kFrench, kGerman}, 0, kEnglish, kEnglish, kGerman},
        {"language 0 not lowest", {kFrench, 0x0000}, 0, kPolish, kPolish, kFrench},
        {"language 0 not by user default", {kFrench, 0x0000}, 0, 0x0000, 0x0000, kFrench},
        {"language 0 not before 0x0400", {0x0400, 0x0000}, 0, 0x0000, kPolish, 0x0400},
        {"empty set", {}, kCzech, kCzech, kCzech, 0},
    };
    for (const auto& c : cases) {
        LanguageSet set = {{}, 0};
        for (uint16_t language : c.set)
            AddToLanguageSet(&set, language);
        EXPECT_EQ(c.chosen, ChooseFromLanguageSet(&set, c.preferred, c.user, c.system)) << c.name;
    }
}

// Descending, so that every insertion shifts the whole tail; the 1024th stops the enumeration and
// later ones, should it go on, are dropped.
TEST(AddToLanguageSet, StopsAt1024AndStaysSorted) {
    LanguageSet set = {{}, 0};
    for (unsigned i = 0; i < 1030; ++i)
        EXPECT_EQ(i < 1023, AddToLanguageSet(&set, uint16_t(i == 1023 ? 1 : 5000 - i))) << "entry " << i;
    ASSERT_EQ(1024, set.count);
    for (unsigned i = 0; i < 1024; ++i)
        EXPECT_EQ(i == 0 ? 1 : 5000 - 1023 + i, set.ids[i]) << "entry " << i;
    EXPECT_TRUE(LanguageSetHas(&set, 1) && LanguageSetHas(&set, 5000) && LanguageSetHas(&set, 3978));
    EXPECT_FALSE(LanguageSetHas(&set, 3977) || LanguageSetHas(&set, 3976) || LanguageSetHas(&set, 0));
}

} // namespace
