#include "settings/settings.h"

#include "resources/localized.h"
#include "resources/resource_ids.h"
#include "scratch_registry.h"

#include <vector>

namespace {

DWORD* const kScalars[] = {&g_boostMethod,    &g_languageSetting, &g_borders,    &g_colorBorder,
                           &g_colorFrequency, &g_colorActive,     &g_colorShadow};
const int kScalarCount = sizeof(kScalars) / sizeof(kScalars[0]);

// The values the program starts with, taken before any test has run.
const std::vector<DWORD> kAtStart = [] {
    std::vector<DWORD> values;
    for (DWORD* scalar : kScalars)
        values.push_back(*scalar);
    return values;
}();

class SettingsTest : public IsolatedRegistryTest {
  protected:
    void SetUp() override {
        IsolatedRegistryTest::SetUp();
        for (int i = 0; i < kScalarCount; ++i)
            *kScalars[i] = kAtStart[i];
        g_preferredLanguage = 0;
    }
    void TearDown() override {
        g_preferredLanguage = 0;
        IsolatedRegistryTest::TearDown();
    }
};

void ExpectDefaults() {
    EXPECT_EQ(0u, g_boostMethod);
    EXPECT_EQ(0u, g_languageSetting);
    EXPECT_EQ(1u, g_borders);
    EXPECT_EQ(0x80000000u, g_colorBorder);
    EXPECT_EQ(0x008080FFu, g_colorFrequency);
    EXPECT_EQ(0xFFFFFFFFu, g_colorActive);
    EXPECT_EQ(0x20000000u, g_colorShadow);
}

TEST_F(SettingsTest, WithoutKeyEverySettingKeepsItsDefaultAndNoKeyIsCreated) {
    ExpectDefaults();
    LoadSettings();
    ExpectDefaults();
    HKEY key;
    EXPECT_FALSE(OpenSettingsKeyForRead(&key));
    EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(SettingsTest, OpeningForWriteCreatesTheKey) {
    HKEY key;
    ASSERT_TRUE(OpenSettingsKeyForWrite(&key));
    DWORD method = 1;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"mode", 0, REG_DWORD, reinterpret_cast<BYTE*>(&method), 4));
    RegCloseKey(key);
    ASSERT_TRUE(OpenSettingsKeyForRead(&key));
    RegCloseKey(key);
    LoadSettings();
    EXPECT_EQ(1u, g_boostMethod);
}

TEST_F(SettingsTest, EachValueLandsInItsOwnSetting) {
    PutSettingDword(L"mode", 1);
    PutSettingDword(L"language", 1029);
    PutSettingDword(L"borders", 0);
    PutSettingDword(L"color::border", 0x11223344);
    PutSettingDword(L"color::frequency", 0x55667788);
    PutSettingDword(L"color::active", 0x99AABBCC);
    PutSettingDword(L"color::shadow", 0xDDEEFF00);
    LoadSettings();
    EXPECT_EQ(1u, g_boostMethod);
    EXPECT_EQ(1029u, g_languageSetting);
    EXPECT_EQ(0u, g_borders);
    EXPECT_EQ(0x11223344u, g_colorBorder);
    EXPECT_EQ(0x55667788u, g_colorFrequency);
    EXPECT_EQ(0x99AABBCCu, g_colorActive);
    EXPECT_EQ(0xDDEEFF00u, g_colorShadow);
}

TEST_F(SettingsTest, ValuesAreKeptAsStoredWhateverTheirType) {
    PutSettingDword(L"borders", 5);
    PutSettingDword(L"mode", 2);
    const BYTE twoBytes[] = {0x34, 0x12};
    PutSettingValue(L"color::border", REG_BINARY, twoBytes, 2);
    LoadSettings();
    EXPECT_EQ(5u, g_borders);
    EXPECT_EQ(2u, g_boostMethod);
    EXPECT_EQ(0x80001234u, g_colorBorder); // the default's high bytes stay
}

TEST_F(SettingsTest, OverlongValueKeepsItsDefault) {
    const unsigned long long eightBytes = 0x0123456789ABCDEFull;
    PutSettingValue(L"color::frequency", REG_QWORD, &eightBytes, 8);
    const BYTE fiveBytes[] = {1, 2, 3, 4, 5};
    PutSettingValue(L"color::shadow", REG_BINARY, fiveBytes, 5);
    PutSettingDword(L"color::active", 0x12345678);
    LoadSettings();
    EXPECT_EQ(0x008080FFu, g_colorFrequency);
    EXPECT_EQ(0x20000000u, g_colorShadow);
    EXPECT_EQ(0x12345678u, g_colorActive);
}

TEST_F(SettingsTest, BritishEnglishLanguageKeepsTheMenusEnglish) {
    PutSettingDword(L"language", 0x0809);
    LoadSettings();
    EXPECT_EQ(0x0809u, g_languageSetting);
    g_preferredLanguage = LOWORD(g_languageSetting);
    EXPECT_EQ(1033, ChooseResourceLanguage(GetModuleHandleW(NULL), RT_MENU, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
}

} // namespace
