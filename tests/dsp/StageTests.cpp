// Each stage of the voice chain driven on its own, on small buffers, against values worked
// out by hand from what the stage is meant to do.

#include "HalvoraVocabulary.h"
#include "dsp/stages/EchoStage.h"
#include "dsp/stages/PitchCorrection.h"
#include "dsp/stages/PitchTracking.h"
#include "dsp/stages/ReverbBlend.h"
#include "dsp/stages/ToneStage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
juce::AudioBuffer<float> fromSamples (std::initializer_list<float> samples)
{
    juce::AudioBuffer<float> b (1, static_cast<int> (samples.size()));
    int i = 0;
    for (auto s : samples)
        b.setSample (0, i++, s);
    return b;
}

juce::AudioBuffer<float> impulse (int numChannels, int numSamples)
{
    juce::AudioBuffer<float> b (numChannels, numSamples);
    b.clear();
    for (int c = 0; c < numChannels; ++c)
        b.setSample (c, 0, 1.0f);
    return b;
}
}

//==============================================================================
TEST (PitchTrackingStage, FirstDetectionIsTakenWholeThenSmoothedByTheStrength)
{
    halvora::PitchTracking tracking;
    tracking.prepare (512);

    tracking.follow (200.0f, 0.0f); // nothing followed yet: starts at the detection
    EXPECT_FLOAT_EQ (tracking.smoothedHz, 200.0f);
    EXPECT_EQ (tracking.lastDetectedHz, 200.0f);

    tracking.follow (300.0f, 1.0f); // alpha 0.4: 0.4 * 300 + 0.6 * 200
    EXPECT_FLOAT_EQ (tracking.smoothedHz, 240.0f);

    tracking.follow (340.0f, 0.0f); // alpha 0.05: 0.05 * 340 + 0.95 * 240
    EXPECT_FLOAT_EQ (tracking.smoothedHz, 245.0f);
    EXPECT_EQ (tracking.lastDetectedHz, 340.0f);

    tracking.follow (0.0f, 1.0f); // nothing found: the followed pitch holds
    EXPECT_FLOAT_EQ (tracking.smoothedHz, 245.0f);
    EXPECT_EQ (tracking.lastDetectedHz, 340.0f);
}

TEST (PitchTrackingStage, WithoutADetectionAnUnfollowedVoiceStartsFromTheLastOne)
{
    halvora::PitchTracking tracking;
    tracking.prepare (512);
    tracking.lastDetectedHz = 441.0f;

    tracking.follow (0.0f, 0.5f);
    EXPECT_EQ (tracking.smoothedHz, 441.0f);

    tracking.reset();
    EXPECT_EQ (tracking.smoothedHz, 0.0f);
    EXPECT_EQ (tracking.lastDetectedHz, 0.0f);
}

TEST (PitchTrackingStage, DetectsAPeriodOfAHundredSamplesAs441HzAndSkipsShortBlocks)
{
    halvora::PitchTracking tracking;
    tracking.prepare (1024);

    std::vector<float> sine (1024);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = 0.5f * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * static_cast<double> (i) / 100.0));

    EXPECT_EQ (tracking.process (sine.data(), 63, 44100.0, 2, 1.0f), 0.0f);
    EXPECT_EQ (tracking.smoothedHz, 0.0f);

    EXPECT_EQ (tracking.process (sine.data(), 1024, 44100.0, 2, 1.0f), 441.0f);
    EXPECT_FLOAT_EQ (tracking.smoothedHz, 441.0f);
    EXPECT_EQ (tracking.lastDetectedHz, 441.0f);
}

//==============================================================================
struct SnapCase
{
    float midi;
    int key, scale;
    float expected;
};

class PitchCorrectionSnap : public testing::TestWithParam<SnapCase>
{
};

TEST_P (PitchCorrectionSnap, MovesToTheNearestNoteOfTheScaleWithTiesGoingDown)
{
    const auto c = GetParam();
    EXPECT_FLOAT_EQ (halvora::PitchCorrection::snapMidiToScale (c.midi, c.key, c.scale), c.expected)
        << c.midi << " in key " << c.key << ", scale " << c.scale;
}

INSTANTIATE_TEST_SUITE_P (Notes, PitchCorrectionSnap, testing::Values (SnapCase { 60.0f, 0, 0, 60.0f },   // C in C major stays
                                                                       SnapCase { 61.2f, 0, 0, 60.2f },   // C# rounds out of C major: C below wins the tie with D
                                                                       SnapCase { 66.0f, 0, 0, 65.0f },   // F# in C major: F and G tie, F wins
                                                                       SnapCase { 66.0f, 7, 0, 66.0f },   // F# is in G major
                                                                       SnapCase { 63.0f, 2, 1, 62.0f },   // D# in D minor: D and E tie, D wins
                                                                       SnapCase { 70.0f, 0, 3, 69.0f },   // the mixolydian mask holds neither B flat nor B: A is nearest
                                                                       SnapCase { 71.0f, 0, 3, 72.0f },   // from B the nearest is C, above
                                                                       SnapCase { 69.4f, 5, 4, 69.4f })); // every note is in the chromatic scale

TEST (PitchCorrectionStage, ANoteAlreadyInTheScaleLeavesTheBlockAlone)
{
    halvora::PitchCorrection correction;
    correction.prepare (8);

    auto block = fromSamples ({ 0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f });
    const auto before = block;
    const auto result = correction.process (block, 440.0f, 0, 0, 1.0f); // A in C major

    EXPECT_EQ (result.targetHz, 440.0f);
    EXPECT_EQ (result.ratio, 1.0f);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (block.getSample (0, i), before.getSample (0, i));
}

TEST (PitchCorrectionStage, ReplaysARampAtTheRatioTowardsTheSnappedNote)
{
    // 460 Hz is note 69.77, which rounds to B flat, out of C major: A and B lie a semitone
    // either side and the lower wins, so the target is 460 Hz a semitone down. At strength
    // 0.5 the ratio goes halfway: 0.5 * (2^(-1/12) - 1) + 1.
    halvora::PitchCorrection correction;
    correction.prepare (16);

    juce::AudioBuffer<float> ramp (2, 16);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 16; ++i)
            ramp.setSample (c, i, static_cast<float> (i));

    const auto result = correction.process (ramp, 460.0f, 0, 0, 0.5f);
    const auto semitoneDown = std::pow (2.0, -1.0 / 12.0);

    EXPECT_NEAR (result.targetHz, 460.0 * semitoneDown, 1.0e-2);
    EXPECT_NEAR (result.ratio, 0.5 * (semitoneDown - 1.0) + 1.0, 1.0e-5);

    // A ramp read at position m * ratio is m * ratio itself.
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR (ramp.getSample (c, i), static_cast<float> (i) * result.ratio, 1.0e-4f) << c << ", " << i;
}

TEST (PitchCorrectionStage, TheRatioIsHeldBetweenHalfAndDoubleSpeed)
{
    // Strengths beyond what the chain ever asks: from 460 Hz a semitone down, strength 60
    // would ask 60 * (2^(-1/12) - 1) + 1 (about -2.4) and strength -30 about 2.7.
    halvora::PitchCorrection correction;
    correction.prepare (4);

    auto block = fromSamples ({ 1.0f, 2.0f, 3.0f, 4.0f });
    EXPECT_EQ (correction.process (block, 460.0f, 0, 0, 60.0f).ratio, 0.5f);
    EXPECT_EQ (correction.process (block, 460.0f, 0, 0, -30.0f).ratio, 2.0f);
}

//==============================================================================
TEST (ToneStageUnit, AnImpulseAtSopranoWeighsTheLowPassAndTheRestByTheRange)
{
    // Soprano: highs 1.6, lows 0.6. The low-pass is lp = (lp + x) / 2, and the output
    // lp * 0.6 + (x - lp) * 1.6: for 1, 0, 0, 0 the low-pass runs 0.5, 0.25, 0.125, 0.0625.
    halvora::ToneStage tone;
    tone.prepare (1);

    auto block = fromSamples ({ 1.0f, 0.0f, 0.0f, 0.0f });
    halvora::ToneStage::Settings settings;
    settings.rangeIndex = 0;
    settings.gainFactor = 2.0f;
    tone.process (block, settings);

    const float expected[] { 1.1f, -0.25f, -0.125f, -0.0625f };
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ (block.getSample (0, i), 2.0f * expected[i]) << i;

    EXPECT_EQ (tone.toneState, std::vector<float> { 0.0625f });

    tone.reset();
    EXPECT_EQ (tone.toneState, std::vector<float> { 0.0f });
}

TEST (ToneStageUnit, FullVibratoDepthSwingsByHalfTheLevel)
{
    // At a quarter turn per sample the sine runs 0, 1, 0, -1; full depth is a factor of
    // 1 + 0.5 * sine. A constant 1 at Tenor (both weights 1) passes the tone unchanged.
    halvora::ToneStage tone;
    tone.prepare (2);

    juce::AudioBuffer<float> block (2, 4);
    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::fill (block.getWritePointer (c), 1.0f, 4);

    halvora::ToneStage::Settings settings;
    settings.rangeIndex = 2;
    settings.vibratoDepthPercent = 100.0f;
    settings.phaseIncrement = juce::MathConstants<float>::halfPi;
    tone.process (block, settings);

    const float expected[] { 1.0f, 1.5f, 1.0f, 0.5f };
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR (block.getSample (c, i), expected[i], 1.0e-6f) << c << ", " << i;

    EXPECT_NEAR (std::cos (tone.vibratoPhase), 1.0f, 1.0e-5f); // a whole turn on
}

TEST (ToneStageUnit, AChannelBeyondThePreparedOnesGetsItsOwnFilter)
{
    halvora::ToneStage tone;
    tone.prepare (1);

    juce::AudioBuffer<float> block (2, 1);
    block.setSample (0, 0, 1.0f);
    block.setSample (1, 0, -1.0f);
    tone.process (block, {});

    EXPECT_EQ (tone.toneState, (std::vector<float> { 0.5f, -0.5f }));
}

//==============================================================================
TEST (EchoStageUnit, AnImpulseComesBackAfterTheDelayAtThirtyPercentPerRepeat)
{
    // At 20 Hz the line holds 1 s (20 samples) and the echo is round (20 * 0.35) = 7 behind.
    halvora::EchoStage echo;
    echo.prepare (20.0, 1);
    ASSERT_EQ (echo.echoBuffer.getNumSamples(), 20);

    auto block = impulse (1, 20);
    echo.process (block, 0.5f);

    for (int i = 0; i < 20; ++i)
    {
        const auto expected = i == 0 ? 0.5f : i == 7 ? 0.5f
                                        : i == 14    ? 0.15f
                                                     : 0.0f;
        EXPECT_FLOAT_EQ (block.getSample (0, i), expected) << i;
    }

    EXPECT_EQ (echo.echoWritePos, 0);

    // The third repeat (0.09) lands on sample 21, the second of the next block.
    juce::AudioBuffer<float> next (1, 2);
    next.clear();
    echo.process (next, 0.5f);
    EXPECT_FLOAT_EQ (next.getSample (0, 1), 0.045f);
    EXPECT_EQ (echo.echoWritePos, 2);

    echo.reset();
    EXPECT_EQ (echo.echoWritePos, 0);
    EXPECT_EQ (echo.echoBuffer.getMagnitude (0, 20), 0.0f);
}

TEST (EchoStageUnit, TheFirstEchoAt44100HzIsSample15435)
{
    halvora::EchoStage echo;
    echo.prepare (44100.0, 2);

    auto block = impulse (2, 16000);
    echo.process (block, 1.0f); // all echo, no dry

    for (int c = 0; c < 2; ++c)
    {
        EXPECT_EQ (block.getSample (c, 0), 0.0f);
        EXPECT_EQ (block.getSample (c, 15434), 0.0f);
        EXPECT_EQ (block.getSample (c, 15435), 1.0f);
        EXPECT_EQ (block.getSample (c, 15436), 0.0f);
    }
}

TEST (EchoStageUnit, WithoutLinesTheBlockPassesUnchanged)
{
    halvora::EchoStage echo;
    auto block = fromSamples ({ 0.25f, -0.5f });
    echo.process (block, 1.0f);
    EXPECT_EQ (block.getSample (0, 0), 0.25f);
    EXPECT_EQ (block.getSample (0, 1), -0.5f);
}

//==============================================================================
TEST (ReverbBlendStage, BlendsTheFrameworkReverbsOwnOutputByTheMix)
{
    for (const auto channels : { 1, 2 })
    {
        halvora::ReverbBlend blend;
        blend.prepare (channels, 64);

        juce::Reverb reference;
        reference.setParameters (halvora::ReverbBlend::voiceRoom());
        reference.reset();

        juce::AudioBuffer<float> block (channels, 64);
        juce::Random random (3);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 64; ++i)
                block.setSample (c, i, random.nextFloat() - 0.5f);

        juce::AudioBuffer<float> wet (block);
        if (channels == 2)
            reference.processStereo (wet.getWritePointer (0), wet.getWritePointer (1), 64);
        else
            reference.processMono (wet.getWritePointer (0), 64);

        auto expected = block;
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 64; ++i)
                expected.setSample (c, i, block.getSample (c, i) * (1.0f - 0.25f) + wet.getSample (c, i) * 0.25f);

        blend.process (block, 0.25f);

        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ (block.getSample (c, i), expected.getSample (c, i)) << channels << " channels, " << c << ", " << i;
    }
}
