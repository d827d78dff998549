#include "recording_power.h"

#include <windows.h>

#include "power/power_functions.h"

std::vector<std::string> g_schemeSwitches;

namespace {

const GUID kHighPerformance = {0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}};

DWORD WINAPI GetActive(HKEY, GUID** scheme) {
    *scheme = static_cast<GUID*>(LocalAlloc(LMEM_ZEROINIT, sizeof(GUID)));
    return 0;
}

DWORD WINAPI SetActive(HKEY, const GUID* scheme) {
    g_schemeSwitches.push_back(memcmp(scheme, &kHighPerformance, sizeof(GUID)) ? "B" : "HP");
    return 0;
}

DWORD WINAPI ReadValue(HKEY, const GUID*, const GUID*, const GUID*, DWORD* value) {
    *value = 5;
    return 0;
}

DWORD WINAPI WriteValue(HKEY, const GUID*, const GUID*, const GUID*, DWORD value) {
    g_schemeSwitches.push_back("min=" + std::to_string(value));
    return 0;
}

} // namespace

void UseRecordingPowerManager() {
    g_power = {GetActive, SetActive, WriteValue, WriteValue, ReadValue, ReadValue};
    g_schemeSwitches.clear();
}
