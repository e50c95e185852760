// The state an LV2 host keeps: the text of Halvora's state document, with the values the
// control ports gave, back through the processor's own restore; and the first bundle's
// base64 string, still read.

#include "helpers/TestHelpers.h"
#include "lv2/Lv2StateText.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
namespace StateText = halvora::lv2::Lv2StateText;

std::array<float, halvora::parameterIDs.size()> valuesOf (HalvoraAudioProcessor& processor)
{
    std::array<float, halvora::parameterIDs.size()> values {};

    for (size_t i = 0; i < values.size(); ++i)
        values[i] = processor.apvts.getRawParameterValue (halvora::parameterIDs[i])->load();

    return values;
}

TEST (Lv2StateText, IsTheTextTheProcessorSavesWithTheGivenValues)
{
    HalvoraAudioProcessor expected;
    testutil::setPlain (expected, "gain", -7.5f);
    testutil::setPlain (expected, "scale", 3.0f);
    juce::MemoryBlock block;
    expected.getStateInformation (block);
    const std::string expectedText (static_cast<const char*> (block.getData()) + 8, block.getSize() - 9);

    // Another processor whose parameter objects hold other values: the given ones win.
    HalvoraAudioProcessor processor;
    testutil::setPlain (processor, "gain", 20.0f);
    EXPECT_EQ (StateText::write (processor, valuesOf (expected)), expectedText);
}

TEST (Lv2StateText, RestoresThroughTheProcessor)
{
    HalvoraAudioProcessor saved;
    testutil::setPlain (saved, "delayMix", 35.5f);
    testutil::setPlain (saved, "range", 2.0f);
    const auto text = StateText::write (saved, valuesOf (saved));

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
