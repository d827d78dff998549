#include "resources/localized.h"

#include "resources/language_choice.h"
#include "resources/string_cache.h"
#include "resources/string_block.h"

LANGID g_preferredLanguage = 0;
CachedString* g_stringCache = NULL;
DWORD g_stringCacheCount = 0;

// Highest string id whose block number, (id >> 4) + 1, still fits in 16 bits.
static const UINT kLastStringId = 0xFFFEF;

static BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    return AddToLanguageSet(reinterpret_cast<LanguageSet*>(param), language);
}

LANGID ChooseResourceLanguage(HMODULE module, LPCWSTR type, LPCWSTR name) {
    LanguageSet set;
    set.count = 0;
    // A resource in 1024 or more languages stops the enumeration, which then reports failure:
    // such a set is incomplete, and no choice is made from it.
    if (!EnumResourceLanguagesW(module, type, name, CollectLanguage, reinterpret_cast<LONG_PTR>(&set)) ||
        set.count == 0)
        return 0;
    return ChooseFromLanguageSet(&set, g_preferredLanguage, GetUserDefaultLangID(), GetSystemDefaultLangID());
}

LocalizedResource FindLocalizedResource(HMODULE module, LPCWSTR type, LPCWSTR name) {
    LocalizedResource found = {NULL, 0, 0};
    found.language = ChooseResourceLanguage(module, type, name);
    if (found.language == 0)
        return found;
    HRSRC info = FindResourceExW(module, type, name, found.language);
    if (!info)
        return found;
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded)
        return found;
    found.data = LockResource(loaded);
    if (found.data)
        found.size = SizeofResource(module, info);
    return found;
}

HMENU LoadLocalizedMenu(UINT id) {
    LocalizedResource menu = FindLocalizedResource(GetModuleHandleW(NULL), RT_MENU, MAKEINTRESOURCEW(id));
    if (!menu.data)
        return NULL;
    return LoadMenuIndirectW(menu.data);
}

// String `id` of the module's string table in the language chosen now: its units in the
// module's read-only bytes, not terminated and not necessarily aligned.
static bool FindLocalizedString(HMODULE module, UINT id, const void** units, uint32_t* length) {
    if (id > kLastStringId)
        return false;
    LocalizedResource block =
        FindLocalizedResource(module, RT_STRING, MAKEINTRESOURCEW(static_cast<WORD>((id >> 4) + 1)));
    return block.data && FindStringInBlock(block.data, block.size, id & 15, units, length);
}

bool CopyLocalizedString(UINT id, wchar_t* text, UINT units) {
    const void* found = NULL;
    uint32_t length = 0;
    if (!units)
        return false;
    bool present = FindLocalizedString(GetModuleHandleW(NULL), id, &found, &length);
    if (!present)
        length = 0;
    else if (length >= units)
        length = units - 1;
    if (length)
        CopyMemory(text, found, length * sizeof(wchar_t));
    text[length] = 0;
    return present;
}

const wchar_t* LoadLocalizedString(UINT id) {
    HMODULE module = GetModuleHandleW(NULL);
    // Newest first: the strings loaded last are the ones most likely asked for again.
    for (DWORD i = g_stringCacheCount; i-- > 0;) {
        if (g_stringCache[i].id == id && g_stringCache[i].module == module)
            return g_stringCache[i].text;
    }

    const void* units;
    uint32_t length;
    if (!FindLocalizedString(module, id, &units, &length))
        return NULL;

    HANDLE heap = GetProcessHeap();
    wchar_t* text = static_cast<wchar_t*>(HeapAlloc(heap, 0, length * sizeof(wchar_t) + sizeof(wchar_t)));
    if (!text)
        return NULL;
    CopyMemory(text, units, length * sizeof(wchar_t));
    text[length] = 0;

    if (!g_stringCache) {
        g_stringCache = static_cast<CachedString*>(HeapAlloc(heap, 0, sizeof(CachedString)));
    } else if (g_stringCacheCount == HeapSize(heap, 0, g_stringCache) / sizeof(CachedString)) {
        SIZE_T bytes = HeapSize(heap, 0, g_stringCache) * 2;
        void* grown = HeapReAlloc(heap, 0, g_stringCache, bytes);
        if (!grown) {
            HeapFree(heap, 0, text);
            return NULL;
        }
        g_stringCache = static_cast<CachedString*>(grown);
    }
    if (!g_stringCache) {
        HeapFree(heap, 0, text);
        return NULL;
    }
    g_stringCache[g_stringCacheCount].id = id;
    g_stringCache[g_stringCacheCount].module = module;
    g_stringCache[g_stringCacheCount].text = text;
    ++g_stringCacheCount;
    return text;
}
