// The one framing of a saved state: what the processor writes is byte for byte what the
// framework's copyXmlToBinary writes, and a block is read back by the rules of a restore.

#include "helpers/TestHelpers.h"
#include "state/StateFraming.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace StateFraming = halvora::StateFraming;

namespace
{
std::vector<juce::uint8> bytesOf (const juce::MemoryBlock& block)
{
    const auto* data = static_cast<const juce::uint8*> (block.getData());
    return { data, data + block.getSize() };
}

std::vector<juce::uint8> copiedByTheFramework (const juce::XmlElement& xml)
{
    juce::MemoryBlock block;
    juce::AudioProcessor::copyXmlToBinary (xml, block);
    return bytesOf (block);
}

std::vector<juce::uint8> framedHere (const juce::XmlElement& xml)
{
    juce::MemoryOutputStream text;
    xml.writeTo (text, juce::XmlElement::TextFormat().singleLine());
    const auto block = StateFraming::frame ({ static_cast<const char*> (text.getData()), text.getDataSize() });
    return block ? bytesOf (*block) : std::vector<juce::uint8> {};
}
} // namespace

TEST (StateFraming, FramesAShortTextByHand)
{
    const auto block = StateFraming::frame ("<a/>");
    ASSERT_TRUE (block.has_value());

    // "VC2!", the length 4 little-endian, the text, a zero byte.
    const std::vector<juce::uint8> expected { 0x56, 0x43, 0x32, 0x21, 4, 0, 0, 0, '<', 'a', '/', '>', 0 };
    EXPECT_EQ (bytesOf (*block), expected);
}

TEST (StateFraming, WritesTheBytesTheFrameworkWrites)
{
    juce::XmlElement plain ("PARAMS");
    auto* child = plain.createNewChildElement ("PARAM");
    child->setAttribute ("id", "gain");
    child->setAttribute ("value", -7.5);

    // Characters the writer escapes, and text outside ASCII.
    juce::XmlElement escaped ("STATE");
    escaped.setAttribute ("note", juce::String::fromUTF8 ("<caf\xc3\xa9> & \"\xe2\x82\xac\"\n"));
    escaped.addTextElement ("a < b");

    const juce::XmlElement empty ("EMPTY");

    for (const auto* xml : std::initializer_list<const juce::XmlElement*> { &plain, &escaped, &empty })
        EXPECT_EQ (framedHere (*xml), copiedByTheFramework (*xml)) << xml->getTagName();
}

TEST (StateFraming, TheProcessorSavesWhatTheFrameworkWouldWrite)
{
    HalvoraAudioProcessor processor;
    testutil::setPlain (processor, "gain", -7.5f);
    testutil::setPlain (processor, "key", 3.0f);

    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    EXPECT_EQ (bytesOf (saved), copiedByTheFramework (*processor.apvts.copyState().createXml()));
}

struct UnframeCase
{
    const char* what;
    std::vector<juce::uint8> bytes;
    std::optional<std::string> text;
};

void PrintTo (const UnframeCase& c, std::ostream* os) { *os << c.what; }

namespace
{
std::vector<juce::uint8> block (juce::uint32 magic, juce::uint32 length, const std::string& text)
{
    std::vector<juce::uint8> bytes;

    for (auto value : { magic, length })
        for (int i = 0; i < 4; ++i)
            bytes.push_back (static_cast<juce::uint8> (value >> (8 * i)));

    bytes.insert (bytes.end(), text.begin(), text.end());
    return bytes;
}

constexpr juce::uint32 magic = 0x21324356;

const UnframeCase unframeCases[] {
    { "lengthWithoutTheZero", block (magic, 4, std::string ("<a/>\0", 5)), "<a/>" },
    { "lengthWithTheZero", block (magic, 5, std::string ("<a/>\0", 5)), "<a/>" },
    { "noClosingZero", block (magic, 4, "<a/>"), "<a/>" },
    { "lengthCutsTheText", block (magic, 2, "<a/>"), "<a" },
    { "lengthBeyondTheBytes", block (magic, 1000, "<a/>"), "<a/>" },
    { "zeroInsideEndsTheText", block (magic, 8, std::string ("<a/>\0<b>", 8)), "<a/>" },
    { "oneByteOfText", block (magic, 1, "x"), "x" },
    { "onlyTheHeader", block (magic, 4, ""), std::nullopt },
    { "wrongMagic", block (0x21324357, 4, "<a/>"), std::nullopt },
    { "bigEndianMagic", block (0x56433221, 4, "<a/>"), std::nullopt },
    { "lengthZero", block (magic, 0, "<a/>"), std::nullopt },
    { "lengthNegative", block (magic, 0xfffffffb, "<a/>"), std::nullopt },
    { "empty", {}, std::nullopt },
};
} // namespace

class UnframeCases : public testing::TestWithParam<UnframeCase>
{
};

TEST_P (UnframeCases, ReadsTheTextAsARestoreDoes)
{
    const auto& c = GetParam();
    const auto text = StateFraming::unframe (c.bytes.data(), c.bytes.size());
    ASSERT_EQ (text.has_value(), c.text.has_value());

    if (text)
    {
        EXPECT_EQ (std::string (*text), *c.text);
    }
}

INSTANTIATE_TEST_SUITE_P (Table, UnframeCases, testing::ValuesIn (unframeCases),
                          [] (const testing::TestParamInfo<UnframeCase>& testInfo) { return std::string (testInfo.param.what); });

TEST (StateFraming, NothingToUnframeIsNoText)
{
    EXPECT_FALSE (StateFraming::unframe (nullptr, 20).has_value());
}

TEST (StateFraming, UnframesWhatItFrames)
{
    const std::string text = "<PARAMS><PARAM id=\"gain\" value=\"6\"/></PARAMS>";
    const auto framed = StateFraming::frame (text);
    ASSERT_TRUE (framed.has_value());
    EXPECT_EQ (framed->getSize(), text.size() + 9);

    const auto back = StateFraming::unframe (framed->getData(), framed->getSize());
    ASSERT_TRUE (back.has_value());
    EXPECT_EQ (std::string (*back), text);
}
