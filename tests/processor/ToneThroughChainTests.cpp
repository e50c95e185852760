#include "ChainFixture.h"
#include "HalvoraVocabulary.h"
#include "dsp/kernels/VectorMath.h"

#include <cmath>
#include <cstring>
#include <limits>

class ToneThroughChain : public ChainTest
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

class SettledLevels : public ToneThroughChain, public testing::WithParamInterface<SettledCase>
{
};

TEST_P (SettledLevels, ConstantInputComesOutAtTheLowWeight)
{
    set (halvora::ParamID::range, static_cast<float> (GetParam().range));
    EXPECT_EQ (settled (1.0f), GetParam().expected);
}

const SettledCase settledCases[] {
    { 0, 0.6f },
    { 1, 0.8f },
    { 2, 1.0f },
    { 3, 1.3f },
    { 4, 1.6f },
};

INSTANTIATE_TEST_SUITE_P (Ranges, SettledLevels, testing::ValuesIn (settledCases));

TEST_F (ToneThroughChain, GainScalesTheWholeOutput)
{
    set (halvora::ParamID::range, 2.0f);
    set (halvora::ParamID::gain, -24.0f);
    EXPECT_NEAR (settled (1.0f), 0.0630957f, 1.0e-6f);
    set (halvora::ParamID::gain, 6.0f);
    EXPECT_NEAR (settled (0.5f), 0.5f * 1.9952623f, 1.0e-6f);
}

TEST_F (ToneThroughChain, NegativeFormantSaturates)
{
    set (halvora::ParamID::range, 2.0f);
    set (halvora::ParamID::formant, -1.0f);
    EXPECT_NEAR (settled (1.0f), 1.0f, 1.0e-6f);
    EXPECT_NEAR (settled (0.1f), std::tanh (0.5f) / std::tanh (5.0f), 1.0e-6f); // about 0.462
    set (halvora::ParamID::formant, -0.5f);
    // drive 3, saturation mix 0.65: 0.2 * 0.35 + tanh(0.6) / tanh(3) * 0.65
    EXPECT_NEAR (settled (0.2f), 0.2f * 0.35f + std::tanh (0.6f) / std::tanh (3.0f) * 0.65f, 1.0e-6f);
}

TEST_F (ToneThroughChain, PositiveFormantLeansOnTheLowBand)
{
    set (halvora::ParamID::formant, 1.0f); // Soprano: y = 0.6 * lp
    juce::AudioBuffer<float> block (1, 3);
    block.clear();
    block.setSample (0, 0, 1.0f);
    process (block);
    EXPECT_FLOAT_EQ (block.getSample (0, 0), 0.3f);
    EXPECT_FLOAT_EQ (block.getSample (0, 1), 0.15f);
    EXPECT_FLOAT_EQ (block.getSample (0, 2), 0.075f);
}

TEST_F (ToneThroughChain, HighBandFollowsTheRangeWeight)
{
    // An impulse from a zero state: lp = 0.5, high band 0.5.
    for (int range = 0; range < 5; ++range)
    {
        const auto& weights = halvora::vocalRanges[static_cast<size_t> (range)];
        prepare (1);
        set (halvora::ParamID::range, static_cast<float> (range));
        juce::AudioBuffer<float> block (1, 2);
        block.clear();
        block.setSample (0, 0, 1.0f);
        process (block);
        EXPECT_FLOAT_EQ (block.getSample (0, 0), 0.5f * weights.lowWeight + 0.5f * weights.highWeight) << range;
        EXPECT_FLOAT_EQ (block.getSample (0, 1), 0.25f * weights.lowWeight - 0.25f * weights.highWeight) << range;
    }
}

TEST_F (ToneThroughChain, VibratoSwingsTheAmplitudeAndCarriesItsPhase)
{
    prepare (2);
    set (halvora::ParamID::range, 2.0f);
    set (halvora::ParamID::vibDepth, 100.0f);
    set (halvora::ParamID::vibRate, 10.0f);

    auto block = constant (2, 4410, 1.0f);
    process (block);

    EXPECT_FLOAT_EQ (block.getSample (0, 0), 1.0f);         // phase 0
    EXPECT_NEAR (block.getSample (0, 1102), 1.5f, 1.0e-4f); // a quarter period: depth 100 % swings to 1.5
    EXPECT_NEAR (block.getSample (0, 3307), 0.5f, 1.0e-4f); // three quarters: 0.5
    for (int i = 0; i < 4410; ++i)
        ASSERT_EQ (block.getSample (0, i), block.getSample (1, i)) << i; // both channels swing together

    // One whole period: the phase has wrapped back near 0.
    const auto step = static_cast<float> (10.0 * 6.283185307179586 / 44100.0);
    EXPECT_NEAR (state.vibratoPhase(), 0.0f, 10.0f * step);

    auto next = constant (2, 512, 1.0f);
    const auto phaseBefore = state.vibratoPhase();
    process (next);
    EXPECT_NEAR (next.getSample (0, 0), 1.0f + 0.5f * std::sin (phaseBefore), 1.0e-6f);
    EXPECT_NEAR (state.vibratoPhase(), phaseBefore + 512 * step, 1.0e-3f);
}

struct ToneCase
{
    float formant, depthPercent, rateHz;
    int range, channels;
    double sampleRate;
};

class ToneThroughChainReference : public testing::TestWithParam<ToneCase>
{
};

TEST_P (ToneThroughChainReference, MatchesThePlainArithmeticBitForBit)
{
    // The stage written out plainly, one channel after another with the sine always
    // computed, against the processor over blocks shorter and longer than its chunks;
    // without depth the processor skips the sine. The sine and tanh are the plug-in's
    // own one-value functions (their distance from the C library's is tested apart).
    const auto& tc = GetParam();
    HalvoraAudioProcessor processor;
    processor.prepareToPlay (tc.sampleRate, 512);
    testutil::setPlain (processor, halvora::ParamID::vibDepth, tc.depthPercent);
    testutil::setPlain (processor, halvora::ParamID::vibRate, tc.rateHz);
    testutil::setPlain (processor, halvora::ParamID::formant, tc.formant);
    testutil::setPlain (processor, halvora::ParamID::gain, 3.5f);
    testutil::setPlain (processor, halvora::ParamID::range, static_cast<float> (tc.range));

    // The values as the parameters hold them, snapped to their steps.
    const auto raw = [&processor] (const char* id) { return processor.apvts.getRawParameterValue (id)->load(); };
    const auto gain = std::pow (10.0f, 0.05f * raw (halvora::ParamID::gain));
    const auto step = static_cast<float> (static_cast<double> (raw (halvora::ParamID::vibRate)) * 6.283185307179586 / tc.sampleRate);
    const auto f = raw (halvora::ParamID::formant);
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
            testutil::setPlain (processor, halvora::ParamID::vibDepth, tc.depthPercent == 0.0f ? 40.0f : 0.0f);

        const auto length = lengths[blockIndex];
        const auto depth = juce::jmin (1.0f, raw (halvora::ParamID::vibDepth) / 100.0f) * 0.5f;
        auto input = testutil::makeTestSignal (tc.channels, length, tc.sampleRate, static_cast<juce::uint32> (length));
        input.applyGain (2.5f); // well into the saturation's curve
        auto output = input;
        juce::MidiBuffer midi;
        processor.processBlock (output, midi);

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

INSTANTIATE_TEST_SUITE_P (Settings, ToneThroughChainReference, testing::ValuesIn (toneCases));
