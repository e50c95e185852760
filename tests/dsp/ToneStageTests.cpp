// The tone stage on its own: the band weights, the vibrato and the gain against values
// worked out by hand, and the same bits on every vector path.

#include "dsp/stages/ToneStage.h"
#include "helpers/SmallBuffers.h"
#include "helpers/StageAccess.h"
#include "helpers/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

TEST (ToneStageUnit, AnImpulseAtSopranoWeighsTheLowPassAndTheRestByTheRange)
{
    // Soprano: highs 1.6, lows 0.6. The low-pass is lp = (lp + x) / 2, and the output
    // lp * 0.6 + (x - lp) * 1.6: for 1, 0, 0, 0 the low-pass runs 0.5, 0.25, 0.125, 0.0625.
    halvora::ToneStage tone;
    tone.prepare ({ 44100.0, 4, 1 });

    auto block = testutil::fromSamples ({ 1.0f, 0.0f, 0.0f, 0.0f });
    halvora::ToneStage::Settings settings;
    settings.rangeIndex = 0;
    settings.gainFactor = 2.0f;
    tone.process (block, settings);

    const float expected[] { 1.1f, -0.25f, -0.125f, -0.0625f };
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ (block.getSample (0, i), 2.0f * expected[i]) << i;

    EXPECT_EQ (halvora::StageAccess::toneState (tone), std::vector<float> { 0.0625f });

    tone.reset();
    EXPECT_EQ (halvora::StageAccess::toneState (tone), std::vector<float> { 0.0f });
}

TEST (ToneStageUnit, FullVibratoDepthSwingsByHalfTheLevel)
{
    // At a quarter turn per sample the sine runs 0, 1, 0, -1; full depth is a factor of
    // 1 + 0.5 * sine. A constant 1 at Tenor (both weights 1) passes the tone unchanged.
    halvora::ToneStage tone;
    tone.prepare ({ 4.0, 4, 2 }); // at 4 Hz, a 1 Hz vibrato steps a quarter turn per sample

    juce::AudioBuffer<float> block (2, 4);
    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::fill (block.getWritePointer (c), 1.0f, 4);

    halvora::ToneStage::Settings settings;
    settings.rangeIndex = 2;
    settings.vibratoDepthPercent = 100.0f;
    settings.vibratoRateHz = 1.0f;
    tone.process (block, settings);

    const float expected[] { 1.0f, 1.5f, 1.0f, 0.5f };
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR (block.getSample (c, i), expected[i], 1.0e-6f) << c << ", " << i;

    EXPECT_NEAR (std::cos (halvora::StageAccess::vibratoPhase (tone)), 1.0f, 1.0e-5f); // a whole turn on
}

TEST (ToneStageUnit, AChannelBeyondThePreparedOnesGetsItsOwnFilter)
{
    halvora::ToneStage tone;
    tone.prepare ({ 44100.0, 4, 1 });

    juce::AudioBuffer<float> block (2, 1);
    block.setSample (0, 0, 1.0f);
    block.setSample (1, 0, -1.0f);
    tone.process (block, {});

    EXPECT_EQ (halvora::StageAccess::toneState (tone), (std::vector<float> { 0.5f, -0.5f }));
}

TEST (ToneStageUnit, MoreChannelsThanPreparedRestartTheToneStates)
{
    halvora::ToneStage tone;
    tone.prepare ({ 44100.0, 1024, 1 });

    juce::AudioBuffer<float> mono (1, 100);
    juce::FloatVectorOperations::fill (mono.getWritePointer (0), 0.8f, 100);
    tone.process (mono, {});
    ASSERT_EQ (halvora::StageAccess::toneState (tone).size(), 1u);
    EXPECT_NE (halvora::StageAccess::toneState (tone)[0], 0.0f);

    juce::AudioBuffer<float> stereo (2, 1);
    stereo.setSample (0, 0, 1.0f);
    stereo.setSample (1, 0, 1.0f);
    tone.process (stereo, {});

    // From a zero state: lp = 0.5, y = 0.5 * 0.6 + (1 - 0.5) * 1.6 at Soprano.
    ASSERT_EQ (halvora::StageAccess::toneState (tone).size(), 2u);
    EXPECT_EQ (stereo.getSample (0, 0), 0.5f * 0.6f + 0.5f * 1.6f);
    EXPECT_EQ (stereo.getSample (1, 0), 0.5f * 0.6f + 0.5f * 1.6f);
}

TEST (ToneStageUnit, VibratoSwingsTheAmplitudeAndCarriesItsPhase)
{
    // Tenor (both weights 1) passes a constant 1 unchanged; a 10 Hz vibrato at full depth.
    halvora::ToneStage tone;
    tone.prepare ({ 44100.0, 1024, 2 });
    halvora::ToneStage::Settings settings;
    settings.rangeIndex = 2;
    settings.vibratoDepthPercent = 100.0f;
    settings.vibratoRateHz = 10.0f;

    juce::AudioBuffer<float> block (2, 4410);
    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::fill (block.getWritePointer (c), 1.0f, 4410);
    tone.process (block, settings);

    EXPECT_FLOAT_EQ (block.getSample (0, 0), 1.0f);         // phase 0
    EXPECT_NEAR (block.getSample (0, 1102), 1.5f, 1.0e-4f); // a quarter period: depth 100 % swings to 1.5
    EXPECT_NEAR (block.getSample (0, 3307), 0.5f, 1.0e-4f); // three quarters: 0.5
    for (int i = 0; i < 4410; ++i)
        ASSERT_EQ (block.getSample (0, i), block.getSample (1, i)) << i; // both channels swing together

    // One whole period: the phase has wrapped back near 0.
    const auto step = static_cast<float> (10.0 * 6.283185307179586 / 44100.0);
    auto& phase = halvora::StageAccess::vibratoPhase (tone);
    EXPECT_NEAR (phase, 0.0f, 10.0f * step);

    juce::AudioBuffer<float> next (2, 512);
    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::fill (next.getWritePointer (c), 1.0f, 512);
    const auto phaseBefore = phase;
    tone.process (next, settings);
    EXPECT_NEAR (next.getSample (0, 0), 1.0f + 0.5f * std::sin (phaseBefore), 1.0e-6f);
    EXPECT_NEAR (phase, phaseBefore + 512 * step, 1.0e-3f);
}

TEST (ToneStagePaths, EveryVectorPathGivesTheSameBits)
{
    // Saturation and vibrato together, stereo, over blocks that are not multiples of any
    // vector width: the stage's output must not depend on the processor it runs on. The
    // voice stops after a while and its filter decays through the subnormal range, then
    // a whisper of subnormal samples follows: the fused filter chain must give way there.
    auto input = testutil::makeTestSignal (2, 3001, 44100.0, 11);

    for (int c = 0; c < 2; ++c)
        for (int i = 1200; i < input.getNumSamples(); ++i)
            input.setSample (c, i, i < 2400 ? 0.0f : static_cast<float> (i % 7 - 3) * std::numeric_limits<float>::denorm_min());

    // A fast vibrato (about 0.0031 rad per sample at 44.1 kHz), so the phase wraps in the test.
    const halvora::ToneStage::Settings settings { -0.8f, 70.0f, 1.4f, 21.76f, 1 };

    const auto run = [&] (halvora::VectorPath path) {
        halvora::ToneStage stage;
        stage.prepare ({ 44100.0, 700, 2 });
        EXPECT_TRUE (stage.useVectorPath (path));
        auto output = input;

        for (int start = 0; start < output.getNumSamples(); start += 700)
        {
            const auto length = juce::jmin (700, output.getNumSamples() - start);
            juce::AudioBuffer<float> block (output.getArrayOfWritePointers(), 2, start, length);
            stage.process (block, settings);
        }

        return output;
    };

    // The scalar path runs the plain filter chain; avx2 and avx512 the fused one, where the
    // processor has fused multiply-adds.
    const auto expected = run (halvora::VectorPath::scalar);

    for (auto path : halvora::VectorPaths::all)
    {
        if (! halvora::VectorPaths::isAvailable (path))
            continue;

        const auto output = run (path);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < output.getNumSamples(); ++i)
                ASSERT_EQ (std::memcmp (output.getReadPointer (c) + i, expected.getReadPointer (c) + i, sizeof (float)), 0)
                    << halvora::VectorPaths::name (path) << " channel " << c << " sample " << i;
    }
}
