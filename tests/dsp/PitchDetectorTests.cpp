#include "dsp/PitchDetector.h"
#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <cmath>
#include <vector>

namespace
{
std::vector<float> sine (double hz, int numSamples, double sampleRate = 44100.0, float amplitude = 0.5f)
{
    std::vector<float> x ((size_t) numSamples);
    for (int i = 0; i < numSamples; ++i)
        x[(size_t) i] = amplitude * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * hz * i / sampleRate));
    return x;
}

float detect (const std::vector<float>& x, int range, double sampleRate = 44100.0)
{
    PitchDetector detector;
    detector.prepare (static_cast<int> (x.size()));
    return detector.detect (x.data(), static_cast<int> (x.size()), sampleRate, range);
}
}

struct WindowCase
{
    int numSamples;
    double sampleRate;
    int minLags[5], maxLags[5];
};

class LagWindows : public testing::TestWithParam<WindowCase>
{
};

TEST_P (LagWindows, FollowTheRangeAndTheBlock)
{
    const auto& c = GetParam();
    for (int range = 0; range < 5; ++range)
    {
        const auto w = PitchDetector::lagWindow (c.numSamples, c.sampleRate, range);
        EXPECT_TRUE (w.searchable) << range;
        EXPECT_EQ (w.minLag, c.minLags[range]) << range;
        EXPECT_EQ (w.maxLag, c.maxLags[range]) << range;
    }
}

INSTANTIATE_TEST_SUITE_P (Worked, LagWindows, testing::Values (WindowCase { 512, 44100.0, { 42, 56, 84, 113, 134 }, { 169, 225, 256, 256, 256 } }, WindowCase { 2048, 44100.0, { 42, 56, 84, 113, 134 }, { 169, 225, 337, 450, 535 } }, WindowCase { 2048, 48000.0, { 46, 61, 92, 122, 145 }, { 183, 245, 367, 490, 583 } }));

TEST (PitchDetector, ShortestBlocksThatDetect)
{
    const int shortest[] { 90, 118, 174, 232, 274 };
    for (int range = 0; range < 5; ++range)
    {
        EXPECT_FALSE (PitchDetector::lagWindow (64, 44100.0, range).searchable) << range;
        EXPECT_TRUE (PitchDetector::lagWindow (shortest[range], 44100.0, range).searchable) << range;
        EXPECT_FALSE (PitchDetector::lagWindow (shortest[range] - 1, 44100.0, range).searchable) << range;
    }

    const auto w = PitchDetector::lagWindow (64, 44100.0, 0);
    EXPECT_EQ (w.minLag, 32);
    EXPECT_EQ (w.maxLag, 32);
    EXPECT_EQ (detect (sine (440.0, 89), 0), 0.0f);
}

struct SineCase
{
    double hz;
    int numSamples;
    int range;
    float expected;
};

class SineDetection : public testing::TestWithParam<SineCase>
{
};

TEST_P (SineDetection, FindsTheWorkedLag)
{
    const auto& c = GetParam();
    EXPECT_EQ (detect (sine (c.hz, c.numSamples), c.range), c.expected);
}

INSTANTIATE_TEST_SUITE_P (Worked, SineDetection, testing::Values (SineCase { 220.0, 1024, 2, static_cast<float> (44100.0 / 200) },   // 220.5, threshold test
                                                                  SineCase { 440.0, 512, 0, static_cast<float> (44100.0 / 100) },    // 441.0
                                                                  SineCase { 300.0, 512, 1, static_cast<float> (44100.0 / 147) },    // 300.0
                                                                  SineCase { 110.0, 512, 4, static_cast<float> (44100.0 / 256) },    // window too short: global minimum at its end
                                                                  SineCase { 110.0, 2048, 4, static_cast<float> (44100.0 / 401) })); // 109.975

TEST (PitchDetector, SilenceFallsBackToTheShortestLagAndIsClamped)
{
    // Every normalised value is 1.0, so the fallback keeps lag 42: 1050 Hz, above Soprano's top.
    EXPECT_EQ (detect (std::vector<float> (512, 0.0f), 0), 1046.5f);
}

TEST (PitchDetector, ResultStaysWithinTheRangeBounds)
{
    juce::Random random (7);
    for (int trial = 0; trial < 40; ++trial)
    {
        std::vector<float> noise (600);
        for (auto& v : noise)
            v = random.nextFloat() * 2.0f - 1.0f;

        const auto range = trial % 5;
        const auto hz = detect (noise, range);
        EXPECT_GE (hz, halvora::vocalRanges[static_cast<size_t> (range)].lowestHz);
        EXPECT_LE (hz, halvora::vocalRanges[static_cast<size_t> (range)].highestHz);
    }
}

TEST (PitchDetector, BlocksLargerThanPreparedStillDetect)
{
    PitchDetector detector;
    detector.prepare (128);
    const auto x = sine (220.0, 1024);
    EXPECT_EQ (detector.detect (x.data(), 1024, 44100.0, 2), static_cast<float> (44100.0 / 200));
}
