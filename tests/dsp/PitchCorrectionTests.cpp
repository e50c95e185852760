// The pitch correction on its own: the snap to the scale and the replay towards it,
// against values worked out by hand.

#include "dsp/stages/PitchCorrection.h"
#include "helpers/SmallBuffers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

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

const SnapCase snapCases[] {
    { 60.0f, 0, 0, 60.0f }, // C in C major stays
    { 61.2f, 0, 0, 60.2f }, // C# rounds out of C major: C below wins the tie with D
    { 66.0f, 0, 0, 65.0f }, // F# in C major: F and G tie, F wins
    { 66.0f, 7, 0, 66.0f }, // F# is in G major
    { 63.0f, 2, 1, 62.0f }, // D# in D minor: D and E tie, D wins
    { 70.0f, 0, 3, 69.0f }, // the mixolydian mask holds neither B flat nor B: A is nearest
    { 71.0f, 0, 3, 72.0f }, // from B the nearest is C, above
    { 69.4f, 5, 4, 69.4f }, // every note is in the chromatic scale
};

INSTANTIATE_TEST_SUITE_P (Notes, PitchCorrectionSnap, testing::ValuesIn (snapCases));

TEST (PitchCorrectionStage, ANoteAlreadyInTheScaleLeavesTheBlockAlone)
{
    halvora::PitchCorrection correction;
    correction.prepare ({ 44100.0, 8, 1 });

    auto block = testutil::fromSamples ({ 0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f });
    const auto before = block;
    const auto result = correction.process (block, 440.0f, { 0, 0, 1.0f }); // A in C major

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
    correction.prepare ({ 44100.0, 16, 2 });

    juce::AudioBuffer<float> ramp (2, 16);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 16; ++i)
            ramp.setSample (c, i, static_cast<float> (i));

    const auto result = correction.process (ramp, 460.0f, { 0, 0, 0.5f });
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
    correction.prepare ({ 44100.0, 4, 1 });

    auto block = testutil::fromSamples ({ 1.0f, 2.0f, 3.0f, 4.0f });
    EXPECT_EQ (correction.process (block, 460.0f, { 0, 0, 60.0f }).ratio, 0.5f);
    EXPECT_EQ (correction.process (block, 460.0f, { 0, 0, -30.0f }).ratio, 2.0f);
}

TEST (PitchCorrectionStage, WithoutAFollowedPitchOrStrengthTheBlockPassesUnchanged)
{
    // 460 Hz would move (see above), but not without strength, nor without a pitch.
    halvora::PitchCorrection correction;
    correction.prepare ({ 44100.0, 4, 1 });

    for (const auto& [smoothedHz, strength] : { std::pair { 460.0f, 0.0f }, std::pair { 0.0f, 1.0f }, std::pair { -5.0f, 1.0f } })
    {
        auto block = testutil::fromSamples ({ 1.0f, 2.0f, 3.0f, 4.0f });
        const auto result = correction.process (block, smoothedHz, { 0, 0, strength });
        EXPECT_EQ (result.targetHz, 0.0f) << smoothedHz << " Hz, strength " << strength;
        EXPECT_EQ (result.ratio, 1.0f);
        EXPECT_EQ (block.getSample (0, 3), 4.0f);
    }
}
