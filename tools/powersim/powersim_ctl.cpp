// powersim-ctl: presets and inspects the simulated power manager's store for scripts and tests.
// It works on the store directly, so none of its actions counts as a call of the DLL.
#include "store.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static const char kUsage[] =
    "usage: powersim-ctl COMMAND\n"
    "  reset                      defaults: every scheme, the active one, no calls, no faults\n"
    "  preset SCHEME AC DC        the minimum processor state of SCHEME (a number, or - for none);\n"
    "                             like Windows, it takes effect at the next activate\n"
    "  preset1 SCHEME AC DC       the same for efficiency class 1, the fast cores of a hybrid\n"
    "                             processor (none by default)\n"
    "  activate SCHEME            make SCHEME active and in force, as PowerSetActiveScheme does\n"
    "  remove SCHEME              delete SCHEME and its values, as on a machine without it\n"
    "  performance P0 P1 ... | -  the stand-in pdh.dll's % Processor Performance of each processor\n"
    "                             from now on (- : every processor at 100); a collection averages\n"
    "                             the values in force since the one before\n"
    "  performance-jitter on|off  on: each collection moves every value by 0.5, up and down in turn\n"
    "  nodes N0 N1 ... | -        the NUMA node of each processor, which names its counter instance\n"
    "                             \"N,K\" (- : every processor in node 0)\n"
    "  fail FUNCTION CODE         make FUNCTION fail with CODE (0 clears the fault)\n"
    "  missing-read CODE          what reads of a scheme that does not exist return (0: 2)\n"
    "  installed N | -            CallNtPowerInformation stands for N installed processors\n"
    "                             (- : the machine's own)\n"
    "  mode ac|dc MODE            the user's power mode of that power source, as Windows 11 keeps it\n"
    "  source ac|dc               the power source: mains (ac, the default) or battery (dc)\n"
    "  saver on|off               Battery Saver (off by default)\n"
    "  clear-fails                clear every fault\n"
    "  clear-calls                set every call count to 0\n"
    "  dump                       print the whole state\n"
    "SCHEME: balanced, high-performance, power-saver or {GUID}\n"
    "MODE: best-efficiency, balanced, best-performance or {GUID}\n";

static bool ParseScheme(const wchar_t* text, GUID* scheme) {
    for (int i = 0; i < kSchemeCount; ++i) {
        if (wcscmp(text, kSchemes[i].name) == 0) {
            *scheme = *kSchemes[i].guid;
            return true;
        }
    }
    return ParseGuid(text, scheme);
}

// A number in decimal or 0x hex; "-" (when allowed) gives none.
static bool ParseNumber(const wchar_t* text, bool allowNone, DWORD* value, bool* none) {
    if (allowNone && wcscmp(text, L"-") == 0) {
        *none = true;
        return true;
    }
    wchar_t* end;
    *value = wcstoul(text, &end, 0);
    *none = false;
    return *text && !*end;
}

static bool ParseMode(const wchar_t* text, GUID* mode) {
    for (int i = 0; i < kModeCount; ++i) {
        if (wcscmp(text, kModes[i].name) == 0) {
            *mode = *kModes[i].guid;
            return true;
        }
    }
    return ParseGuid(text, mode);
}

// "ac" or "dc", kept as the store's spelling.
static bool ParseSource(const wchar_t* text, const wchar_t** which) {
    if (wcscmp(text, L"ac") == 0 || wcscmp(text, L"dc") == 0) {
        *which = wcscmp(text, L"ac") == 0 ? L"ac" : L"dc";
        return true;
    }
    return false;
}

static bool ParseOnOff(const wchar_t* text, bool* on) {
    *on = wcscmp(text, L"on") == 0;
    return *on || wcscmp(text, L"off") == 0;
}

static bool ParseFunction(const wchar_t* text, PowerFunction* function) {
    for (int i = 0; i < kPowerFunctionCount; ++i) {
        if (wcscmp(text, kPowerFunctionNames[i]) == 0) {
            *function = static_cast<PowerFunction>(i);
            return true;
        }
    }
    return false;
}

static void PrintGuid(const GUID& guid) {
    wchar_t text[kGuidTextLength];
    FormatGuid(guid, text);
    printf(" %ls", text);
}

static void PrintIndex(const char* label, bool found, DWORD value) {
    if (found)
        printf(" %s %lu", label, static_cast<unsigned long>(value));
    else
        printf(" %s -", label);
}

static void PrintSchemeName(const GUID& scheme) {
    const wchar_t* name = SchemeName(scheme);
    printf(" %ls", name ? name : L"other");
}

static void PrintValues(HKEY store, const GUID& scheme, const GUID& subgroup, const GUID& setting) {
    DWORD ac = 0, dc = 0;
    bool hasAc = ReadIndex(store, scheme, subgroup, setting, L"ac", &ac) == ERROR_SUCCESS;
    bool hasDc = ReadIndex(store, scheme, subgroup, setting, L"dc", &dc) == ERROR_SUCCESS;
    PrintIndex("ac", hasAc, ac);
    PrintIndex("dc", hasDc, dc);
}

// The names of a key's subkeys that are GUIDs, in the registry's (sorted) order.
static int GuidSubkeys(HKEY key, GUID* guids, int capacity) {
    int count = 0;
    wchar_t name[256];
    for (DWORD i = 0; count < capacity; ++i) {
        DWORD length = 256;
        LONG result = RegEnumKeyExW(key, i, name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && ParseGuid(name, &guids[count]))
            ++count;
    }
    return count;
}

static bool SameGuid(const GUID& a, const GUID& b) {
    return memcmp(&a, &b, sizeof(GUID)) == 0;
}

static bool IsMinimumState(const GUID& subgroup, const GUID& setting) {
    return SameGuid(subgroup, kProcessorSubgroup) &&
           (SameGuid(setting, kThrottleMinimum) || SameGuid(setting, kThrottleMinimum1));
}

// Settings other than the minimum processor states of the default schemes, which the scheme and
// class1 lines show.
static void DumpOtherValues(HKEY store) {
    HKEY schemes;
    if (RegOpenKeyExW(store, L"schemes", 0, KEY_READ, &schemes) != ERROR_SUCCESS)
        return;
    GUID schemeGuids[32];
    int schemeCount = GuidSubkeys(schemes, schemeGuids, 32);
    for (int s = 0; s < schemeCount; ++s) {
        wchar_t text[kGuidTextLength];
        FormatGuid(schemeGuids[s], text);
        HKEY scheme;
        if (RegOpenKeyExW(schemes, text, 0, KEY_READ, &scheme) != ERROR_SUCCESS)
            continue;
        GUID subgroups[32];
        int subgroupCount = GuidSubkeys(scheme, subgroups, 32);
        for (int g = 0; g < subgroupCount; ++g) {
            FormatGuid(subgroups[g], text);
            HKEY subgroup;
            if (RegOpenKeyExW(scheme, text, 0, KEY_READ, &subgroup) != ERROR_SUCCESS)
                continue;
            GUID settings[64];
            int settingCount = GuidSubkeys(subgroup, settings, 64);
            for (int v = 0; v < settingCount; ++v) {
                if (IsMinimumState(subgroups[g], settings[v]) && SchemeName(schemeGuids[s]))
                    continue;
                printf("value");
                PrintGuid(schemeGuids[s]);
                PrintGuid(subgroups[g]);
                PrintGuid(settings[v]);
                PrintValues(store, schemeGuids[s], subgroups[g], settings[v]);
                printf("\n");
            }
            RegCloseKey(subgroup);
        }
        RegCloseKey(scheme);
    }
    RegCloseKey(schemes);
}

// One line per default scheme: its value of a minimum processor state, or "missing".
static void DumpSchemes(HKEY store, const char* label, const GUID& setting) {
    for (int i = 0; i < kSchemeCount; ++i) {
        printf("%s", label);
        PrintGuid(*kSchemes[i].guid);
        printf(" %ls", kSchemes[i].name);
        if (SchemeExists(store, *kSchemes[i].guid))
            PrintValues(store, *kSchemes[i].guid, kProcessorSubgroup, setting);
        else
            printf(" missing");
        printf("\n");
    }
}

// The class-1 minimum state of the scheme in force when it was activated.
static void PrintApplied1(HKEY store) {
    DWORD ac = 0, dc = 0;
    bool hasAc = ReadDwordValue(store, L"applied::ac1", &ac);
    bool hasDc = ReadDwordValue(store, L"applied::dc1", &dc);
    printf("applied1");
    PrintIndex("ac", hasAc, ac);
    PrintIndex("dc", hasDc, dc);
    printf("\n");
}

// " ac=NAME": the mode's short name, or its {GUID} when it is none of the three.
static void PrintMode(HKEY store, const wchar_t* which) {
    const GUID mode = PowerModeOf(store, which);
    const wchar_t* name = ModeName(mode);
    wchar_t text[kGuidTextLength];
    if (!name) {
        FormatGuid(mode, text);
        name = text;
    }
    printf(" %ls=%ls", which, name);
}

static void Dump(HKEY store) {
    GUID guid;
    printf("active");
    if (GetActiveScheme(store, &guid) == ERROR_SUCCESS) {
        PrintGuid(guid);
        PrintSchemeName(guid);
    } else {
        printf(" none");
    }
    printf("\n");
    DumpSchemes(store, "scheme", kThrottleMinimum);
    DumpSchemes(store, "class1", kThrottleMinimum1);
    printf("applied");
    if (ReadGuidValue(store, L"applied::scheme", &guid)) {
        PrintGuid(guid);
        PrintSchemeName(guid);
        DWORD ac = 0, dc = 0;
        bool hasAc = ReadDwordValue(store, L"applied::ac", &ac);
        bool hasDc = ReadDwordValue(store, L"applied::dc", &dc);
        PrintIndex("ac", hasAc, ac);
        PrintIndex("dc", hasDc, dc);
    } else {
        printf(" none");
    }
    printf("\n");
    PrintApplied1(store);
    for (int i = 0; i < kPowerFunctionCount; ++i)
        if (IsCounted(static_cast<PowerFunction>(i)))
            printf("calls %ls %lu\n", kPowerFunctionNames[i],
                   static_cast<unsigned long>(CallsOf(store, static_cast<PowerFunction>(i))));
    // Only the store's knobs: the environment of this tool says nothing about another process's.
    for (int i = 0; i < kPowerFunctionCount; ++i) {
        wchar_t name[64] = L"fail::";
        wcscat(name, kPowerFunctionNames[i]);
        DWORD code;
        if (!ReadDwordValue(store, name, &code))
            code = 0;
        printf("fail %ls %lu\n", kPowerFunctionNames[i], static_cast<unsigned long>(code));
    }
    printf("missing-read %lu\n", static_cast<unsigned long>(MissingReadCode(store)));
    if (DWORD installed = InstalledProcessors(store))
        printf("installed %lu\n", static_cast<unsigned long>(installed));
    else
        printf("installed -\n");
    printf("jitter %s\n", PerformanceJitter(store) ? "on" : "off");
    printf("mode");
    PrintMode(store, L"ac");
    PrintMode(store, L"dc");
    printf("\n");
    printf("source %s saver %s\n", OnBattery(store) ? "dc" : "ac", BatterySaverOn(store) ? "on" : "off");
    DumpOtherValues(store);
}

static int Fail(const char* what, DWORD error) {
    fprintf(stderr, "powersim-ctl: %s failed with error %lu\n", what, static_cast<unsigned long>(error));
    return 1;
}

static int Usage() {
    fputs(kUsage, stderr);
    return 2;
}

// preset and preset1: argv[2] the scheme, argv[3] and argv[4] its AC and DC values of the setting.
static int Preset(HKEY store, const char* what, const GUID& setting, wchar_t** argv) {
    GUID scheme;
    DWORD values[2];
    bool none[2];
    if (!ParseScheme(argv[2], &scheme) || !ParseNumber(argv[3], true, &values[0], &none[0]) ||
        !ParseNumber(argv[4], true, &values[1], &none[1]))
        return Usage();
    const wchar_t* const which[2] = {L"ac", L"dc"};
    for (int i = 0; i < 2; ++i) {
        DWORD result = none[i] ? DeleteIndex(store, scheme, kProcessorSubgroup, setting, which[i])
                               : WriteIndex(store, scheme, kProcessorSubgroup, setting, which[i], values[i]);
        if (result != ERROR_SUCCESS)
            return Fail(what, result);
    }
    return 0;
}

// The arguments from argv[2] on as one list "A B ... ", or "" for a lone "-"; false when too long.
static bool JoinList(int argc, wchar_t** argv, wchar_t* values) {
    values[0] = 0;
    if (wcscmp(argv[2], L"-") == 0)
        return true;
    for (int i = 2; i < argc; ++i) {
        if (wcslen(values) + wcslen(argv[i]) + 2 > kPerformanceText)
            return false;
        wcscat(values, argv[i]);
        wcscat(values, L" ");
    }
    return true;
}

// Runs a command that needs the open store; the store is closed by the caller.
static int RunOnStore(HKEY store, int argc, wchar_t** argv) {
    const wchar_t* command = argv[1];
    GUID scheme;
    if (wcscmp(command, L"dump") == 0 && argc == 2) {
        Dump(store);
        return 0;
    }
    if (wcscmp(command, L"preset") == 0 && argc == 5)
        return Preset(store, "preset", kThrottleMinimum, argv);
    if (wcscmp(command, L"preset1") == 0 && argc == 5)
        return Preset(store, "preset1", kThrottleMinimum1, argv);
    if (wcscmp(command, L"activate") == 0 && argc == 3) {
        if (!ParseScheme(argv[2], &scheme))
            return Usage();
        if (!SchemeExists(store, scheme))
            return Fail("activate", ERROR_FILE_NOT_FOUND);
        DWORD result = ApplyScheme(store, scheme);
        return result == ERROR_SUCCESS ? 0 : Fail("activate", result);
    }
    if (wcscmp(command, L"remove") == 0 && argc == 3) {
        if (!ParseScheme(argv[2], &scheme))
            return Usage();
        DWORD result = RemoveScheme(store, scheme);
        return result == ERROR_SUCCESS ? 0 : Fail("remove", result);
    }
    if (wcscmp(command, L"performance") == 0 && argc >= 3) {
        wchar_t values[kPerformanceText];
        if (!JoinList(argc, argv, values))
            return Usage();
        DWORD result = SetPerformance(store, values[0] ? values : NULL);
        return result == ERROR_SUCCESS ? 0 : Fail("performance", result);
    }
    if (wcscmp(command, L"performance-jitter") == 0 && argc == 3) {
        const bool on = wcscmp(argv[2], L"on") == 0;
        if (!on && wcscmp(argv[2], L"off") != 0)
            return Usage();
        DWORD result = SetPerformanceJitter(store, on);
        return result == ERROR_SUCCESS ? 0 : Fail("performance-jitter", result);
    }
    if (wcscmp(command, L"nodes") == 0 && argc >= 3) {
        wchar_t values[kPerformanceText];
        if (!JoinList(argc, argv, values))
            return Usage();
        if (!values[0])
            return RegDeleteValueW(store, L"pdh::nodes") == ERROR_SUCCESS ? 0 : Fail("nodes", 2);
        LONG result = RegSetValueExW(store, L"pdh::nodes", 0, REG_SZ, reinterpret_cast<const BYTE*>(values),
                                     static_cast<DWORD>((wcslen(values) + 1) * sizeof(wchar_t)));
        return result == ERROR_SUCCESS ? 0 : Fail("nodes", result);
    }
    if (wcscmp(command, L"fail") == 0 && argc == 4) {
        PowerFunction function;
        DWORD code;
        bool none;
        if (!ParseFunction(argv[2], &function) || !ParseNumber(argv[3], false, &code, &none))
            return Usage();
        DWORD result = SetFault(store, function, code);
        return result == ERROR_SUCCESS ? 0 : Fail("fail", result);
    }
    if (wcscmp(command, L"missing-read") == 0 && argc == 3) {
        DWORD code;
        bool none;
        if (!ParseNumber(argv[2], false, &code, &none))
            return Usage();
        DWORD result = SetMissingReadCode(store, code);
        return result == ERROR_SUCCESS ? 0 : Fail("missing-read", result);
    }
    if (wcscmp(command, L"installed") == 0 && argc == 3) {
        DWORD count = 0;
        bool none;
        if (!ParseNumber(argv[2], true, &count, &none))
            return Usage();
        DWORD result = SetInstalledProcessors(store, none ? 0 : count);
        return result == ERROR_SUCCESS ? 0 : Fail("installed", result);
    }
    if (wcscmp(command, L"mode") == 0 && argc == 4) {
        const wchar_t* which;
        GUID mode;
        if (!ParseSource(argv[2], &which) || !ParseMode(argv[3], &mode))
            return Usage();
        DWORD result = SetPowerMode(store, which, mode);
        return result == ERROR_SUCCESS ? 0 : Fail("mode", result);
    }
    if (wcscmp(command, L"source") == 0 && argc == 3) {
        const wchar_t* which;
        if (!ParseSource(argv[2], &which))
            return Usage();
        DWORD result = SetOnBattery(store, wcscmp(which, L"dc") == 0);
        return result == ERROR_SUCCESS ? 0 : Fail("source", result);
    }
    if (wcscmp(command, L"saver") == 0 && argc == 3) {
        bool on;
        if (!ParseOnOff(argv[2], &on))
            return Usage();
        DWORD result = SetBatterySaver(store, on);
        return result == ERROR_SUCCESS ? 0 : Fail("saver", result);
    }
    if (wcscmp(command, L"clear-fails") == 0 && argc == 2) {
        for (int i = 0; i < kPowerFunctionCount; ++i) {
            DWORD result = SetFault(store, static_cast<PowerFunction>(i), 0);
            if (result != ERROR_SUCCESS)
                return Fail("clear-fails", result);
        }
        return 0;
    }
    if (wcscmp(command, L"clear-calls") == 0 && argc == 2)
        return ClearCalls(store) == ERROR_SUCCESS ? 0 : Fail("clear-calls", 1);
    return Usage();
}

int wmain(int argc, wchar_t** argv) {
    // Plain "\n" line ends, so that shell scripts can compare dumps as they are.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2)
        return Usage();
    if (wcscmp(argv[1], L"reset") == 0) {
        if (argc != 2)
            return Usage();
        DWORD result = ResetStore();
        return result == ERROR_SUCCESS ? 0 : Fail("reset", result);
    }
    HKEY store;
    DWORD result = OpenStore(&store);
    if (result != ERROR_SUCCESS)
        return Fail("opening the store", result);
    int status = RunOnStore(store, argc, argv);
    CloseStore(store);
    fflush(stdout);
    return status;
}
