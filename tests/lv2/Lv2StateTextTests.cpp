// The state an LV2 host keeps: the text of Halvora's state document as the processor saves
// it, back through the processor's own restore; and the first bundle's base64 string,
// still read.

#include "helpers/TestHelpers.h"
#include "lv2/Lv2StateText.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
namespace StateText = halvora::lv2::Lv2StateText;

TEST (Lv2StateText, IsTheTextInsideTheProcessorsSavedBlock)
{
    HalvoraAudioProcessor processor;
    testutil::setPlain (processor, "gain", -7.5f);
    testutil::setPlain (processor, "scale", 3.0f);
    juce::MemoryBlock block;
    processor.getStateInformation (block);

    const auto text = StateText::textOf (block);
    EXPECT_EQ (text.rfind ("<?xml", 0), 0u);
    EXPECT_NE (text.find ("<PARAM id=\"gain\" value=\"-7.5\"/>"), std::string::npos);
    EXPECT_EQ (text.find ('\0'), std::string::npos);
    EXPECT_EQ (text.size() + 9, block.getSize());
    EXPECT_EQ (StateText::textOf (juce::MemoryBlock (8, true)), "");
}

TEST (Lv2StateText, RestoresThroughTheProcessor)
{
    HalvoraAudioProcessor saved;
    testutil::setPlain (saved, "delayMix", 35.5f);
    testutil::setPlain (saved, "range", 2.0f);
    juce::MemoryBlock savedBlock;
    saved.getStateInformation (savedBlock);
    const auto text = StateText::textOf (savedBlock);

    for (const auto& stored : { text, text + std::string (1, '\0'), text + std::string (3, '\0') })
    {
        const auto block = StateText::frame (stored.data(), stored.size());
        ASSERT_TRUE (block.has_value());

        HalvoraAudioProcessor restored;
        restored.setStateInformation (block->getData(), static_cast<int> (block->getSize()));
        EXPECT_EQ (testutil::getPlain (restored, "delayMix"), 35.5f);
        EXPECT_EQ (testutil::getPlain (restored, "range"), 2.0f);
    }
}

TEST (Lv2StateText, NothingToFrameIsNoState)
{
    EXPECT_FALSE (StateText::frame (nullptr, 4).has_value());
    EXPECT_FALSE (StateText::frame ("", 0).has_value());
    EXPECT_FALSE (StateText::frame ("\0\0", 2).has_value());
}

TEST (Lv2StateText, ReadsTheFirstBundlesBase64State)
{
    HalvoraAudioProcessor saved;
    testutil::setPlain (saved, "vibDepth", 42.0f);
    juce::MemoryBlock block;
    saved.getStateInformation (block);
    const auto legacy = block.toBase64Encoding().toStdString();

    const auto decoded = StateText::decodeLegacy (legacy.c_str(), legacy.size() + 1);
    ASSERT_TRUE (decoded.has_value());
    EXPECT_EQ (decoded->getSize(), block.getSize());
    EXPECT_EQ (std::memcmp (decoded->getData(), block.getData(), block.getSize()), 0);

    EXPECT_FALSE (StateText::decodeLegacy ("-1.AAAA", 7).has_value());
    EXPECT_FALSE (StateText::decodeLegacy ("2000000000.A", 12).has_value());
}

} // namespace
