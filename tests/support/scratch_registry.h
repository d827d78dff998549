// Every test that touches settings gets its own HKEY_CURRENT_USER: a scratch key made for it
// and removed after it, mapped over the real one for this process with RegOverridePredefKey.
#ifndef VELTRANA_TEST_SCRATCH_REGISTRY_H
#define VELTRANA_TEST_SCRATCH_REGISTRY_H

#include <windows.h>
#include <gtest/gtest.h>

void BeginScratchUserKey();
void EndScratchUserKey();

// Value helpers on HKCU\Software\Korvath\Veltrana of the scratch user key.
bool SettingsKeyExists();
void PutSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size);
void PutSettingDword(const wchar_t* name, DWORD value);
void PutSettingString(const wchar_t* name, const wchar_t* text);
// False when the value is absent; otherwise its type and up to *size bytes of data.
bool GetSettingValue(const wchar_t* name, DWORD* type, void* data, DWORD* size);
bool GetSettingDword(const wchar_t* name, DWORD* value);
bool SettingValueExists(const wchar_t* name);

class IsolatedRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { BeginScratchUserKey(); }
    void TearDown() override { EndScratchUserKey(); }
};

#endif
