#include "settings/settings.h"

DWORD g_boostMethod = 0;
DWORD g_languageSetting = 0;
DWORD g_borders = 1;
DWORD g_colorBorder = 0x80000000;
DWORD g_colorFrequency = 0x008080FF;
DWORD g_colorActive = 0xFFFFFFFF;
DWORD g_colorShadow = 0x20000000;

const wchar_t kSettingsKeyPath[] = L"Software\\Korvath\\Veltrana";

bool OpenSettingsKeyForRead(HKEY* key) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, key) == ERROR_SUCCESS;
}

bool OpenSettingsKeyForWrite(HKEY* key) {
    return RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                           NULL, key, NULL) == ERROR_SUCCESS;
}

void LoadSettings() {
    static const struct {
        const wchar_t* name;
        DWORD* value;
    } kScalars[] = {
        {L"mode", &g_boostMethod},
        {L"language", &g_languageSetting},
        {L"borders", &g_borders},
        {L"color::border", &g_colorBorder},
        {L"color::frequency", &g_colorFrequency},
        {L"color::active", &g_colorActive},
        {L"color::shadow", &g_colorShadow},
    };
    HKEY key;
    if (!OpenSettingsKeyForRead(&key))
        return;
    for (const auto& scalar : kScalars) {
        // Any type is taken, and data shorter than 4 bytes lands on the low bytes over the
        // default. Longer data fails with ERROR_MORE_DATA and leaves the buffer undefined, so
        // the read goes to a copy that is kept only on success: such a value keeps its default.
        DWORD data = *scalar.value;
        DWORD size = sizeof(data);
        if (RegQueryValueExW(key, scalar.name, NULL, NULL, reinterpret_cast<BYTE*>(&data), &size) ==
            ERROR_SUCCESS)
            *scalar.value = data;
    }
    RegCloseKey(key);
}

void WriteSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    if (!OpenSettingsKeyForWrite(&key))
        return;
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}
