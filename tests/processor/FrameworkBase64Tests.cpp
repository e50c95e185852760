// The framework's base64 decoder (MemoryBlock::fromBase64Encoding), which its LV2 wrapper
// and the standalone app's settings run on saved text before Halvora sees a byte: the size
// before the dot is believed only when it matches the characters after it, so a few
// characters cannot ask for gigabytes. Runs under the hostile binary's address-space limit.

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cstring>

namespace
{
juce::MemoryBlock randomBytes (size_t size)
{
    juce::Random random (static_cast<juce::int64> (size) + 1);
    juce::MemoryBlock block (size);

    for (size_t i = 0; i < size; ++i)
        block[i] = static_cast<char> (random.nextInt (256));

    return block;
}
} // namespace

TEST (FrameworkBase64, WhatItWritesReadsBackTheSame)
{
    for (const size_t size : std::initializer_list<size_t> { 0, 1, 2, 3, 4, 5, 6, 7, 64, 1000, 65537 })
    {
        const auto bytes = randomBytes (size);
        juce::MemoryBlock decoded;
        ASSERT_TRUE (decoded.fromBase64Encoding (bytes.toBase64Encoding())) << size;
        // Compared by hand: the framework's operator== hands an empty block's null data to memcmp.
        ASSERT_EQ (decoded.getSize(), size);
        EXPECT_TRUE (size == 0 || std::memcmp (decoded.getData(), bytes.getData(), size) == 0) << size;
    }
}

TEST (FrameworkBase64, WhitespaceBetweenTheCharactersIsSkipped)
{
    const auto bytes = randomBytes (100);
    auto text = bytes.toBase64Encoding();
    text = text.substring (0, 20) + "\n  " + text.substring (20, 90) + "\r\n\t" + text.substring (90) + "\n";

    juce::MemoryBlock decoded;
    ASSERT_TRUE (decoded.fromBase64Encoding (text));
    EXPECT_EQ (decoded, bytes);
}

TEST (FrameworkBase64, ASizeThatDoesNotMatchTheTextIsRefusedWithoutAllocating)
{
    const auto valid = randomBytes (10).toBase64Encoding(); // "10." and 14 characters
    const auto characters = valid.fromFirstOccurrenceOf (".", false, false);

    for (const auto* text : { "-1.AAAA", "-0.", "4294967295.AAAA", "2000000000.", "2000000000.A", "18446744073709551615.AAAA",
                              "18446744073709551617.AAAA", "99999999999999999999999999.", "1.", "0.A", "3.AAA", "3.AAAAA",
                              " 3.AAAA", "+3.AAAA", "3 .AAAA", "0x3.AAAA", "3e0.AAAA", ".AAAA", "AAAA", "", "." })
    {
        juce::MemoryBlock block ("kept", 4);
        EXPECT_FALSE (block.fromBase64Encoding (text)) << text;
        EXPECT_EQ (block, juce::MemoryBlock ("kept", 4)) << text;
    }

    for (const auto& text : { "9." + characters, "11." + characters, "10." + characters.dropLastCharacters (1),
                              "10." + characters + "A", "10." + characters.replaceSection (5, 1, "-"),
                              "10." + characters.replaceSection (5, 1, "="),
                              "10." + characters.replaceSection (5, 1, juce::String::charToString (0x263a)) })
    {
        juce::MemoryBlock block;
        EXPECT_FALSE (block.fromBase64Encoding (text)) << text;
    }
}
