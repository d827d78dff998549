#include "resources/string_block.h"

#include <string.h>

bool FindStringInBlock(const void* block, uint32_t blockBytes, unsigned index, const void** text,
                       uint32_t* length) {
    if (index >= kStringsPerBlock)
        return false;
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    // Every step checks against the block's size: a truncated or corrupt block must not make
    // the walk read past the resource.
    uint32_t offset = 0;
    for (unsigned slot = 0;; ++slot) {
        if (blockBytes - offset < sizeof(uint16_t))
            return false;
        uint16_t units;
        memcpy(&units, bytes + offset, sizeof(units)); // the block need not be aligned
        offset += sizeof(units);
        uint32_t stringBytes = uint32_t(units) * sizeof(uint16_t);
        if (blockBytes - offset < stringBytes)
            return false;
        if (slot == index) {
            if (units == 0)
                return false;
            *text = bytes + offset;
            *length = units;
            return true;
        }
        offset += stringBytes;
    }
}
