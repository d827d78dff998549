#include "scratch_registry.h"

#include <stdio.h>

static wchar_t s_scratchPath[96];
static HKEY s_scratchKey;
static unsigned s_counter;

static const wchar_t kSettings[] = L"Software\\Korvath\\Veltrana";

void BeginScratchUserKey() {
    // The real HKEY_CURRENT_USER of the prefix holds the scratch keys, one per test.
    swprintf(s_scratchPath, 96, L"Software\\VeltranaTests\\%lu-%u", GetCurrentProcessId(), ++s_counter);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, s_scratchPath, 0, NULL, 0, KEY_ALL_ACCESS,
                                             NULL, &s_scratchKey, NULL));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, s_scratchKey));
}

void EndScratchUserKey() {
    RegOverridePredefKey(HKEY_CURRENT_USER, NULL);
    if (s_scratchKey) {
        RegCloseKey(s_scratchKey);
        s_scratchKey = NULL;
        RegDeleteTreeW(HKEY_CURRENT_USER, s_scratchPath);
    }
}

bool SettingsKeyExists() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void PutSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

void PutSettingDword(const wchar_t* name, DWORD value) {
    PutSettingValue(name, REG_DWORD, &value, 4);
}

void PutSettingString(const wchar_t* name, const wchar_t* text) {
    PutSettingValue(name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * 2));
}

bool GetSettingValue(const wchar_t* name, DWORD* type, void* data, DWORD* size) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG r = RegQueryValueExW(key, name, NULL, type, static_cast<BYTE*>(data), size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool GetSettingDword(const wchar_t* name, DWORD* value) {
    DWORD type = 0, size = 4;
    return GetSettingValue(name, &type, value, &size) && type == REG_DWORD && size == 4;
}

bool SettingValueExists(const wchar_t* name) {
    DWORD type = 0, size = 0;
    return GetSettingValue(name, &type, NULL, &size);
}
