#include "ChainFixture.h"
#include "HalvoraVocabulary.h"

#include <limits>

class BlockPipeline : public ChainTest
{
};

TEST_F (BlockPipeline, DegenerateBlocksComeBackUntouched)
{
    prepare (2);
    set (halvora::ParamID::delayMix, 50.0f);
    set (halvora::ParamID::vibDepth, 50.0f);
    auto warm = testutil::makeTestSignal (2, 512, 44100.0);
    process (warm);

    const auto phase = state.vibratoPhase();
    const auto writePos = state.echoWritePos();
    const auto smoothed = state.smoothedHz();
    const auto tone = state.toneState();

    juce::AudioBuffer<float> empty (2, 0);
    process (empty);
    juce::AudioBuffer<float> noChannels (0, 128);
    process (noChannels);

    EXPECT_EQ (state.vibratoPhase(), phase);
    EXPECT_EQ (state.echoWritePos(), writePos);
    EXPECT_EQ (state.smoothedHz(), smoothed);
    EXPECT_EQ (state.toneState(), tone);
}

class DefaultsAtTenor : public ChainTest, public testing::WithParamInterface<std::tuple<int, int>>
{
};

TEST_P (DefaultsAtTenor, OutputEqualsInputUpToRounding)
{
    const auto [channels, block] = GetParam();
    prepare (channels);
    set (halvora::ParamID::range, 2.0f);
    const auto input = testutil::makeTestSignal (channels, 3000, 44100.0);
    const auto output = run (input, block);
    EXPECT_LT (maxDifference (input, output), 1.0e-6f);
}

INSTANTIATE_TEST_SUITE_P (ChannelsAndBlocks, DefaultsAtTenor, testing::Combine (testing::Values (1, 2), testing::Values (1, 63, 512, 1000)));

TEST_F (BlockPipeline, VoiceNeverChangesTheOutput)
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

TEST (BlockPipelineTargets, OnlyKeyAndScaleLetTheCorrectionAct)
{
    // A voice a third of a semitone flat of C#, off C major: the correction moves it.
    const auto input = ChainTest::sine (277.18f * 0.98f, 8192);
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

    EXPECT_TRUE (ChainTest::identical (outputs[0], outputs[1]));
    EXPECT_TRUE (ChainTest::identical (outputs[0], outputs[2]));
    EXPECT_TRUE (ChainTest::identical (outputs[3], outputs[4]));
    EXPECT_FALSE (ChainTest::identical (outputs[0], outputs[3]));
}

struct RawCase
{
    const char* id;
    float raw;
    float equivalent;
};

class RawValueClamps : public ChainTest, public testing::WithParamInterface<RawCase>
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
        p.apvts.getRawParameterValue (c.id)->store (value);
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
    { halvora::ParamID::range, 2.7f, 2.0f },
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

TEST_F (BlockPipeline, AnalysisSignalIsTheMeanOfTheFirstTwoChannels)
{
    prepare (2);
    juce::AudioBuffer<float> block (2, 128);
    juce::FloatVectorOperations::fill (block.getWritePointer (0), 1.0f, 128);
    juce::FloatVectorOperations::fill (block.getWritePointer (1), -1.0f, 128);
    process (block);

    ASSERT_EQ (state.analysisBuffer().getNumSamples(), 128);
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ (state.analysisBuffer().getSample (0, i), 0.0f);
    EXPECT_EQ (state.analysisBuffer().getNumChannels(), 1);

    auto mono = sine (300.0f, 100);
    prepare (1);
    const auto copy = mono;
    process (mono);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ (state.analysisBuffer().getSample (0, i), copy.getSample (0, i));
}

TEST_F (BlockPipeline, ShortBlocksHoldThePitchEstimate)
{
    prepare (1);
    auto tiny = sine (440.0f, 63);
    process (tiny);
    EXPECT_EQ (state.lastDetectedHz(), 0.0f);
    EXPECT_EQ (state.smoothedHz(), 0.0f);

    auto detectable = sine (440.0f, 512);
    process (detectable);
    EXPECT_EQ (state.lastDetectedHz(), 441.0f);
    const auto smoothed = state.smoothedHz();

    auto tinyAgain = sine (440.0f, 63);
    process (tinyAgain);
    EXPECT_EQ (state.lastDetectedHz(), 441.0f);
    EXPECT_EQ (state.smoothedHz(), smoothed);

    // With no smoothed estimate yet, a block without one takes the last raw estimate.
    state.smoothedHz() = 0.0f;
    process (tinyAgain);
    EXPECT_EQ (state.smoothedHz(), 441.0f);
}

TEST_F (BlockPipeline, TrackingWeightFollowsTheCorrectionStrength)
{
    for (const auto& [morvel, expected] : { std::pair { 1.0f, 308.7f }, std::pair { 0.0f, 231.525f } })
    {
        prepare (1, 44100.0, 1024);
        set (halvora::ParamID::morvel, morvel);
        target (3);

        set (halvora::ParamID::range, 2.0f); // Tenor
        auto first = sine (220.0f, 1024);
        process (first);
        EXPECT_FLOAT_EQ (state.smoothedHz(), 220.5f);
        EXPECT_EQ (state.lastDetectedHz(), 220.5f);

        set (halvora::ParamID::range, 0.0f); // Soprano
        auto second = sine (440.0f, 512);
        process (second);
        EXPECT_EQ (state.lastDetectedHz(), 441.0f);
        EXPECT_FLOAT_EQ (state.smoothedHz(), expected) << morvel;
    }
}

TEST_F (BlockPipeline, MoreChannelsThanPreparedRestartTheToneStates)
{
    prepare (1);
    auto mono = constant (1, 100, 0.8f);
    process (mono);
    ASSERT_EQ (state.toneState().size(), 1u);
    EXPECT_NE (state.toneState()[0], 0.0f);

    juce::AudioBuffer<float> stereo (2, 1);
    stereo.setSample (0, 0, 1.0f);
    stereo.setSample (1, 0, 1.0f);
    process (stereo);

    // From a zero state: lp = 0.5, y = 0.5 * 0.6 + (1 - 0.5) * 1.6 at Soprano.
    ASSERT_EQ (state.toneState().size(), 2u);
    EXPECT_EQ (stereo.getSample (0, 0), 0.5f * 0.6f + 0.5f * 1.6f);
    EXPECT_EQ (stereo.getSample (1, 0), 0.5f * 0.6f + 0.5f * 1.6f);
}

TEST_F (BlockPipeline, UnpreparedProcessorAssumes44100AndSkipsTheEcho)
{
    set (halvora::ParamID::delayMix, 100.0f);
    auto block = sine (440.0f, 512, 44100.0, 0.5f, 2);
    process (block);
    EXPECT_EQ (state.lastDetectedHz(), 441.0f);
    EXPECT_EQ (state.echoWritePos(), 0);
    EXPECT_GT (block.getMagnitude (0, 512), 0.1f); // the echo alone would be silent
}

TEST_F (BlockPipeline, NonFiniteInputIsReadAsSilence)
{
    const auto render = [] (bool poison) {
        HalvoraAudioProcessor p;
        p.prepareToPlay (44100.0, 256);
        testutil::setPlain (p, halvora::ParamID::delayMix, 50.0f);
        testutil::setPlain (p, halvora::ParamID::reverbMix, 50.0f);
        testutil::setPlain (p, halvora::ParamID::formant, -0.5f);
        testutil::setPlain (p, halvora::ParamID::morvel, 1.0f);
        p.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::keyButton);

        auto signal = testutil::makeTestSignal (2, 256 * 12, 44100.0, 11);
        const float bad[] { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity() };
        for (int k = 0; k < 3; ++k)
        {
            signal.setSample (0, 10 + 40 * k, poison ? bad[k] : 0.0f);
            signal.setSample (1, 77 + k, poison ? bad[k] : 0.0f);
        }

        juce::MidiBuffer midi;
        for (int start = 0; start < signal.getNumSamples(); start += 256)
        {
            juce::AudioBuffer<float> block (signal.getArrayOfWritePointers(), 2, start, 256);
            p.processBlock (block, midi);
        }
        return signal;
    };

    const auto poisoned = render (true);
    const auto zeroed = render (false);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < poisoned.getNumSamples(); ++i)
            ASSERT_TRUE (std::isfinite (poisoned.getSample (c, i))) << c << " " << i;

    EXPECT_TRUE (identical (poisoned, zeroed));
}

TEST (BlockPipelineLengths, AnyLengthWithOrWithoutPrepare)
{
    for (const bool prepared : { false, true })
    {
        for (const auto channels : { 1, 2, 3 })
        {
            HalvoraAudioProcessor p;
            if (prepared)
                p.prepareToPlay (44100.0, 128);
            testutil::setPlain (p, halvora::ParamID::delayMix, 50.0f);
            testutil::setPlain (p, halvora::ParamID::reverbMix, 50.0f);
            testutil::setPlain (p, halvora::ParamID::vibDepth, 50.0f);
            p.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::scaleButton);

            juce::MidiBuffer midi;
            for (const auto n : { 1, 2, 63, 64, 65, 300, 4096 })
            {
                auto block = testutil::makeTestSignal (channels, n, 44100.0, static_cast<juce::uint32> (n));
                p.processBlock (block, midi);
                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < n; ++i)
                        ASSERT_TRUE (std::isfinite (block.getSample (c, i)));
            }
        }
    }
}
