// Every test that touches the registry gets its own HKEY_CURRENT_USER: a scratch key made for
// it and removed after it, mapped over the real one for this process (RegOverridePredefKey).
// The helpers read and write the program's settings key inside it.
#ifndef VELTRANA_TEST_SCRATCH_REGISTRY_H
#define VELTRANA_TEST_SCRATCH_REGISTRY_H

#include <windows.h>
#include <gtest/gtest.h>

class IsolatedRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

bool SettingsKeyExists();
// How many values the settings key holds (0 without the key).
DWORD SettingValueCount();
void PutSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size);
void PutSettingDword(const wchar_t* name, DWORD value);
void PutSettingString(const wchar_t* name, const wchar_t* text);
// False when the value is absent; otherwise its type and up to *size bytes of data.
bool GetSettingValue(const wchar_t* name, DWORD* type, void* data, DWORD* size);
// The value as a REG_DWORD, or 0xDEADBEEF when it is absent or of another type or size.
DWORD StoredDword(const wchar_t* name);

#endif
