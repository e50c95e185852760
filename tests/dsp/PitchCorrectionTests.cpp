// The pitch correction on its own: the snap to the scale and the replay towards it,
// against values worked out by hand.

#include "dsp/stages/PitchCorrection.h"
#include "helpers/SmallBuffers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

using halvora::PitchCorrection;

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

// Sharpened notes do not move up: a sharp that rounds to a note off the scale lies a
// semitone from a member on either side, and the tie goes to the note below; one that
// rounds onto a member stays where it is, deviation and all.
const SnapCase sharpCases[] {
    { 66.1f, 0, 0, 65.1f }, // F# a little sharp, off C major: F (k = -1) and G (k = +1) tie, F wins
    { 66.1f, 7, 0, 66.1f }, // the same F# in G major is a member: it stays
    { 61.2f, 0, 1, 60.2f }, // C# off C minor: C and D tie, C wins
    { 71.0f, 0, 0, 71.0f }, // B is a member of C major: it stays
    { 70.6f, 0, 0, 70.6f }, // B flat 0.6 sharp rounds to B, a member: it stays
    { 70.4f, 0, 0, 69.4f }, // B flat 0.4 sharp still rounds to B flat: A and B tie, A wins
};

INSTANTIATE_TEST_SUITE_P (SharpsGoDownOnATieOrStayOnAMember, PitchCorrectionSnap, testing::ValuesIn (sharpCases));

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

//==============================================================================
namespace
{
/** The note number of a frequency, as hand-worked figures give it. */
float hzOfNote (double midi)
{
    return static_cast<float> (440.0 * std::pow (2.0, (midi - 69.0) / 12.0));
}

/** A mono ramp; a ramp read at position m * ratio is m * ratio itself. */
juce::AudioBuffer<float> ramp (int numSamples)
{
    juce::AudioBuffer<float> b (1, numSamples);
    for (int i = 0; i < numSamples; ++i)
        b.setSample (0, i, 0.01f * static_cast<float> (i));
    return b;
}

/** The replay speed a 40-sample block was resampled at, read back from a ramp: sample 20
    sits well inside the block.
*/
float measuredRatio (float smoothedHz, const PitchCorrection::Settings& settings)
{
    PitchCorrection correction;
    correction.prepare ({ 44100.0, 1024, 1 });
    auto block = ramp (40);
    correction.process (block, smoothedHz, settings);
    return block.getSample (0, 20) / (0.01f * 20.0f);
}

const auto semitoneDown = static_cast<float> (std::pow (2.0, -1.0 / 12.0));
} // namespace

/** Which note a pitch snaps to is the snapping table's business; these check the way
    from the followed pitch in Hz to the replay speed and back.
*/
struct ReplayCase
{
    float smoothedHz;
    int key, scale;
    float strength, expectedRatio, tolerance;
};

class PitchCorrectionReplaySpeed : public testing::TestWithParam<ReplayCase>
{
};

TEST_P (PitchCorrectionReplaySpeed, IsTheSnappedNoteOverThePitchByTheStrength)
{
    const auto& c = GetParam();
    EXPECT_NEAR (measuredRatio (c.smoothedHz, { c.key, c.scale, c.strength }), c.expectedRatio, c.tolerance)
        << c.smoothedHz << " Hz in key " << c.key << ", scale " << c.scale << ", strength " << c.strength;
}

// Notes that stay come out within a few ulps of 1 rather than exactly 1: the ratio goes
// through the note number and back in float.
const ReplayCase replayCases[] {
    { 466.16f, 0, 0, 1.0f, 0.943874f, 2.0e-5f },                        // A#4 off C major: A, a semitone down
    { 466.16f, 0, 0, 0.5f, 0.5f * (0.943874f - 1.0f) + 1.0f, 2.0e-5f }, // half strength goes half the way
    { hzOfNote (61.3), 2, 1, 1.0f, semitoneDown, 2.0e-5f },             // D minor: 61.3 to 60.3, off the grid
    { 440.0f, 0, 0, 1.0f, 1.0f, 1.0e-6f },                              // A is in C major
    { 441.0f, 0, 0, 1.0f, 1.0f, 1.0e-6f },                              // and so is A a little sharp
    { 466.16f, 0, 4, 1.0f, 1.0f, 1.0e-6f },                             // every note is chromatic
    { hzOfNote (61.45), 0, 4, 1.0f, 1.0f, 1.0e-6f },                    // deviation and all
};

INSTANTIATE_TEST_SUITE_P (Pitches, PitchCorrectionReplaySpeed, testing::ValuesIn (replayCases));

TEST (PitchCorrectionStage, SlowerReplayInterpolatesFromTheBlocksStart)
{
    PitchCorrection correction;
    correction.prepare ({ 44100.0, 1024, 1 });
    auto block = testutil::fromSamples ({ 0.1f, -0.3f, 0.5f, 0.2f, -0.4f, 0.0f, 0.3f, -0.1f });
    const auto x = block;
    const auto ratio = measuredRatio (466.16f, { 0, 0, 1.0f });
    correction.process (block, 466.16f, { 0, 0, 1.0f });

    // Linear interpolation at m * ratio.
    for (int m = 0; m < 8; ++m)
    {
        const auto pos = static_cast<float> (m) * ratio;
        const auto i0 = static_cast<int> (pos);
        const auto i1 = juce::jmin (i0 + 1, 7);
        const auto frac = pos - static_cast<float> (i0);
        EXPECT_NEAR (block.getSample (0, m), (x.getSample (0, i1) - x.getSample (0, i0)) * frac + x.getSample (0, i0), 1.0e-4f) << m;
    }
}

TEST (PitchCorrectionStage, SingleSampleBlocksAreNeverShifted)
{
    PitchCorrection correction;
    correction.prepare ({ 44100.0, 1024, 1 });
    auto one = testutil::fromSamples ({ 0.25f });
    correction.process (one, 466.16f, { 0, 0, 1.0f });
    EXPECT_FLOAT_EQ (one.getSample (0, 0), 0.25f);
}

TEST (PitchCorrectionStage, StereoChannelsShiftAlike)
{
    PitchCorrection correction;
    correction.prepare ({ 44100.0, 1024, 2 });
    juce::AudioBuffer<float> block (2, 40);
    for (int i = 0; i < 40; ++i)
    {
        block.setSample (0, i, 0.01f * static_cast<float> (i));
        block.setSample (1, i, -0.02f * static_cast<float> (i));
    }
    correction.process (block, 466.16f, { 0, 0, 1.0f });
    EXPECT_NEAR (block.getSample (0, 20) / 0.2f, 0.943874f, 2.0e-5f);
    EXPECT_NEAR (block.getSample (1, 20) / -0.4f, 0.943874f, 2.0e-5f);
}

TEST (PitchCorrectionStage, SubtractingTheReferenceNoteIsAddingItsNegation)
{
    // The target's note is taken back to Hz as (snapped - 69) / 12; it was once written
    // snapped + -69, and the two give the same bits for every note the stage can meet
    // (from 1 Hz, note -36.4, to far past the top of hearing), so every render stays as it
    // was. Every float of magnitude 2^-4 to 160 is checked, both signs down to -40, and 0.
    const auto sameBits = [] (float x) {
        const auto a = x - 69.0f, b = x + -69.0f;
        return std::memcmp (&a, &b, sizeof (float)) == 0;
    };

    ASSERT_TRUE (sameBits (0.0f));
    std::uint32_t first, last;
    const auto lowest = 0.0625f, highest = 160.0f;
    std::memcpy (&first, &lowest, sizeof (float));
    std::memcpy (&last, &highest, sizeof (float));

    for (auto bits = first; bits <= last; ++bits)
    {
        float x;
        std::memcpy (&x, &bits, sizeof (float));
        ASSERT_TRUE (sameBits (x)) << x;

        if (x <= 40.0f)
        {
            ASSERT_TRUE (sameBits (-x)) << -x;
        }
    }
}
