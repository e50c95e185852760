#include "ChainFixture.h"

#include <cmath>

class ToneStage : public ChainTest
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

class SettledLevels : public ToneStage, public testing::WithParamInterface<SettledCase> {};

TEST_P (SettledLevels, ConstantInputComesOutAtTheLowWeight)
{
    set ("range", static_cast<float> (GetParam().range));
    EXPECT_EQ (settled (1.0f), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P (Ranges, SettledLevels, testing::Values (
    SettledCase { 0, 0.6f }, SettledCase { 1, 0.8f }, SettledCase { 2, 1.0f }, SettledCase { 3, 1.3f }, SettledCase { 4, 1.6f }));

TEST_F (ToneStage, GainScalesTheWholeOutput)
{
    set ("range", 2.0f);
    set ("gain", -24.0f);
    EXPECT_NEAR (settled (1.0f), 0.0630957f, 1.0e-6f);
    set ("gain", 6.0f);
    EXPECT_NEAR (settled (0.5f), 0.5f * 1.9952623f, 1.0e-6f);
}

TEST_F (ToneStage, NegativeFormantSaturates)
{
    set ("range", 2.0f);
    set ("formant", -1.0f);
    EXPECT_NEAR (settled (1.0f), 1.0f, 1.0e-6f);
    EXPECT_NEAR (settled (0.1f), std::tanh (0.5f) / std::tanh (5.0f), 1.0e-6f);   // about 0.462
    set ("formant", -0.5f);
    // drive 3, saturation mix 0.65: 0.2 * 0.35 + tanh(0.6) / tanh(3) * 0.65
    EXPECT_NEAR (settled (0.2f), 0.2f * 0.35f + std::tanh (0.6f) / std::tanh (3.0f) * 0.65f, 1.0e-6f);
}

TEST_F (ToneStage, PositiveFormantLeansOnTheLowBand)
{
    set ("formant", 1.0f);   // Soprano: y = 0.6 * lp
    juce::AudioBuffer<float> block (1, 3);
    block.clear();
    block.setSample (0, 0, 1.0f);
    process (block);
    EXPECT_FLOAT_EQ (block.getSample (0, 0), 0.3f);
    EXPECT_FLOAT_EQ (block.getSample (0, 1), 0.15f);
    EXPECT_FLOAT_EQ (block.getSample (0, 2), 0.075f);
}

TEST_F (ToneStage, HighBandFollowsTheRangeWeight)
{
    // An impulse from a zero state: lp = 0.5, high band 0.5.
    const float highWeights[] { 1.6f, 1.3f, 1.0f, 0.9f, 0.7f };
    const float lowWeights[] { 0.6f, 0.8f, 1.0f, 1.3f, 1.6f };
    for (int range = 0; range < 5; ++range)
    {
        prepare (1);
        set ("range", static_cast<float> (range));
        juce::AudioBuffer<float> block (1, 2);
        block.clear();
        block.setSample (0, 0, 1.0f);
        process (block);
        EXPECT_FLOAT_EQ (block.getSample (0, 0), 0.5f * lowWeights[range] + 0.5f * highWeights[range]) << range;
        EXPECT_FLOAT_EQ (block.getSample (0, 1), 0.25f * lowWeights[range] - 0.25f * highWeights[range]) << range;
    }
}

TEST_F (ToneStage, VibratoSwingsTheAmplitudeAndCarriesItsPhase)
{
    prepare (2);
    set ("range", 2.0f);
    set ("vibDepth", 100.0f);
    set ("vibRate", 10.0f);

    auto block = constant (2, 4410, 1.0f);
    process (block);

    EXPECT_FLOAT_EQ (block.getSample (0, 0), 1.0f);                      // phase 0
    EXPECT_NEAR (block.getSample (0, 1102), 1.5f, 1.0e-4f);              // a quarter period: depth 100 % swings to 1.5
    EXPECT_NEAR (block.getSample (0, 3307), 0.5f, 1.0e-4f);              // three quarters: 0.5
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

TEST (ToneStageReference, MatchesThePlainArithmeticBitForBit)
{
    // The stage written out plainly, sine always computed, against the processor, with
    // and without vibrato (without it the processor skips the sine).
    for (const auto depthPercent : { 0.0f, 37.5f })
    {
        HalvoraAudioProcessor processor;
        processor.prepareToPlay (48000.0, 256);
        testutil::setPlain (processor, "vibDepth", depthPercent);
        testutil::setPlain (processor, "vibRate", 7.25f);
        testutil::setPlain (processor, "formant", -0.4f);
        testutil::setPlain (processor, "gain", 3.5f);
        testutil::setPlain (processor, "range", 3.0f);

        const auto input = testutil::makeTestSignal (2, 256, 48000.0, 21);
        auto output = input;
        juce::MidiBuffer midi;
        processor.processBlock (output, midi);

        // The values as the parameters hold them, snapped to their steps.
        const auto raw = [&processor] (const char* id) { return processor.apvts.getRawParameterValue (id)->load(); };
        const auto gain = std::pow (10.0f, 0.05f * raw ("gain"));
        const auto step = static_cast<float> (static_cast<double> (raw ("vibRate")) * 6.283185307179586 / 48000.0);
        const auto saturation = -raw ("formant"), drive = 4.0f * saturation + 1.0f, mix = 0.7f * saturation + 0.3f;
        const auto norm = 1.0f / std::tanh (drive);
        const auto depth = juce::jmin (1.0f, raw ("vibDepth") / 100.0f) * 0.5f;

        for (int c = 0; c < 2; ++c)
        {
            float lp = 0.0f, phase = 0.0f;
            for (int i = 0; i < 256; ++i)
            {
                const auto x = input.getSample (c, i);
                lp = (lp + x) * 0.5f;
                const auto v = x * (1.0f - mix) + std::tanh (drive * x) * norm * mix;
                const auto y = lp * 1.3f + (v - lp) * 0.9f;
                const auto expected = ((std::sin (phase) * depth + 1.0f) * y) * gain;
                ASSERT_EQ (output.getSample (c, i), expected) << depthPercent << " " << c << " " << i;
                phase = phase + step;
                if (phase > 6.2831855f)
                    phase -= 6.2831855f;
            }
        }
    }
}
