#include "resources/string_block.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

// A block as the resource compiler lays it out: per slot a 16-bit length, then the units.
std::vector<unsigned char> BuildBlock(const std::vector<std::u16string>& slots) {
    std::vector<unsigned char> block;
    for (const std::u16string& text : slots) {
        uint16_t units = static_cast<uint16_t>(text.size());
        block.insert(block.end(), reinterpret_cast<unsigned char*>(&units),
                     reinterpret_cast<unsigned char*>(&units) + 2);
        block.insert(block.end(), reinterpret_cast<const unsigned char*>(text.data()),
                     reinterpret_cast<const unsigned char*>(text.data()) + text.size() * 2);
    }
    return block;
}

std::vector<std::u16string> SampleSlots() {
    std::vector<std::u16string> slots(16);
    slots[0] = u"Select EXE\u2026";
    slots[1] = u"Programs (*.exe)";
    slots[2] = u"All files (*.*)";
    slots[7] = u"x";
    slots[15] = u"Last";
    return slots;
}

// Looks a slot up in a heap copy of exactly `bytes` bytes at an odd address, so that ASan
// catches any read past the end and UBSan any misaligned 16-bit read.
bool Lookup(const std::vector<unsigned char>& block, uint32_t bytes, unsigned index, std::u16string* text) {
    std::vector<unsigned char> copy(bytes + 1);
    memcpy(copy.data() + 1, block.data(), bytes);
    const void* found = nullptr;
    uint32_t length = 0;
    if (!FindStringInBlock(copy.data() + 1, bytes, index, &found, &length))
        return false;
    const unsigned char* start = static_cast<const unsigned char*>(found);
    EXPECT_GE(start, copy.data() + 1);
    EXPECT_LE(start + length * 2, copy.data() + copy.size());
    text->resize(length);
    memcpy(&(*text)[0], found, length * 2);
    return true;
}

TEST(StringBlock, FindsEverySlotAndRejectsEmptyOnes) {
    std::vector<std::u16string> slots = SampleSlots();
    std::vector<unsigned char> block = BuildBlock(slots);
    for (unsigned index = 0; index < 16; ++index) {
        std::u16string text;
        bool found = Lookup(block, static_cast<uint32_t>(block.size()), index, &text);
        EXPECT_EQ(!slots[index].empty(), found) << index;
        if (found) {
            EXPECT_EQ(slots[index], text) << index;
        }
    }
    std::u16string text;
    EXPECT_FALSE(Lookup(block, static_cast<uint32_t>(block.size()), 16, &text));
}

TEST(StringBlock, TruncatedBlockNeverReadsPastItsEnd) {
    std::vector<std::u16string> slots = SampleSlots();
    std::vector<unsigned char> block = BuildBlock(slots);
    // The last slot's text ends with the block; every shorter size cuts something off.
    for (uint32_t bytes = 0; bytes < block.size(); ++bytes) {
        std::u16string text;
        EXPECT_FALSE(Lookup(block, bytes, 15, &text)) << bytes;
        // Slots that lie wholly inside the kept bytes are still found.
        if (bytes >= 2 + slots[0].size() * 2) {
            EXPECT_TRUE(Lookup(block, bytes, 0, &text)) << bytes;
            EXPECT_EQ(slots[0], text);
        } else {
            EXPECT_FALSE(Lookup(block, bytes, 0, &text)) << bytes;
        }
    }
}

TEST(StringBlock, LengthsPointingPastTheBlockAreRejected) {
    // A slot that claims 0xFFFF units, and a block that stops after three slots.
    std::vector<unsigned char> block = BuildBlock({u"ab", u"cd"});
    block[4 + 2] = 0xFF;
    block[4 + 3] = 0xFF;
    std::u16string text;
    EXPECT_TRUE(Lookup(block, static_cast<uint32_t>(block.size()), 0, &text));
    EXPECT_FALSE(Lookup(block, static_cast<uint32_t>(block.size()), 1, &text));
    EXPECT_FALSE(Lookup(block, static_cast<uint32_t>(block.size()), 2, &text));
    block = BuildBlock({u"ab", u"", u"cd"});
    EXPECT_FALSE(Lookup(block, static_cast<uint32_t>(block.size()), 3, &text));
}

} // namespace
