// Walking a string-table block: sixteen slots, each a 16-bit length and that many UTF-16 units.
#include "resources/string_block.h"

#include <gtest/gtest.h>

#include <string.h>
#include <optional>
#include <string>
#include <vector>

namespace {

// Looks slot `index` up in a heap block of exactly `bytes` bytes at an odd address, so that
// AddressSanitizer catches any read past its end and UBSan any misaligned 16-bit read.
std::optional<std::u16string> Lookup(const std::vector<unsigned char>& block, uint32_t bytes,
                                     unsigned index) {
    std::vector<unsigned char> copy(bytes + 1);
    memcpy(&copy[1], block.data(), bytes);
    const void* found = nullptr;
    uint32_t length = 0;
    if (!FindStringInBlock(&copy[1], bytes, index, &found, &length))
        return std::nullopt;
    std::u16string text(length, u'?');
    memcpy(&text[0], found, length * 2);
    return text;
}

// Every slot of the block and of every truncation of it, down to no bytes: a slot is found when
// it holds text and lies wholly inside the kept bytes. A cut inside a slot's text leaves a length
// pointing past the end.
TEST(FindStringInBlock, FindsWholeNonEmptySlotsOnly) {
    std::vector<std::u16string> slots(17); // and a 17th string after the block, never found
    const std::pair<int, const char16_t*> texts[] = {
        {0, u"Select EXE\u2026"}, {1, u"*.exe"}, {7, u"x"}, {15, u"Last"}, {16, u"extra"}};
    for (const auto& [slot, text] : texts)
        slots[slot] = text;
    std::vector<unsigned char> block;
    std::vector<size_t> ends; // where each slot ends
    for (const std::u16string& text : slots) {
        const uint16_t units = text.size();
        block.insert(block.end(), {uint8_t(units), uint8_t(units >> 8)});
        block.insert(block.end(), (const char*)text.data(), (const char*)(text.data() + units));
        ends.push_back(block.size());
    }
    for (uint32_t bytes = 0; bytes <= block.size(); ++bytes)
        for (unsigned index = 0; index <= 16; ++index) {
            const bool whole = index < 16 && !slots[index].empty() && ends[index] <= bytes;
            EXPECT_EQ(whole ? std::optional(slots[index]) : std::nullopt, Lookup(block, bytes, index))
                << "slot " << index << " of " << bytes << " bytes";
        }
    // A length of 0xFFFF units in slot 1: neither it nor the slots after it are found.
    const std::vector<unsigned char> corrupt = {2, 0, 'a', 0, 'b', 0, 0xFF, 0xFF, 'c', 0, 1, 0, 'd', 0};
    for (unsigned index = 0; index < 3; ++index)
        EXPECT_EQ(index == 0, Lookup(corrupt, corrupt.size(), index).has_value()) << "slot " << index;
}

} // namespace
