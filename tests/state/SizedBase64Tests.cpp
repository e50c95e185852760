// The size-prefixed base64 reader: everything the framework's encoder writes reads back
// byte for byte, and text whose size is not the one its characters hold is refused without
// allocating what the size asks for.

#include "state/SizedBase64.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <string>

namespace
{

std::vector<std::uint8_t> randomBytes (size_t size, juce::int64 seed)
{
    juce::Random random (seed);
    std::vector<std::uint8_t> bytes (size);

    for (auto& b : bytes)
        b = static_cast<std::uint8_t> (random.nextInt (256));

    return bytes;
}

TEST (SizedBase64, ReadsBackWhatTheFrameworkWritesForEverySize)
{
    for (size_t size : { 0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 63u, 64u, 65u, 1000u, 4097u })
    {
        const auto bytes = randomBytes (size, static_cast<juce::int64> (size) + 7);
        const juce::MemoryBlock block (bytes.data(), bytes.size());
        const auto text = block.toBase64Encoding().toStdString();

        const auto decoded = SizedBase64::decode (text);
        ASSERT_TRUE (decoded.has_value()) << text;
        EXPECT_EQ (*decoded, bytes) << "size " << size;
    }
}

TEST (SizedBase64, SkipsWhitespaceBetweenCharacters)
{
    const std::vector<std::uint8_t> bytes { 'H', 'a', 'l', 'v', 'o', 'r', 'a' };
    const auto text = juce::MemoryBlock (bytes.data(), bytes.size()).toBase64Encoding().toStdString();
    const auto wrapped = text.substr (0, 5) + "\n  " + text.substr (5, 3) + "\r\n\t" + text.substr (8);

    const auto decoded = SizedBase64::decode (wrapped);
    ASSERT_TRUE (decoded.has_value());
    EXPECT_EQ (*decoded, bytes);
}

struct RefusedCase
{
    const char* name;
    std::string text;
};

class SizedBase64Refuses : public testing::TestWithParam<RefusedCase>
{
};

TEST_P (SizedBase64Refuses, TextWhoseSizeItDoesNotHold)
{
    EXPECT_FALSE (SizedBase64::decode (GetParam().text).has_value());
}

INSTANTIATE_TEST_SUITE_P (
    Table, SizedBase64Refuses,
    testing::Values (RefusedCase { "MinusOne", "-1.AAAA" },
                     RefusedCase { "SizeMaxOf32Bits", "4294967295.AAAA" },
                     RefusedCase { "TwoBillionBytesOneCharacter", "2000000000.A" },
                     RefusedCase { "TwentyDigits", "18446744073709551617.AAAA" },
                     RefusedCase { "FewerCharactersThanTheSize", "3.AAA" },
                     RefusedCase { "MoreCharactersThanTheSize", "2.AAAA" },
                     RefusedCase { "PlusSign", "+3.AAAA" },
                     RefusedCase { "SpaceInTheSize", " 3.AAAA" },
                     RefusedCase { "CharacterOutsideTheAlphabet", "3.AA/A" },
                     RefusedCase { "ZeroByteInside", std::string ("3.AA\0A", 6) },
                     RefusedCase { "NoSize", ".AAAA" },
                     RefusedCase { "NoDot", "AAAA" },
                     RefusedCase { "Empty", "" }),
    [] (const testing::TestParamInfo<RefusedCase>& param) { return std::string (param.param.name); });

} // namespace
