// Hosts can hand a parameter NaN or infinity (a broken automation curve, a VST3
// setParamNormalized or LV2 patch:Set with garbage), and the framework's wrappers pass
// such a value straight to the parameter's setter. NaN must play as the parameter's
// default and an infinity as the bound it points at: the output stays finite, and the
// chain recovers as soon as the value is valid again.

#include "helpers/TestHelpers.h"
#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

struct ParameterBounds
{
    const char* id;
    float defaultValue, minimum, maximum;
};

const ParameterBounds parameters[] {
    { halvora::ParamID::formant, 0.0f, -1.0f, 1.0f },
    { halvora::ParamID::gain, 0.0f, -24.0f, 24.0f },
    { halvora::ParamID::vibRate, 5.0f, 0.1f, 10.0f },
    { halvora::ParamID::vibDepth, 0.0f, 0.0f, 100.0f },
    { halvora::ParamID::delayMix, 0.0f, 0.0f, 100.0f },
    { halvora::ParamID::reverbMix, 0.0f, 0.0f, 100.0f },
    { halvora::ParamID::morvel, 0.5f, 0.0f, 1.0f },
    { halvora::ParamID::range, 0.0f, 0.0f, 4.0f },
    { halvora::ParamID::voice, 0.0f, 0.0f, 1.0f },
    { halvora::ParamID::key, 0.0f, 0.0f, 11.0f },
    { halvora::ParamID::scale, 0.0f, 0.0f, 4.0f },
};

void PrintTo (const ParameterBounds& p, std::ostream* os) { *os << p.id; }

constexpr int blockSize = 512;
constexpr int numBlocks = 12;
constexpr double sampleRate = 44100.0;

/** Every stage on, correction included, so a non-finite value anywhere would show. */
void switchEverythingOn (HalvoraAudioProcessor& processor)
{
    testutil::setPlain (processor, halvora::ParamID::formant, 0.3f);
    testutil::setPlain (processor, halvora::ParamID::gain, 3.0f);
    testutil::setPlain (processor, halvora::ParamID::vibRate, 6.0f);
    testutil::setPlain (processor, halvora::ParamID::vibDepth, 50.0f);
    testutil::setPlain (processor, halvora::ParamID::delayMix, 40.0f);
    testutil::setPlain (processor, halvora::ParamID::reverbMix, 40.0f);
    testutil::setPlain (processor, halvora::ParamID::morvel, 1.0f);
    testutil::setPlain (processor, halvora::ParamID::range, 2.0f);
    testutil::setPlain (processor, halvora::ParamID::key, 2.0f);
    testutil::setPlain (processor, halvora::ParamID::scale, 1.0f);
    processor.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::keyButton);
}

/** Renders a voice-like signal with one parameter given `forcedPlain` during the middle
    blocks, as a host's normalised value handed to the parameter's setter the way the
    framework's wrappers do (so NaN stays NaN and the infinities stay infinite on the way),
    and the parameter's own value before and after.
*/
juce::AudioBuffer<float> render (const char* id, float forcedPlain)
{
    HalvoraAudioProcessor processor;
    switchEverythingOn (processor);
    processor.prepareToPlay (sampleRate, blockSize);

    auto signal = testutil::makeTestSignal (2, blockSize * numBlocks, sampleRate);
    juce::AudioProcessorParameter& parameter = testutil::param (processor, id);
    const auto& range = testutil::param (processor, id).getNormalisableRange();
    juce::MidiBuffer midi;

    for (int b = 0; b < numBlocks; ++b)
    {
        const auto valid = parameter.getValue();

        if (b >= 2 && b < 6)
            parameter.setValue ((forcedPlain - range.start) / (range.end - range.start));

        juce::AudioBuffer<float> block (signal.getArrayOfWritePointers(), 2, b * blockSize, blockSize);
        processor.processBlock (block, midi);
        parameter.setValue (valid);
    }

    return signal;
}

bool identical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    for (int c = 0; c < a.getNumChannels(); ++c)
        if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * static_cast<size_t> (a.getNumSamples())) != 0)
            return false;

    return true;
}

bool allFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (c, i)))
                return false;

    return true;
}

constexpr auto notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr auto infinity = std::numeric_limits<float>::infinity();

} // namespace

class NonFiniteRawValue : public testing::TestWithParam<ParameterBounds>
{
};

TEST_P (NonFiniteRawValue, NanReadsAsTheDefaultAndInfinitiesAsTheBounds)
{
    const auto& p = GetParam();

    const auto withNan = render (p.id, notANumber);
    EXPECT_TRUE (allFinite (withNan));
    EXPECT_TRUE (identical (withNan, render (p.id, p.defaultValue)));

    const auto withPlusInfinity = render (p.id, infinity);
    EXPECT_TRUE (allFinite (withPlusInfinity));
    EXPECT_TRUE (identical (withPlusInfinity, render (p.id, p.maximum)));

    const auto withMinusInfinity = render (p.id, -infinity);
    EXPECT_TRUE (allFinite (withMinusInfinity));
    EXPECT_TRUE (identical (withMinusInfinity, render (p.id, p.minimum)));
}

INSTANTIATE_TEST_SUITE_P (EveryParameter, NonFiniteRawValue, testing::ValuesIn (parameters),
                          [] (const testing::TestParamInfo<ParameterBounds>& testInfo) { return std::string (testInfo.param.id); });

TEST (NonFiniteRawValue, FiniteValuesOutsideTheRangeAreProcessedAsBefore)
{
    // Beyond the range is the bound: a "vibRate" of 20 is 10 Hz, a "range" of 7 is Bass.
    EXPECT_TRUE (identical (render (halvora::ParamID::vibRate, 20.0f), render (halvora::ParamID::vibRate, 10.0f)));
    EXPECT_TRUE (identical (render (halvora::ParamID::range, 7.0f), render (halvora::ParamID::range, 4.0f)));
    EXPECT_TRUE (identical (render (halvora::ParamID::key, -3.0f), render (halvora::ParamID::key, 0.0f)));
    EXPECT_FALSE (identical (render (halvora::ParamID::formant, 0.9f), render (halvora::ParamID::formant, 0.0f)));
}

TEST (NonFiniteParameterValue, ThroughTheParameterInterfaceEveryBlockStaysFinite)
{
    const float hostile[] { notANumber, infinity, -infinity, 1.0e30f, -1.0e30f, std::numeric_limits<float>::denorm_min() };

    for (const auto& p : parameters)
    {
        HalvoraAudioProcessor processor;
        switchEverythingOn (processor);
        processor.prepareToPlay (sampleRate, blockSize);
        auto& param = testutil::param (processor, p.id);
        const auto valid = param.getValue();
        auto signal = testutil::makeTestSignal (2, blockSize, sampleRate);
        juce::MidiBuffer midi;

        for (auto value : hostile)
        {
            for (auto normalised : { value, valid })
            {
                param.setValueNotifyingHost (normalised);

                for (int b = 0; b < 3; ++b)
                {
                    auto block = signal;
                    processor.processBlock (block, midi);
                    ASSERT_TRUE (allFinite (block)) << p.id << " set to " << normalised;
                }
            }
        }
    }
}

TEST (NonFiniteSampleRate, AHostWithoutAUsableRateGetsTheDefaultRate)
{
    // No rate at all, and rates outside the 1 kHz to 4 MHz Halvora runs at.
    for (auto rate : { 0.0, -48000.0, static_cast<double> (notANumber), static_cast<double> (infinity), 1.0e-300, 1.0,
                       999.0, 4.0e6 * (1.0 + 1.0e-15), 1.0e300 })
    {
        HalvoraAudioProcessor processor;
        switchEverythingOn (processor);
        processor.prepareToPlay (rate, blockSize);
        HalvoraProcessorInspector inspector (processor);
        EXPECT_EQ (inspector.currentSampleRate(), 44100.0);
        EXPECT_EQ (inspector.echoBuffer().getNumSamples(), 44100);

        auto block = testutil::makeTestSignal (2, blockSize, 44100.0);
        juce::MidiBuffer midi;
        processor.processBlock (block, midi);
        EXPECT_TRUE (allFinite (block)) << rate;
    }
}

TEST (NonFiniteSampleRate, TheVibratoPhaseStaysWithinOneTurnAtTheEdgesOfTheRange)
{
    // At 1 Hz the fastest vibrato would step six turns a sample and never wrap back; the
    // edges of the range, and a rate outside it, keep the phase within one turn.
    for (auto rate : { 1.0, HalvoraAudioProcessor::minSampleRate, HalvoraAudioProcessor::maxSampleRate })
    {
        HalvoraAudioProcessor processor;
        switchEverythingOn (processor);
        testutil::setPlain (processor, halvora::ParamID::vibRate, 10.0f);
        processor.prepareToPlay (rate, blockSize);
        HalvoraProcessorInspector inspector (processor);
        juce::MidiBuffer midi;

        for (int i = 0; i < 200; ++i)
        {
            auto block = testutil::makeTestSignal (2, blockSize, 44100.0);
            processor.processBlock (block, midi);
            ASSERT_TRUE (allFinite (block)) << rate;
            ASSERT_GE (inspector.vibratoPhase(), 0.0f) << rate;
            ASSERT_LT (inspector.vibratoPhase(), 6.2831855f) << rate;
        }
    }
}
