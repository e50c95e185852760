// The processor around its voice chain: the parameters and the lit ON button become each
// block's settings, and what the chain did is reported back. The chain itself is tested
// on its own, in the DSP tests.

#include "ProcessorFixture.h"
#include "HalvoraVocabulary.h"

#include <cmath>

class ProcessorWiring : public DrivenProcessor
{
};

TEST_F (ProcessorWiring, VoiceNeverChangesTheOutput)
{
    const auto input = testutil::makeTestSignal (2, 4096, 44100.0, 3);
    juce::AudioBuffer<float> outputs[2];

    for (int voice = 0; voice < 2; ++voice)
    {
        HalvoraAudioProcessor p;
        p.prepareToPlay (44100.0, 512);
        testutil::setPlain (p, halvora::ParamID::voice, static_cast<float> (voice));
        testutil::setPlain (p, halvora::ParamID::morvel, 1.0f);
        testutil::setPlain (p, halvora::ParamID::delayMix, 30.0f);
        p.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::keyButton);
        outputs[voice] = input;
        juce::MidiBuffer midi;
        for (int start = 0; start < 4096; start += 512)
        {
            juce::AudioBuffer<float> block (outputs[voice].getArrayOfWritePointers(), 2, start, 512);
            p.processBlock (block, midi);
        }
    }

    EXPECT_TRUE (identical (outputs[0], outputs[1]));
}

TEST (ProcessorWiringTargets, OnlyKeyAndScaleLetTheCorrectionAct)
{
    // A voice a third of a semitone flat of C#, off C major: the correction moves it.
    const auto input = DrivenProcessor::sine (277.18f * 0.98f, 8192);
    juce::AudioBuffer<float> outputs[5];

    for (int mv = 0; mv < 5; ++mv)
    {
        HalvoraAudioProcessor p;
        juce::AudioProcessor::BusesLayout mono;
        mono.inputBuses.add (juce::AudioChannelSet::mono());
        mono.outputBuses.add (juce::AudioChannelSet::mono());
        p.setBusesLayout (mono);
        p.prepareToPlay (44100.0, 512);
        testutil::setPlain (p, halvora::ParamID::morvel, 1.0f);
        p.setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (mv));
        outputs[mv] = input;
        juce::MidiBuffer midi;
        for (int start = 0; start < 8192; start += 512)
        {
            juce::AudioBuffer<float> block (outputs[mv].getArrayOfWritePointers(), 1, start, 512);
            p.processBlock (block, midi);
        }
    }

    EXPECT_TRUE (DrivenProcessor::identical (outputs[0], outputs[1]));
    EXPECT_TRUE (DrivenProcessor::identical (outputs[0], outputs[2]));
    EXPECT_TRUE (DrivenProcessor::identical (outputs[3], outputs[4]));
    EXPECT_FALSE (DrivenProcessor::identical (outputs[0], outputs[3]));
}

struct RawCase
{
    const char* id;
    float raw;
    float equivalent;
};

class RawValueClamps : public DrivenProcessor, public testing::WithParamInterface<RawCase>
{
};

TEST_P (RawValueClamps, BehaveAsTheClampedValue)
{
    const auto& c = GetParam();
    const auto input = testutil::makeTestSignal (2, 2048, 44100.0, 5);

    const auto render = [&] (float value) {
        HalvoraAudioProcessor p;
        p.prepareToPlay (44100.0, 512);
        testutil::setPlain (p, halvora::ParamID::vibDepth, 40.0f);
        testutil::setPlain (p, halvora::ParamID::morvel, 1.0f);
        p.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::scaleButton);
        // As a format wrapper hands a host's value beyond the range to the parameter.
        juce::AudioProcessorParameter& parameter = testutil::param (p, c.id);
        const auto& range = testutil::param (p, c.id).getNormalisableRange();
        parameter.setValue ((value - range.start) / (range.end - range.start));
        auto out = input;
        juce::MidiBuffer midi;
        for (int start = 0; start < 2048; start += 512)
        {
            juce::AudioBuffer<float> block (out.getArrayOfWritePointers(), 2, start, 512);
            p.processBlock (block, midi);
        }
        return out;
    };

    EXPECT_TRUE (identical (render (c.raw), render (c.equivalent))) << c.id << " " << c.raw;
}

const RawCase rawCases[] {
    { halvora::ParamID::range, 7.0f, 4.0f },
    { halvora::ParamID::range, 2.7f, 3.0f }, // to the nearest entry, as every door rounds
    { halvora::ParamID::key, -3.0f, 0.0f },
    { halvora::ParamID::scale, 12.0f, 4.0f },
    { halvora::ParamID::vibRate, 20.0f, 10.0f },
    { halvora::ParamID::vibRate, 0.0f, 0.1f },
    { halvora::ParamID::morvel, 3.0f, 1.0f },
    { halvora::ParamID::formant, 3.0f, 1.0f },
    { halvora::ParamID::formant, -7.0f, -1.0f },
    { halvora::ParamID::vibDepth, 250.0f, 100.0f },
    { halvora::ParamID::vibDepth, -20.0f, 0.0f },
};

INSTANTIATE_TEST_SUITE_P (Table, RawValueClamps, testing::ValuesIn (rawCases));

TEST_F (ProcessorWiring, UnpreparedProcessorAssumes44100AndSkipsTheEcho)
{
    set (halvora::ParamID::delayMix, 100.0f);
    auto block = sine (440.0f, 512, 44100.0, 0.5f, 2);
    process (block);
    EXPECT_EQ (state.lastDetectedHz(), 441.0f);
    EXPECT_EQ (state.echoWritePos(), 0);
    EXPECT_GT (block.getMagnitude (0, 512), 0.1f); // the echo alone would be silent
}

//==============================================================================
/** Blocks shorter than 64 samples are not analysed, so the smoothed estimate set here is
    exactly the one the correction works from. Range Tenor keeps the tone stage neutral.
*/
class ProcessorCorrectionTarget : public DrivenProcessor
{
protected:
    void SetUp() override
    {
        prepare (1);
        set (halvora::ParamID::range, 2.0f);
        set (halvora::ParamID::morvel, 1.0f);
        target (3);
    }

    static juce::AudioBuffer<float> ramp (int numSamples)
    {
        juce::AudioBuffer<float> b (1, numSamples);
        for (int i = 0; i < numSamples; ++i)
            b.setSample (0, i, 0.01f * static_cast<float> (i));
        return b;
    }

    /** The replay speed the block was resampled at, read back from a ramp. */
    float measuredRatio (float smoothedHz)
    {
        state.smoothedHz() = smoothedHz;
        auto block = ramp (40);
        process (block);
        // Sample 20 sits well inside the block; the ramp maps position to value.
        return block.getSample (0, 20) / (0.01f * 20.0f);
    }
};

TEST_F (ProcessorCorrectionTarget, CorrectionOffLeavesTheBlock)
{
    target (0);
    EXPECT_NEAR (measuredRatio (466.16f), 1.0f, 1.0e-6f);
    target (2);
    EXPECT_NEAR (measuredRatio (466.16f), 1.0f, 1.0e-6f);
    target (4);
    EXPECT_NEAR (measuredRatio (466.16f), 0.943874f, 2.0e-5f);
}

TEST_F (ProcessorCorrectionTarget, ReportsWhatItDid)
{
    state.smoothedHz() = 466.16f;
    auto block = ramp (40);
    process (block);
    const auto& report = processor.getLastBlockPitch();
    EXPECT_EQ (report.detectedHz, 0.0f);
    EXPECT_EQ (report.smoothedHz, 466.16f);
    EXPECT_NEAR (report.targetHz, 440.0f, 0.01f);
    EXPECT_NEAR (report.ratio, 0.943874f, 2.0e-5f);

    target (0);
    process (block);
    EXPECT_EQ (processor.getLastBlockPitch().targetHz, 0.0f);
    EXPECT_EQ (processor.getLastBlockPitch().ratio, 1.0f);
}
