// The cache behind LoadLocalizedString. Only the string loader uses it; its tests look into it.
#ifndef VELTRANA_STRING_CACHE_H
#define VELTRANA_STRING_CACHE_H

#include <windows.h>

// The string cache: a process-heap array that only grows. Its capacity is the block's
// HeapSize divided by the entry size; it doubles when full.
struct CachedString {
    UINT id;
    HMODULE module;
    wchar_t* text;
};
extern CachedString* g_stringCache; // null until the first string is loaded
extern DWORD g_stringCacheCount;

#endif
