#include "BinaryData.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

namespace
{

/** The table's name hash as designed: times 31 plus each byte taken as signed, wrapping at 32 bits. */
juce::uint32 resourceHash (const char* name)
{
    juce::uint32 hash = 0;

    for (; *name != 0; ++name)
        hash = 31u * hash + static_cast<juce::uint32> (static_cast<juce::int32> (static_cast<signed char> (*name)));

    return hash;
}

struct Picture
{
    const char* name;
    const char* fileName;
    const char* data;
    int size;
    int width, height;
};

const Picture pictures[] {
    { "quillane_board_png", "quillane_board.png", BinaryData::quillane_board_png, BinaryData::quillane_board_pngSize, 1850, 1152 },
    { "gold_knobs_png", "gold_knobs.png", BinaryData::gold_knobs_png, BinaryData::gold_knobs_pngSize, 500, 500 },
};

} // namespace

class BinaryDataPictures : public testing::TestWithParam<Picture>
{
};

TEST_P (BinaryDataPictures, FoundByResourceNameWithItsFileName)
{
    const auto& picture = GetParam();
    int size = -1;

    EXPECT_EQ (BinaryData::getNamedResource (picture.name, size), picture.data);
    EXPECT_EQ (size, picture.size);
    EXPECT_GT (size, 0);
    EXPECT_STREQ (BinaryData::getNamedResourceOriginalFilename (picture.name), picture.fileName);
}

TEST_P (BinaryDataPictures, WholePngFileFromSignatureToIend)
{
    const auto& picture = GetParam();
    const auto* bytes = reinterpret_cast<const juce::uint8*> (picture.data);
    const auto size = static_cast<size_t> (picture.size);
    ASSERT_GT (size, 20u);

    const juce::uint8 signature[] { 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A };
    const juce::uint8 iend[] { 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82 };

    EXPECT_EQ (std::memcmp (bytes, signature, sizeof (signature)), 0);
    EXPECT_EQ (std::memcmp (bytes + size - sizeof (iend), iend, sizeof (iend)), 0);

    // Byte for byte the picture in the resources folder.
    juce::MemoryBlock file;
    ASSERT_TRUE (juce::File (HALVORA_RESOURCES_DIR).getChildFile (picture.fileName).loadFileAsData (file));
    EXPECT_EQ (file, juce::MemoryBlock (picture.data, size));
}

TEST_P (BinaryDataPictures, DecodesAtItsDesignedSize)
{
    const auto& picture = GetParam();
    const auto image = juce::ImageFileFormat::loadFrom (picture.data, static_cast<size_t> (picture.size));

    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), picture.width);
    EXPECT_EQ (image.getHeight(), picture.height);
}

INSTANTIATE_TEST_SUITE_P (BinaryData, BinaryDataPictures, testing::ValuesIn (pictures),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (BinaryData, TableListsBothPicturesInOrder)
{
    ASSERT_EQ (BinaryData::namedResourceListSize, 2);
    EXPECT_STREQ (BinaryData::namedResourceList[0], "quillane_board_png");
    EXPECT_STREQ (BinaryData::namedResourceList[1], "gold_knobs_png");
    EXPECT_STREQ (BinaryData::originalFilenames[0], "quillane_board.png");
    EXPECT_STREQ (BinaryData::originalFilenames[1], "gold_knobs.png");
}

TEST (BinaryData, UnknownNamesGiveNothingAndSizeZero)
{
    for (const char* name : { "gold_knobs.png", "quillane_board.png", "", "gold_knobs", "GOLD_KNOBS_PNG" })
    {
        SCOPED_TRACE (name);
        int size = 123;
        EXPECT_EQ (BinaryData::getNamedResource (name, size), nullptr);
        EXPECT_EQ (size, 0);
    }

    int size = 123;
    EXPECT_EQ (BinaryData::getNamedResource (nullptr, size), nullptr);
    EXPECT_EQ (size, 0);

    EXPECT_EQ (BinaryData::getNamedResourceOriginalFilename ("gold_knobs.png"), nullptr);
    EXPECT_EQ (BinaryData::getNamedResourceOriginalFilename (""), nullptr);
    EXPECT_EQ (BinaryData::getNamedResourceOriginalFilename ("board_png"), nullptr);
}

TEST (BinaryData, LookupRestsOnTheSignedByteHashAlone)
{
    EXPECT_EQ (resourceHash ("gold_knobs_png"), 0x93803E88u);

    // Raising one byte by 1 and lowering the next by 31 keeps the hash ("go" -> "hP").
    // The second name needs the byte 0xF3 to count as -13, not 243.
    const char* const colliding[] { "hPld_knobs_png", "k\xF3ld_knobs_png" };

    for (const auto* name : colliding)
    {
        SCOPED_TRACE (name);
        ASSERT_EQ (resourceHash (name), 0x93803E88u);

        int size = 0;
        EXPECT_EQ (BinaryData::getNamedResource (name, size), BinaryData::gold_knobs_png);
        EXPECT_EQ (size, BinaryData::gold_knobs_pngSize);

        // The file-name lookup compares whole strings, so a colliding name has none.
        EXPECT_EQ (BinaryData::getNamedResourceOriginalFilename (name), nullptr);
    }
}
