#include "helpers/TestHelpers.h"
#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

using testutil::getPlain;
using testutil::param;
using testutil::setPlain;

namespace
{

struct ContinuousRow
{
    const char* id;
    const char* name;
    float min, max, step, def;
};

const ContinuousRow continuous[] {
    { "formant", "Formant", -1.0f, 1.0f, 0.001f, 0.0f },
    { "gain", "Gain (dB)", -24.0f, 24.0f, 0.01f, 0.0f },
    { "vibRate", "Vibrato Rate (Hz)", 0.1f, 10.0f, 0.001f, 5.0f },
    { "vibDepth", "Vibrato Depth (%)", 0.0f, 100.0f, 0.01f, 0.0f },
    { "delayMix", "Delay", 0.0f, 100.0f, 0.1f, 0.0f },
    { "reverbMix", "Reverb", 0.0f, 100.0f, 0.1f, 0.0f },
    { "morvel", "Morvel", 0.0f, 1.0f, 0.001f, 0.5f },
};

struct ChoiceRow
{
    const char* id;
    const char* name;
    juce::StringArray choices;
};

const ChoiceRow choices[] {
    { "range", "Range", { "Soprano", "Alto", "Tenor", "Baritone", "Bass" } },
    { "voice", "Voice", { "Female", "Male" } },
    { "key", "Key", { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" } },
    { "scale", "Scale", { "Major", "Minor", "Dorian", "Mixolydian", "Chromatic" } },
};

} // namespace

TEST (Parameters, ElevenInRegistrationOrderWithTheirIdsAndNames)
{
    HalvoraAudioProcessor processor;
    const auto& params = processor.getParameters();
    ASSERT_EQ (params.size(), 11);

    for (int i = 0; i < 7; ++i)
    {
        auto* p = dynamic_cast<juce::AudioParameterFloat*> (params[i]);
        ASSERT_NE (p, nullptr) << i;
        EXPECT_EQ (p->getParameterID(), continuous[i].id);
        EXPECT_EQ (p->getName (100), continuous[i].name);
        EXPECT_EQ (p->getVersionHint(), 0);
        EXPECT_EQ (p->getLabel(), "");
        EXPECT_TRUE (p->isAutomatable());
        EXPECT_FALSE (p->isMetaParameter());
    }

    for (int i = 0; i < 4; ++i)
    {
        auto* p = dynamic_cast<juce::AudioParameterChoice*> (params[7 + i]);
        ASSERT_NE (p, nullptr) << i;
        EXPECT_EQ (p->getParameterID(), choices[i].id);
        EXPECT_EQ (p->getName (100), choices[i].name);
        EXPECT_EQ (p->choices, choices[i].choices);
        EXPECT_EQ (p->getIndex(), 0);
        EXPECT_EQ (static_cast<juce::AudioProcessorParameter*> (p)->getDefaultValue(), 0.0f);
    }
}

TEST (Parameters, ContinuousRangesStepsAndDefaults)
{
    HalvoraAudioProcessor processor;

    for (const auto& row : continuous)
    {
        SCOPED_TRACE (row.id);
        auto& p = dynamic_cast<juce::AudioParameterFloat&> (param (processor, row.id));
        EXPECT_EQ (p.range.start, row.min);
        EXPECT_EQ (p.range.end, row.max);
        EXPECT_EQ (p.range.interval, row.step);
        EXPECT_EQ (p.range.skew, 1.0f);
        EXPECT_FALSE (p.range.symmetricSkew);
        EXPECT_EQ (p.get(), row.def);
        EXPECT_EQ (processor.apvts.getRawParameterValue (row.id)->load(), row.def);
    }
}

TEST (Parameters, DefaultNormalisedValues)
{
    HalvoraAudioProcessor processor;
    EXPECT_EQ (param (processor, "formant").getDefaultValue(), 0.5f);
    EXPECT_EQ (param (processor, "gain").getDefaultValue(), 0.5f);
    EXPECT_EQ (param (processor, "morvel").getDefaultValue(), 0.5f);
    EXPECT_EQ (param (processor, "vibDepth").getDefaultValue(), 0.0f);
    EXPECT_EQ (param (processor, "delayMix").getDefaultValue(), 0.0f);
    EXPECT_EQ (param (processor, "reverbMix").getDefaultValue(), 0.0f);

    const auto vibRate = param (processor, "vibRate").getDefaultValue();
    EXPECT_FLOAT_EQ (vibRate, (5.0f - 0.1f) / 9.9f);
    EXPECT_LT (vibRate, 0.5f);
}

struct ConversionCase
{
    const char* id;
    float normalised;
    float plain;
};

class ParameterConversion : public testing::TestWithParam<ConversionCase>
{
};

TEST_P (ParameterConversion, NormalisedToPlain)
{
    HalvoraAudioProcessor processor;
    const auto& c = GetParam();
    auto& p = param (processor, c.id);
    p.setValueNotifyingHost (c.normalised);
    EXPECT_NEAR (getPlain (processor, c.id), c.plain, 1.0e-5f);
    EXPECT_NEAR (processor.apvts.getRawParameterValue (c.id)->load(), c.plain, 1.0e-5f);
}

const ConversionCase conversionCases[] {
    { "vibRate", 0.0f, 0.1f },
    { "vibRate", 1.0f, 10.0f },
    { "vibRate", 0.5f, 5.05f },
    { "gain", 0.0f, -24.0f },
    { "gain", 0.75f, 12.0f },
    { "formant", 0.25f, -0.5f },
    { "range", 0.5f, 2.0f }, // "Tenor"
    { "voice", 1.0f, 1.0f }, // "Male"
    { "key", 6.0f / 11.0f, 6.0f },
    { "scale", 1.0f, 4.0f },
};

INSTANTIATE_TEST_SUITE_P (Table, ParameterConversion, testing::ValuesIn (conversionCases));

struct SnapCase
{
    const char* id;
    float set;
    float held;
};

class ParameterSnapping : public testing::TestWithParam<SnapCase>
{
};

TEST_P (ParameterSnapping, PlainValuesSnapToTheStepGridAndClamp)
{
    HalvoraAudioProcessor processor;
    const auto& c = GetParam();
    setPlain (processor, c.id, c.set);
    EXPECT_NEAR (processor.apvts.getRawParameterValue (c.id)->load(), c.held, 1.0e-5f);
}

const SnapCase snapCases[] {
    { "gain", 3.004f, 3.0f },
    { "gain", 3.006f, 3.01f },
    { "delayMix", 33.33f, 33.3f },
    { "reverbMix", 99.96f, 100.0f },
    { "morvel", 0.1234f, 0.123f },
    { "vibDepth", 150.0f, 100.0f },
    { "formant", -3.0f, -1.0f },
};

INSTANTIATE_TEST_SUITE_P (Table, ParameterSnapping, testing::ValuesIn (snapCases));

TEST (Parameters, ChoiceRawValuesAreIndices)
{
    HalvoraAudioProcessor processor;
    dynamic_cast<juce::AudioParameterChoice&> (param (processor, "key")) = 6;
    dynamic_cast<juce::AudioParameterChoice&> (param (processor, "scale")) = 4;
    EXPECT_EQ (processor.apvts.getRawParameterValue ("key")->load(), 6.0f);
    EXPECT_EQ (param (processor, "key").getCurrentValueAsText(), "F#");
    EXPECT_EQ (processor.apvts.getRawParameterValue ("scale")->load(), 4.0f);
    EXPECT_EQ (param (processor, "scale").getCurrentValueAsText(), "Chromatic");
}

TEST (Parameters, HostTextIsThePlainValueWithTheStepsDecimals)
{
    HalvoraAudioProcessor processor;
    EXPECT_EQ (param (processor, "gain").getCurrentValueAsText(), "0.00");
    EXPECT_EQ (param (processor, "vibRate").getCurrentValueAsText(), "5.000");
    EXPECT_EQ (param (processor, "delayMix").getCurrentValueAsText(), "0.0");
    EXPECT_EQ (param (processor, "range").getCurrentValueAsText(), "Soprano");
}

// The shared vocabulary's tables, against the design written out by hand once more: every
// other test takes them from the vocabulary.
TEST (Vocabulary, VocalRangesScalesTargetsAndGoldAsDesigned)
{
    const halvora::VocalRange ranges[] {
        { 261.6f, 1046.5f, 1.6f, 0.6f },
        { 196.0f, 784.0f, 1.3f, 0.8f },
        { 130.8f, 523.3f, 1.0f, 1.0f },
        { 98.0f, 392.0f, 0.9f, 1.3f },
        { 82.4f, 330.0f, 0.7f, 1.6f },
    };

    for (size_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ (halvora::vocalRanges[i].lowestHz, ranges[i].lowestHz) << i;
        EXPECT_EQ (halvora::vocalRanges[i].highestHz, ranges[i].highestHz) << i;
        EXPECT_EQ (halvora::vocalRanges[i].highWeight, ranges[i].highWeight) << i;
        EXPECT_EQ (halvora::vocalRanges[i].lowWeight, ranges[i].lowWeight) << i;
    }

    const char* const masks[] { "101011010101", "101101011010", "101101010110", "101011010100", "111111111111" };

    for (size_t s = 0; s < 5; ++s)
        for (size_t pc = 0; pc < 12; ++pc)
            EXPECT_EQ (halvora::scaleMasks[s][pc], masks[s][pc] == '1' ? 1 : 0) << s << ", " << pc;

    const char* const targets[] { "none", "range", "voice", "key", "scale" };

    for (size_t i = 0; i < 5; ++i)
        EXPECT_STREQ (halvora::onTargetNames[i], targets[i]);

    EXPECT_EQ (halvora::productGoldArgb, 0xFFD4AF37u);
}
