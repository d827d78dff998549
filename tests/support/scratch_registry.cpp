#include "scratch_registry.h"

#include <stdio.h>

#include "common/names.h"

static wchar_t s_scratchPath[96];
static HKEY s_scratchKey;

void IsolatedRegistryTest::SetUp() {
    static unsigned s_counter;
    swprintf(s_scratchPath, 96, L"Software\\VeltranaTests\\%lu-%u", GetCurrentProcessId(), ++s_counter);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, s_scratchPath, 0, NULL, 0, KEY_ALL_ACCESS,
                                             NULL, &s_scratchKey, NULL));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, s_scratchKey));
}

void IsolatedRegistryTest::TearDown() {
    RegOverridePredefKey(HKEY_CURRENT_USER, NULL);
    RegCloseKey(s_scratchKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, s_scratchPath);
}

bool SettingsKeyExists() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

DWORD SettingValueCount() {
    HKEY key;
    DWORD values = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    return values;
}

void PutSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, name, type, data, size));
}

void PutSettingDword(const wchar_t* name, DWORD value) {
    PutSettingValue(name, REG_DWORD, &value, 4);
}

void PutSettingString(const wchar_t* name, const wchar_t* text) {
    PutSettingValue(name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * 2));
}

bool GetSettingValue(const wchar_t* name, DWORD* type, void* data, DWORD* size) {
    return RegGetValueW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, name, RRF_RT_ANY | RRF_NOEXPAND, type, data,
                        size) == ERROR_SUCCESS;
}

DWORD StoredDword(const wchar_t* name) {
    DWORD type = 0, value = 0, size = 4;
    return GetSettingValue(name, &type, &value, &size) && type == REG_DWORD && size == 4 ? value : 0xDEADBEEF;
}
