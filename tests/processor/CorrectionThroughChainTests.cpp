#include "ChainFixture.h"
#include "HalvoraVocabulary.h"

#include <cmath>

/** Blocks shorter than 64 samples are not analysed, so the smoothed estimate set here is
    exactly the one the correction works from. Range Tenor keeps the tone stage neutral.
*/
class CorrectionThroughChain : public ChainTest
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

    static float hzOfNote (double midi) { return static_cast<float> (440.0 * std::pow (2.0, (midi - 69.0) / 12.0)); }
};

TEST_F (CorrectionThroughChain, NoteOutsideTheScaleMovesToTheNearestMember)
{
    // A#4 in C major: A below and B above are both a semitone away; the one below wins.
    EXPECT_NEAR (measuredRatio (466.16f), 0.943874f, 2.0e-5f);
}

TEST_F (CorrectionThroughChain, MixolydianSkipsItsMissingSeventh)
{
    set (halvora::ParamID::scale, 3.0f);
    EXPECT_NEAR (measuredRatio (466.16f), 0.943874f, 2.0e-5f);
}

TEST_F (CorrectionThroughChain, OffGridNotesKeepTheirDeviation)
{
    // D minor, note 61.3 (C# a little sharp): moves to 60.3, not to a whole note number.
    set (halvora::ParamID::key, 2.0f);
    set (halvora::ParamID::scale, 1.0f);
    EXPECT_NEAR (measuredRatio (hzOfNote (61.3)), static_cast<float> (std::pow (2.0, -1.0 / 12.0)), 2.0e-5f);
}

TEST_F (CorrectionThroughChain, SharpNotesMoveUp)
{
    // B (note 71) in C major is a member; Bb +0.4 semitones rounds to B: unchanged.
    // F# (66.1) in C major: F below (k = -1) and G above (k = +1) tie; the one below wins.
    EXPECT_NEAR (measuredRatio (hzOfNote (66.1)), static_cast<float> (std::pow (2.0, -1.0 / 12.0)), 2.0e-5f);
    set (halvora::ParamID::key, 7.0f); // G major has F#: unchanged
    EXPECT_NEAR (measuredRatio (hzOfNote (66.1)), 1.0f, 1.0e-5f);
    set (halvora::ParamID::key, 0.0f);
    set (halvora::ParamID::scale, 1.0f); // C minor: C# (61.2) has C below and D above; C wins
    EXPECT_NEAR (measuredRatio (hzOfNote (61.2)), static_cast<float> (std::pow (2.0, -1.0 / 12.0)), 2.0e-5f);
}

TEST_F (CorrectionThroughChain, StrengthScalesTheMove)
{
    set (halvora::ParamID::morvel, 0.25f); // strength 0.5
    EXPECT_NEAR (measuredRatio (466.16f), 0.5f * (0.943874f - 1.0f) + 1.0f, 2.0e-5f);
}

TEST_F (CorrectionThroughChain, NotesInTheScaleAndChromaticStayPut)
{
    // The offset is 0; the ratio goes through the note number and back in float, so it is
    // within a few ulps of 1 rather than exactly 1.
    EXPECT_NEAR (measuredRatio (440.0f), 1.0f, 1.0e-6f);
    EXPECT_NEAR (measuredRatio (441.0f), 1.0f, 1.0e-6f);
    set (halvora::ParamID::scale, 4.0f);
    EXPECT_NEAR (measuredRatio (466.16f), 1.0f, 1.0e-6f);
    EXPECT_NEAR (measuredRatio (hzOfNote (61.45)), 1.0f, 1.0e-6f);
}

TEST_F (CorrectionThroughChain, SlowerReplayInterpolatesFromTheBlocksStart)
{
    state.smoothedHz() = 466.16f;
    juce::AudioBuffer<float> block (1, 8);
    const float x[] { 0.1f, -0.3f, 0.5f, 0.2f, -0.4f, 0.0f, 0.3f, -0.1f };
    for (int i = 0; i < 8; ++i)
        block.setSample (0, i, x[i]);

    auto expected = block;
    const auto ratio = measuredRatio (466.16f);
    state.smoothedHz() = 466.16f;
    process (block);

    // Linear interpolation at m * ratio, then the neutral tone stage.
    for (int m = 0; m < 8; ++m)
    {
        const auto pos = static_cast<float> (m) * ratio;
        const auto i0 = static_cast<int> (pos);
        const auto i1 = juce::jmin (i0 + 1, 7);
        const auto frac = pos - static_cast<float> (i0);
        EXPECT_NEAR (block.getSample (0, m), (x[i1] - x[i0]) * frac + x[i0], 1.0e-4f) << m;
    }
}

TEST_F (CorrectionThroughChain, CorrectionOffLeavesTheBlock)
{
    target (0);
    EXPECT_NEAR (measuredRatio (466.16f), 1.0f, 1.0e-6f);
    target (2);
    EXPECT_NEAR (measuredRatio (466.16f), 1.0f, 1.0e-6f);
    target (4);
    EXPECT_NEAR (measuredRatio (466.16f), 0.943874f, 2.0e-5f);
}

TEST_F (CorrectionThroughChain, SingleSampleBlocksAreNeverShifted)
{
    state.smoothedHz() = 466.16f;
    juce::AudioBuffer<float> one (1, 1);
    one.setSample (0, 0, 0.25f);
    process (one);
    EXPECT_FLOAT_EQ (one.getSample (0, 0), 0.25f);
}

TEST_F (CorrectionThroughChain, StereoChannelsShiftAlike)
{
    prepare (2);
    set (halvora::ParamID::range, 2.0f);
    state.smoothedHz() = 466.16f;
    juce::AudioBuffer<float> block (2, 40);
    for (int i = 0; i < 40; ++i)
    {
        block.setSample (0, i, 0.01f * static_cast<float> (i));
        block.setSample (1, i, -0.02f * static_cast<float> (i));
    }
    process (block);
    EXPECT_NEAR (block.getSample (0, 20) / 0.2f, 0.943874f, 2.0e-5f);
    EXPECT_NEAR (block.getSample (1, 20) / -0.4f, 0.943874f, 2.0e-5f);
}

TEST_F (CorrectionThroughChain, ReportsWhatItDid)
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
