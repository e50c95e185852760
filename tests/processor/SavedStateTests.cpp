#include "state/StateFraming.h"
#include "helpers/TestHelpers.h"
#include "state/SavedState.h"
#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

using testutil::getPlain;
using testutil::setPlain;

namespace
{

const auto& ids = halvora::parameterIDs;

juce::MemoryBlock save (HalvoraAudioProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

juce::MemoryBlock frame (const juce::String& xmlText)
{
    auto xml = juce::parseXML (xmlText);
    juce::MemoryBlock block;
    juce::AudioProcessor::copyXmlToBinary (*xml, block);
    return block;
}

void restore (HalvoraAudioProcessor& processor, const juce::MemoryBlock& block)
{
    processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
}

std::vector<float> allPlain (HalvoraAudioProcessor& processor)
{
    std::vector<float> values;
    for (auto* id : ids)
        values.push_back (getPlain (processor, id));
    return values;
}

const std::string handDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string gainAndKey = "<PARAM id=\"gain\" value=\"6\"/><PARAM id=\"key\" value=\"3\"/>";

/** Every parameter off its default. */
void changeEverything (HalvoraAudioProcessor& processor)
{
    const float values[] { 0.25f, -6.5f, 7.125f, 40.0f, 12.5f, 60.0f, 0.9f, 3.0f, 1.0f, 9.0f, 2.0f };
    for (size_t i = 0; i < std::size (ids); ++i)
        setPlain (processor, ids[i], values[i]);
}

} // namespace

TEST (SavedState, DefaultDocumentHasElevenChildrenInIdByteOrder)
{
    HalvoraAudioProcessor processor;
    const auto block = save (processor);

    ASSERT_GE (block.getSize(), 9u);
    const auto* bytes = static_cast<const juce::uint8*> (block.getData());
    EXPECT_EQ (bytes[0], 0x56);
    EXPECT_EQ (bytes[1], 0x43);
    EXPECT_EQ (bytes[2], 0x32);
    EXPECT_EQ (bytes[3], 0x21);
    const auto length = juce::ByteOrder::littleEndianInt (bytes + 4);
    EXPECT_EQ (length, block.getSize() - 9);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    const juce::String text (juce::CharPointer_UTF8 (reinterpret_cast<const char*> (bytes + 8)), length);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_FALSE (text.containsChar ('\n'));

    auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PARAMS");
    EXPECT_EQ (xml->getNumAttributes(), 0);

    const std::pair<const char*, double> expected[] {
        { halvora::ParamID::delayMix, 0.0 },
        { halvora::ParamID::formant, 0.0 },
        { halvora::ParamID::gain, 0.0 },
        { halvora::ParamID::key, 0.0 },
        { halvora::ParamID::morvel, 0.5 },
        { halvora::ParamID::range, 0.0 },
        { halvora::ParamID::reverbMix, 0.0 },
        { halvora::ParamID::scale, 0.0 },
        { halvora::ParamID::vibDepth, 0.0 },
        { halvora::ParamID::vibRate, 5.0 },
        { halvora::ParamID::voice, 0.0 },
    };

    ASSERT_EQ (xml->getNumChildElements(), 11);
    for (int i = 0; i < 11; ++i)
    {
        auto* child = xml->getChildElement (i);
        EXPECT_EQ (child->getTagName(), "PARAM");
        EXPECT_EQ (child->getAttributeName (0), "id");
        EXPECT_EQ (child->getAttributeName (1), "value");
        EXPECT_EQ (child->getStringAttribute ("id"), expected[i].first);
        EXPECT_EQ (child->getDoubleAttribute ("value"), expected[i].second);
    }
}

TEST (SavedState, RoundTripOfEveryParameter)
{
    HalvoraAudioProcessor processor;
    changeEverything (processor);
    const auto saved = save (processor);
    const auto expected = allPlain (processor);

    HalvoraAudioProcessor other;
    restore (other, saved);
    EXPECT_EQ (allPlain (other), expected);

    // And back again on the same instance after changing everything.
    for (auto* id : ids)
        testutil::param (processor, id).setValueNotifyingHost (0.0f);
    restore (processor, saved);
    EXPECT_EQ (allPlain (processor), expected);
}

TEST (SavedState, ForeignRootNameIsKeptAndStillRestores)
{
    HalvoraAudioProcessor processor;
    restore (processor, frame ("<STATE extra=\"1\"><PARAM id=\"gain\" value=\"-3\"/><PARAM id=\"key\" value=\"2\"/>"
                               "<OTHER x=\"y\"/></STATE>"));
    EXPECT_FLOAT_EQ (getPlain (processor, halvora::ParamID::gain), -3.0f);
    EXPECT_EQ (processor.apvts.getRawParameterValue (halvora::ParamID::key)->load(), 2.0f);

    auto xml = juce::AudioProcessor::getXmlFromBinary (save (processor).getData(), static_cast<int> (save (processor).getSize()));
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "STATE");
}

TEST (SavedState, WhatNamesNoParameterIsNotCarriedIntoTheNextSave)
{
    // Attributes the framework's readers would give a meaning (binary blocks of a stated
    // size), elements and attributes of other programs: read past, never written again.
    HalvoraAudioProcessor processor;
    restore (processor, *halvora::StateFraming::frame ("<PARAMS base64:a=\"2000000000.AAAA\" note=\"x\">"
                                                       "<PARAM id=\"gain\" value=\"-3\" base64:value=\"-1.\" extra=\"1\"/>"
                                                       "<OTHER x=\"y\"><PARAM id=\"key\" value=\"7\"/></OTHER>"
                                                       "<PARAM id=\"mystery\" value=\"1\"/><PARAM value=\"2\"/></PARAMS>"));
    EXPECT_FLOAT_EQ (getPlain (processor, halvora::ParamID::gain), -3.0f);
    EXPECT_EQ (getPlain (processor, halvora::ParamID::key), 0.0f); // not a child of the root

    auto xml = juce::AudioProcessor::getXmlFromBinary (save (processor).getData(), static_cast<int> (save (processor).getSize()));
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getNumAttributes(), 0);
    ASSERT_EQ (xml->getNumChildElements(), 11);

    for (auto* child : xml->getChildIterator())
    {
        EXPECT_EQ (child->getTagName(), "PARAM");
        EXPECT_EQ (child->getNumAttributes(), 2);
        EXPECT_EQ (child->getNumChildElements(), 0);
    }
}

TEST (SavedState, AStateWrittenByTheFirstReleaseRestoresExactly)
{
    // Written by Halvora 0.1.0 with every parameter off its default (changeEverything).
    juce::MemoryBlock block;
    ASSERT_TRUE (juce::File (HALVORA_TEST_FIXTURES_DIR).getChildFile ("state-0.1.0-everything-changed.bin").loadFileAsData (block));

    HalvoraAudioProcessor processor;
    restore (processor, block);

    HalvoraAudioProcessor expected;
    changeEverything (expected);
    EXPECT_EQ (allPlain (processor), allPlain (expected));

    // And it is saved again byte for byte.
    EXPECT_EQ (save (processor), block);
}

struct HandEdit
{
    const char* what;
    std::string text;
};

class HandEdits : public testing::TestWithParam<HandEdit>
{
};

TEST_P (HandEdits, Restore)
{
    HalvoraAudioProcessor processor;
    restore (processor, *halvora::StateFraming::frame (GetParam().text));
    EXPECT_FLOAT_EQ (getPlain (processor, halvora::ParamID::gain), 6.0f) << GetParam().text;
    EXPECT_FLOAT_EQ (getPlain (processor, halvora::ParamID::key), 3.0f) << GetParam().text;
}

const HandEdit handEditCases[] {
    { "byteOrderMark", "\xef\xbb\xbf" + handDeclaration + "<PARAMS>" + gainAndKey + "</PARAMS>" },
    { "byteOrderMarkWithoutDeclaration", "\xef\xbb\xbf<PARAMS>" + gainAndKey + "</PARAMS>" },
    { "ampersandInComment", handDeclaration + "<!-- gain & key, <tuned> -- by ear --><PARAMS><!-- A&B -->" + gainAndKey + "</PARAMS>" },
    { "ampersandInCdata", handDeclaration + "<PARAMS><![CDATA[ a & b < c ]]>" + gainAndKey + "</PARAMS>" },
    { "commentAfterRoot", handDeclaration + "<PARAMS>" + gainAndKey + "</PARAMS>\n<!-- saved by hand -->\n" },
    { "linesAndIndents", handDeclaration + "\n<PARAMS>\n  <PARAM id = 'gain'\tvalue='6' />\n"
                                           "  <PARAM id=\"key\" value=\" 3\"></PARAM >\n</PARAMS >\n" },
    { "references", "<PARAMS><PARAM id=\"g&#97;in\" value=\"&#x36;\"/><PARAM id=\"key\" value=\"3\"/></PARAMS>" },
    { "documentType", "<!DOCTYPE PARAMS SYSTEM \"state.dtd\"><PARAMS>" + gainAndKey + "</PARAMS>" },
    { "textBetweenChildren", "<PARAMS>gain &amp; key: " + gainAndKey + " done</PARAMS>" },
};

INSTANTIATE_TEST_SUITE_P (Table, HandEdits, testing::ValuesIn (handEditCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

TEST (SavedState, PartialDocumentChangesOnlyWhatItNames)
{
    HalvoraAudioProcessor processor;
    changeEverything (processor);
    auto before = allPlain (processor);

    restore (processor, frame ("<PARAMS><PARAM id=\"gain\" value=\"6\"/></PARAMS>"));
    before[1] = 6.0f;
    EXPECT_EQ (allPlain (processor), before);

    auto xml = juce::parseXML (juce::String (juce::CharPointer_UTF8 (static_cast<const char*> (save (processor).getData()) + 8)));
    ASSERT_NE (xml, nullptr);
    ASSERT_EQ (xml->getNumChildElements(), 11);
    EXPECT_EQ (xml->getChildElement (0)->getStringAttribute ("id"), halvora::ParamID::gain);
}

struct RestoreCase
{
    const char* xml;
    const char* id;
    float expected;
};

class RestoreClamping : public testing::TestWithParam<RestoreCase>
{
};

TEST_P (RestoreClamping, ValuesAreClampedAndSnapped)
{
    HalvoraAudioProcessor processor;
    setPlain (processor, halvora::ParamID::gain, 5.0f);
    setPlain (processor, halvora::ParamID::morvel, 0.9f);
    restore (processor, frame (GetParam().xml));
    EXPECT_NEAR (processor.apvts.getRawParameterValue (GetParam().id)->load(), GetParam().expected, 1.0e-5f) << GetParam().xml;
}

const RestoreCase clampingCases[] {
    { "<PARAMS><PARAM id=\"gain\" value=\"100\"/></PARAMS>", halvora::ParamID::gain, 24.0f },
    { "<PARAMS><PARAM id=\"gain\" value=\"-1e308\"/></PARAMS>", halvora::ParamID::gain, -24.0f },
    { "<PARAMS><PARAM id=\"gain\" value=\"3.004\"/></PARAMS>", halvora::ParamID::gain, 3.0f },
    { "<PARAMS><PARAM id=\"key\" value=\"6.4\"/></PARAMS>", halvora::ParamID::key, 6.0f },
    { "<PARAMS><PARAM id=\"scale\" value=\"99\"/></PARAMS>", halvora::ParamID::scale, 4.0f },
    { "<PARAMS><PARAM id=\"gain\"/></PARAMS>", halvora::ParamID::gain, 0.0f }, // no value: default
    { "<PARAMS><PARAM id=\"morvel\"/></PARAMS>", halvora::ParamID::morvel, 0.5f },
    { "<PARAMS><PARAM id=\"gain\" value=\"loud\"/></PARAMS>", halvora::ParamID::gain, 0.0f },                              // not a number reads 0
    { "<PARAMS><PARAM id=\"gain\" value=\"2\"/><PARAM id=\"gain\" value=\"4\"/></PARAMS>", halvora::ParamID::gain, 5.0f }, // named twice: refused
    { "<PARAMS><PARAM id=\"gain\" value=\"1e308\"/></PARAMS>", halvora::ParamID::gain, 24.0f },
    { "<PARAMS><PARAM id=\"gain\" value=\"nan\"/></PARAMS>", halvora::ParamID::gain, 0.0f }, // NaN reads as 0
    { "<PARAMS><PARAM id=\"vibRate\" value=\"NaN\"/></PARAMS>", halvora::ParamID::vibRate, 0.1f },
    { "<PARAMS><PARAM id=\"key\" value=\"-1e999\"/></PARAMS>", halvora::ParamID::key, 0.0f },
};

INSTANTIATE_TEST_SUITE_P (Table, RestoreClamping, testing::ValuesIn (clampingCases));

struct IgnoredBlock
{
    const char* what;
    std::vector<juce::uint8> bytes;
};

class IgnoredBlocks : public testing::TestWithParam<IgnoredBlock>
{
};

TEST_P (IgnoredBlocks, ChangeNothing)
{
    HalvoraAudioProcessor processor;
    changeEverything (processor);
    const auto before = allPlain (processor);
    const auto& bytes = GetParam().bytes;
    processor.setStateInformation (bytes.data(), static_cast<int> (bytes.size()));
    EXPECT_EQ (allPlain (processor), before);
}

namespace
{
std::vector<juce::uint8> framed (juce::int32 length, const std::string& text, juce::uint32 magic = halvora::StateFraming::magic)
{
    juce::MemoryOutputStream out;
    out.writeInt (static_cast<int> (magic));
    out.writeInt (length);
    out.write (text.data(), text.size());
    out.writeByte (0);

    const auto* data = static_cast<const juce::uint8*> (out.getData());
    return { data, data + out.getDataSize() };
}

/** The whole text framed, its terminating zero counted in the length. */
std::vector<juce::uint8> whole (const std::string& text)
{
    return framed (static_cast<juce::int32> (text.size() + 1), text);
}

const std::string gainSix = "<PARAMS><PARAM id=\"gain\" value=\"6\"/></PARAMS>";
}

const IgnoredBlock ignoredBlocks[] {
    { "empty", {} },
    { "eightBytes", std::vector<juce::uint8> (8, 0x56) },
    { "wrongMagic", framed ((juce::int32) gainSix.size(), gainSix, 0x12345678) },
    { "lengthZero", framed (0, gainSix) },
    { "lengthNegative", framed (-5, gainSix) },
    { "cutInsideTheXml", framed (3, gainSix) },
    { "notXml", framed (14, "not xml at all") },
    { "brokenTag", framed (2, "<<") },
    { "invalidUtf8", framed (30, "<PARAMS><PARAM id=\"gain\" v\xfe\xff\xff\xf2") },
    { "processingInstructionInContent", framed (40, "<PARAMS><?x?>text<PARAM id=\"gain\"/></PARAMS>") },
    { "attributeTwice", whole ("<PARAMS><PARAM id=\"gain\" value=\"3.0\" value=\"-5\"/></PARAMS>") },
    { "parameterTwice", whole ("<PARAMS><PARAM id=\"gain\" value=\"3\"/><PARAM id=\"gain\" value=\"-5\"/></PARAMS>") },
    { "endTagMismatch", whole ("<PARAMS><PARAM id=\"gain\" value=\"6\"></PARAMX></PARAMS>") },
    { "textAfterRoot", whole ("<PARAMS><PARAM id=\"gain\" value=\"6\"/></PARAMS>junk") },
    { "secondRoot", whole ("<PARAMS><PARAM id=\"gain\" value=\"6\"/></PARAMS><PARAMS/>") },
    { "leadBytesWithoutContinuation", framed (0x7fffffff, "<STATE><PARAM id=\"key\" value=\"3\"/></STA\xcc\xcc\xcc\xccTE>") },
};

INSTANTIATE_TEST_SUITE_P (Table, IgnoredBlocks, testing::ValuesIn (ignoredBlocks),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

TEST (SavedState, LengthLargerThanTheBlockIsCutToTheBytesPresent)
{
    HalvoraAudioProcessor processor;
    const auto bytes = framed (1 << 30, gainSix);
    processor.setStateInformation (bytes.data(), static_cast<int> (bytes.size()));
    EXPECT_FLOAT_EQ (getPlain (processor, halvora::ParamID::gain), 6.0f);
}

TEST (SavedState, SaveAndRestoreLeaveMvTargetAlone)
{
    HalvoraAudioProcessor processor;
    processor.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::scaleButton);
    const auto block = save (processor);
    EXPECT_FALSE (block.toString().contains ("Mv"));

    HalvoraAudioProcessor other;
    restore (other, block);
    EXPECT_EQ (other.getActiveMvTarget(), HalvoraAudioProcessor::MvTarget::none);

    restore (processor, frame ("<PARAMS/>"));
    EXPECT_EQ (processor.getActiveMvTarget(), HalvoraAudioProcessor::MvTarget::scaleButton);
}
