// Walking one string-table block: sixteen counted UTF-16 strings without terminators.
// No Windows headers, so the walk is tested natively against malformed blocks too.
#ifndef VELTRANA_STRING_BLOCK_H
#define VELTRANA_STRING_BLOCK_H

#include <stdint.h>

enum { kStringsPerBlock = 16 };

// Finds string number `index` (0..15) of a block of `blockBytes` bytes. Returns false when the
// slot is empty or the block ends before the string does; otherwise points *text at its first
// unit and sets *length in units. The text is neither terminated nor necessarily 2-byte
// aligned: copy it with memcpy.
bool FindStringInBlock(const void* block, uint32_t blockBytes, unsigned index, const void** text,
                       uint32_t* length);

#endif
