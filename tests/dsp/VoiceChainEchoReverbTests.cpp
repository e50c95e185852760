// The echo and the reverb as the voice chain blends them in, through the chain's own
// interface, against values worked out by hand and the framework's reverb.

#include "ChainRig.h"
#include "ReverbComparison.h"
#include "helpers/EchoFigures.h"

/** Range Tenor with formant 0 passes an impulse through the tone stage unchanged
    (lp = 0.5, y = 0.5 + 0.5), so what comes out is the echo's own arithmetic.
*/
class VoiceChainEcho : public ChainRig
{
protected:
    juce::AudioBuffer<float> impulseResponse (int channels, int numSamples, double sampleRate = 44100.0)
    {
        prepare (channels, sampleRate);
        snapshot.rangeIndex = 2;
        juce::AudioBuffer<float> input (channels, numSamples);
        input.clear();
        input.setSample (0, 0, 1.0f);
        return run (input, 512);
    }
};

TEST_F (VoiceChainEcho, RepeatsComeEvery035SecondsAtThreeTenths)
{
    snapshot.delayPercent = 50.0f;
    const auto out = impulseResponse (1, 50000);

    EXPECT_FLOAT_EQ (out.getSample (0, 0), 0.5f);
    EXPECT_FLOAT_EQ (out.getSample (0, echoDelayAt44100), 0.5f);
    EXPECT_FLOAT_EQ (out.getSample (0, 2 * echoDelayAt44100), 0.15f);
    EXPECT_FLOAT_EQ (out.getSample (0, 3 * echoDelayAt44100), 0.045f); // after the write position wrapped

    for (int i = 1; i < 50000; ++i)
    {
        if (i % echoDelayAt44100 != 0)
        {
            ASSERT_EQ (out.getSample (0, i), 0.0f) << i;
        }
    }
}

TEST_F (VoiceChainEcho, FullMixIsTheDelayedSignalAlone)
{
    snapshot.delayPercent = 100.0f;
    const auto out = impulseResponse (1, 31000);
    EXPECT_EQ (out.getSample (0, 0), 0.0f);
    EXPECT_FLOAT_EQ (out.getSample (0, echoDelayAt44100), 1.0f);
    EXPECT_FLOAT_EQ (out.getSample (0, 2 * echoDelayAt44100), 0.3f);
}

TEST_F (VoiceChainEcho, EachChannelEchoesOnlyItself)
{
    snapshot.delayPercent = 50.0f;
    const auto out = impulseResponse (2, 16000);
    EXPECT_FLOAT_EQ (out.getSample (0, echoDelayAt44100), 0.5f);
    EXPECT_EQ (out.getMagnitude (1, 0, 16000), 0.0f);
}

TEST_F (VoiceChainEcho, At48kTheRepeatsAre16800Apart)
{
    snapshot.delayPercent = 50.0f;
    const auto out = impulseResponse (1, 17000, 48000.0);
    EXPECT_FLOAT_EQ (out.getSample (0, 16800), 0.5f);
    EXPECT_EQ (out.getSample (0, echoDelayAt44100), 0.0f);
}

//==============================================================================
class VoiceChainReverb : public ChainRig, public testing::WithParamInterface<std::tuple<int, float>>
{
};

TEST_P (VoiceChainReverb, BlendsTheFrameworkReverbOverACopy)
{
    const auto [channels, mix] = GetParam();
    const auto input = testutil::makeTestSignal (channels, 2048, 44100.0, 9);

    // What the tone stage makes of the input, from a twin chain with the reverb off.
    halvora::VoiceChain twin;
    twin.prepare ({ 44100.0, 512, channels });
    const auto dry = run (twin, input, 512, settings());

    juce::Reverb reference;
    reference.setParameters (reverbcheck::voiceChainSettings());
    reference.reset();

    auto expected = dry;
    for (int start = 0; start < 2048; start += 512)
    {
        juce::AudioBuffer<float> wet (channels, 512);
        for (int c = 0; c < channels; ++c)
            wet.copyFrom (c, 0, dry, c, start, 512);

        if (channels >= 2)
            reference.processStereo (wet.getWritePointer (0), wet.getWritePointer (1), 512);
        else
            reference.processMono (wet.getWritePointer (0), 512);

        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 512; ++i)
                expected.setSample (c, start + i, dry.getSample (c, start + i) * (1.0f - mix / 100.0f) + wet.getSample (c, i) * (mix / 100.0f));
    }

    prepare (channels);
    snapshot.reverbPercent = mix;
    const auto out = run (input, 512);
    EXPECT_TRUE (identical (out, expected));
}

INSTANTIATE_TEST_SUITE_P (ChannelsAndMix, VoiceChainReverb, testing::Combine (testing::Values (1, 2), testing::Values (100.0f, 35.0f)));

struct EchoCase
{
    double sampleRate;
    int channels;
};

class VoiceChainEchoReference : public testing::TestWithParam<EchoCase>
{
};

TEST_P (VoiceChainEchoReference, MatchesThePlainArithmeticBitForBit)
{
    // The echo written out plainly, read position by modulo, applied to what the chain
    // gives without echo, against the chain with echo; at 1000 Hz the 350-sample delay
    // and the 1000-sample line are shorter than some of the blocks.
    const auto [sampleRate, channels] = GetParam();
    halvora::VoiceChain dryChain, echoChain;
    dryChain.prepare ({ sampleRate, 512, 2 });
    echoChain.prepare ({ sampleRate, 512, 2 });
    auto snapshot = ChainRig::parameterDefaults();
    const auto drySettings = halvora::VoiceChainSettings::from (snapshot, false);
    snapshot.delayPercent = 60.0f;
    const auto echoSettings = halvora::VoiceChainSettings::from (snapshot, false);

    const auto length = static_cast<int> (std::ceil (sampleRate));
    const auto delay = static_cast<int> (std::round (sampleRate * 0.35));
    const auto mix = 0.6f;
    juce::AudioBuffer<float> lines (channels, length);
    lines.clear();
    int w = 0;

    for (const auto blockLength : { 1, 349, 350, 351, 4096, 1000, 77, 2500 })
    {
        const auto input = testutil::makeTestSignal (channels, blockLength, sampleRate, static_cast<juce::uint32> (blockLength));
        auto expected = input, actual = input;
        dryChain.process (expected, drySettings);
        echoChain.process (actual, echoSettings);

        const auto start = w;

        for (int c = 0; c < channels; ++c)
        {
            auto* samples = expected.getWritePointer (c);
            auto* line = lines.getWritePointer (c);
            w = start;

            for (int i = 0; i < blockLength; ++i)
            {
                const auto x = samples[i];
                const auto e = line[(w + length - delay) % length];
                line[w] = e * 0.3f + x;
                samples[i] = x * (1.0f - mix) + e * mix;
                w = (w + 1) % length;
            }
        }

        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < blockLength; ++i)
                ASSERT_EQ (actual.getSample (c, i), expected.getSample (c, i))
                    << "block of " << blockLength << ", channel " << c << ", sample " << i;
    }
}

const EchoCase echoCases[] {
    { 1000.0, 2 },
    { 22050.0, 2 },
    { 44100.0, 1 },
    { 192000.0, 2 },
};

INSTANTIATE_TEST_SUITE_P (RatesAndChannels, VoiceChainEchoReference, testing::ValuesIn (echoCases));
