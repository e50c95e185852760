// The tone, vibrato and gain as the voice chain applies them: the parameters' units
// through the chain's settings, against values worked out by hand.

#include "ChainRig.h"
#include "dsp/kernels/VectorMath.h"

#include <cmath>
#include <limits>
#include <vector>

class VoiceChainTone : public ChainRig
{
protected:
    void SetUp() override { prepare (1); }

    /** The last output sample once a constant input has settled the filter. */
    float settled (float input)
    {
        auto block = constant (1, 400, input);
        process (block);
        return block.getSample (0, 399);
    }
};

struct SettledCase
{
    int range;
    float expected;
};

class VoiceChainSettledLevels : public VoiceChainTone, public testing::WithParamInterface<SettledCase>
{
};

TEST_P (VoiceChainSettledLevels, ConstantInputComesOutAtTheLowWeight)
{
    snapshot.rangeIndex = GetParam().range;
    EXPECT_EQ (settled (1.0f), GetParam().expected);
}

const SettledCase settledCases[] {
    { 0, 0.6f },
    { 1, 0.8f },
    { 2, 1.0f },
    { 3, 1.3f },
    { 4, 1.6f },
};

INSTANTIATE_TEST_SUITE_P (Ranges, VoiceChainSettledLevels, testing::ValuesIn (settledCases));

TEST_F (VoiceChainTone, GainScalesTheWholeOutput)
{
    snapshot.rangeIndex = 2;
    snapshot.gainDb = -24.0f;
    EXPECT_NEAR (settled (1.0f), 0.0630957f, 1.0e-6f);
    snapshot.gainDb = 6.0f;
    EXPECT_NEAR (settled (0.5f), 0.5f * 1.9952623f, 1.0e-6f);
}

TEST_F (VoiceChainTone, NegativeFormantSaturates)
{
    snapshot.rangeIndex = 2;
    snapshot.formant = -1.0f;
    EXPECT_NEAR (settled (1.0f), 1.0f, 1.0e-6f);
    EXPECT_NEAR (settled (0.1f), std::tanh (0.5f) / std::tanh (5.0f), 1.0e-6f); // about 0.462
    snapshot.formant = -0.5f;
    // drive 3, saturation mix 0.65: 0.2 * 0.35 + tanh(0.6) / tanh(3) * 0.65
    EXPECT_NEAR (settled (0.2f), 0.2f * 0.35f + std::tanh (0.6f) / std::tanh (3.0f) * 0.65f, 1.0e-6f);
}

TEST_F (VoiceChainTone, PositiveFormantLeansOnTheLowBand)
{
    snapshot.formant = 1.0f; // Soprano: y = 0.6 * lp
    juce::AudioBuffer<float> block (1, 3);
    block.clear();
    block.setSample (0, 0, 1.0f);
    process (block);
    EXPECT_FLOAT_EQ (block.getSample (0, 0), 0.3f);
    EXPECT_FLOAT_EQ (block.getSample (0, 1), 0.15f);
    EXPECT_FLOAT_EQ (block.getSample (0, 2), 0.075f);
}

TEST_F (VoiceChainTone, HighBandFollowsTheRangeWeight)
{
    // An impulse from a zero state: lp = 0.5, high band 0.5.
    for (int range = 0; range < 5; ++range)
    {
        const auto& weights = halvora::vocalRanges[static_cast<size_t> (range)];
        prepare (1);
        snapshot.rangeIndex = range;
        juce::AudioBuffer<float> block (1, 2);
        block.clear();
        block.setSample (0, 0, 1.0f);
        process (block);
        EXPECT_FLOAT_EQ (block.getSample (0, 0), 0.5f * weights.lowWeight + 0.5f * weights.highWeight) << range;
        EXPECT_FLOAT_EQ (block.getSample (0, 1), 0.25f * weights.lowWeight - 0.25f * weights.highWeight) << range;
    }
}

struct ToneCase
{
    float formant, depthPercent, rateHz;
    int range, channels;
    double sampleRate;
};

class VoiceChainToneReference : public testing::TestWithParam<ToneCase>
{
};

TEST_P (VoiceChainToneReference, MatchesThePlainArithmeticBitForBit)
{
    // The stage written out plainly, one channel after another with the sine always
    // computed, against the chain over blocks shorter and longer than its chunks;
    // without depth the chain skips the sine. The sine and tanh are the plug-in's
    // own one-value functions (their distance from the C library's is tested apart).
    const auto& tc = GetParam();
    halvora::VoiceChain chain;
    chain.prepare ({ tc.sampleRate, 512, 2 });
    auto snapshot = ChainRig::parameterDefaults();
    snapshot.vibratoDepthPercent = tc.depthPercent;
    snapshot.vibratoRateHz = tc.rateHz;
    snapshot.formant = tc.formant;
    snapshot.gainDb = 3.5f;
    snapshot.rangeIndex = tc.range;

    const auto gain = std::pow (10.0f, 0.05f * snapshot.gainDb);
    const auto step = static_cast<float> (static_cast<double> (snapshot.vibratoRateHz) * 6.283185307179586 / tc.sampleRate);
    const auto f = snapshot.formant;
    const auto saturation = f < 0.0f ? -f : 0.0f, darkening = f > 0.0f ? f : 0.0f;
    const auto drive = 4.0f * saturation + 1.0f, mix = 0.7f * saturation + 0.3f;
    const auto norm = 1.0f / halvora::VectorMath::tanh (drive);
    const auto high = halvora::vocalRanges[static_cast<size_t> (tc.range)].highWeight;
    const auto low = halvora::vocalRanges[static_cast<size_t> (tc.range)].lowWeight;

    std::vector<float> lps (static_cast<size_t> (tc.channels), 0.0f);
    float blockPhase = 0.0f;

    const int lengths[] { 1, 255, 256, 257, 1000, 4096, 64 };

    for (int blockIndex = 0; blockIndex < 7; ++blockIndex)
    {
        // Halfway the depth switches between none and some, so the phase carried through
        // blocks without sines must be the one the sines then start from.
        if (blockIndex == 4)
            snapshot.vibratoDepthPercent = tc.depthPercent == 0.0f ? 40.0f : 0.0f;

        const auto length = lengths[blockIndex];
        const auto depth = juce::jmin (1.0f, snapshot.vibratoDepthPercent / 100.0f) * 0.5f;
        auto input = testutil::makeTestSignal (tc.channels, length, tc.sampleRate, static_cast<juce::uint32> (length));
        input.applyGain (2.5f); // well into the saturation's curve
        auto output = input;
        chain.process (output, halvora::VoiceChainSettings::from (snapshot, false));

        float phase = blockPhase;

        for (int c = 0; c < tc.channels; ++c)
        {
            auto& lp = lps[static_cast<size_t> (c)];
            phase = blockPhase;

            for (int i = 0; i < length; ++i)
            {
                const auto x = input.getSample (c, i);
                lp = (lp + x) * 0.5f;
                const auto v = saturation > 0.0f ? x * (1.0f - mix) + halvora::VectorMath::tanh (drive * x) * norm * mix
                             : darkening > 0.0f  ? x * (1.0f - darkening) + darkening * lp
                                                 : x;
                const auto y = lp * low + (v - lp) * high;
                const auto expected = ((halvora::VectorMath::sin (phase) * depth + 1.0f) * y) * gain;
                ASSERT_EQ (output.getSample (c, i), expected) << "block of " << length << ", channel " << c << ", sample " << i;

                // And with the C library's functions, as the stage computed before it had its
                // own: one unit in the last place of the sine or tanh (below 2^-23 of their
                // size 1) moves the sample by a few parts in 2^24 of the signal's size.
                const auto libraryV = saturation > 0.0f ? x * (1.0f - mix) + std::tanh (drive * x) * (1.0f / std::tanh (drive)) * mix : v;
                const auto libraryY = lp * low + (libraryV - lp) * high;
                const auto libraryExpected = ((std::sin (phase) * depth + 1.0f) * libraryY) * gain;
                const auto scale = (std::abs (x) + std::abs (lp)) * (high + low) * gain;
                ASSERT_LE (std::abs (output.getSample (c, i) - libraryExpected), scale * 0x1p-21f) << "block of " << length << ", sample " << i;
                phase = phase + step;
                if (phase > 6.2831855f)
                    phase -= 6.2831855f;
            }
        }

        blockPhase = phase;
    }
}

const ToneCase toneCases[] {
    { -1.0f, 100.0f, 10.0f, 0, 1, 44100.0 },
    { -0.4f, 37.5f, 7.25f, 3, 2, 48000.0 },
    { 0.0f, 0.0f, 5.0f, 2, 2, 22050.0 },
    { 0.6f, 20.0f, 3.0f, 4, 3, 192000.0 },
    { 0.0f, 50.0f, 8.0f, 1, 1, 96000.0 },
    { -0.7f, 0.0f, 5.0f, 2, 2, 44100.0 },
};

INSTANTIATE_TEST_SUITE_P (Settings, VoiceChainToneReference, testing::ValuesIn (toneCases));
