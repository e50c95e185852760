#include "dsp/kernels/PitchDetector.h"
#include "dsp/stages/PitchTracking.h"
#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <cmath>
#include <optional>
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
    halvora::PitchDetector detector;
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
        const auto w = halvora::PitchDetector::lagWindow (c.numSamples, c.sampleRate, range);
        EXPECT_TRUE (w.searchable) << range;
        EXPECT_EQ (w.minLag, c.minLags[range]) << range;
        EXPECT_EQ (w.maxLag, c.maxLags[range]) << range;
    }
}

const WindowCase windowCases[] {
    { 512, 44100.0, { 42, 56, 84, 113, 134 }, { 169, 225, 256, 256, 256 } },
    { 2048, 44100.0, { 42, 56, 84, 113, 134 }, { 169, 225, 337, 450, 535 } },
    { 2048, 48000.0, { 46, 61, 92, 122, 145 }, { 183, 245, 367, 490, 583 } },
};

INSTANTIATE_TEST_SUITE_P (Worked, LagWindows, testing::ValuesIn (windowCases));

TEST (PitchDetector, ABlockOfSixtyFourHasNoSopranoLagsAt44100)
{
    const auto w = halvora::PitchDetector::lagWindow (64, 44100.0, 0);
    EXPECT_EQ (w.minLag, 32);
    EXPECT_EQ (w.maxLag, 32);
    EXPECT_EQ (detect (sine (440.0, 89), 0), 0.0f);
}

struct ShortestBlockCase
{
    int range;
    double sampleRate;
    std::optional<int> shortest;
};

class ShortestDetectingBlock : public testing::TestWithParam<ShortestBlockCase>
{
};

namespace
{
/** What the voice chain's first stage detects in one block of a sine a fifth above the range's
    lowest pitch, below half of every rate in the table.
*/
float trackOneBlock (const ShortestBlockCase& c, int numSamples)
{
    const auto& range = halvora::vocalRanges[static_cast<size_t> (c.range)];
    halvora::PitchTracking tracking;
    tracking.prepare ({ c.sampleRate, numSamples, 1 });
    auto x = sine (1.5 * range.lowestHz, numSamples, c.sampleRate);
    float* channels[] { x.data() };
    return tracking.process (juce::AudioBuffer<float> (channels, 1, numSamples), { c.range, 1.0f }).detectedHz;
}
} // namespace

TEST_P (ShortestDetectingBlock, IsWorkedOutAndOneSampleLessFindsNothing)
{
    const auto& c = GetParam();
    EXPECT_EQ (halvora::shortestDetectingBlock (c.range, c.sampleRate), c.shortest);

    if (! c.shortest)
    {
        for (const auto numSamples : { 64, 4096 })
            EXPECT_EQ (trackOneBlock (c, numSamples), 0.0f) << numSamples;

        return;
    }

    EXPECT_EQ (trackOneBlock (c, *c.shortest - 1), 0.0f);
    EXPECT_GT (trackOneBlock (c, *c.shortest), 0.0f);
}

// Worked from the window's definition: below 0.45 of the rate every range's top is searched,
// so the shortest lag is rate / highest Hz rounded half away from zero, and the window is
// searchable once half the block (rounded down) reaches that lag + 3, the longest lag being
// further out still. The shortest block is therefore 2 * (shortest lag + 3), and never less
// than the 64 samples the tracking analyses at all.
const ShortestBlockCase shortestBlockCases[] {
    { 0, 44100.0, 90 },  // 44100 / 1046.5 = 42.14 -> 42
    { 1, 44100.0, 118 }, // 44100 / 784    = 56.25 -> 56
    { 2, 44100.0, 174 }, // 44100 / 523.3  = 84.27 -> 84
    { 3, 44100.0, 232 }, // 44100 / 392    = 112.5 -> 113
    { 4, 44100.0, 274 }, // 44100 / 330    = 133.64 -> 134
    { 0, 48000.0, 98 },  // 45.87 -> 46
    { 1, 48000.0, 128 }, // 61.22 -> 61
    { 2, 48000.0, 190 }, // 91.73 -> 92
    { 3, 48000.0, 250 }, // 122.45 -> 122
    { 4, 48000.0, 296 }, // 145.45 -> 145
    { 0, 96000.0, 190 }, // 91.73 -> 92
    { 1, 96000.0, 250 }, // 122.45 -> 122
    { 2, 96000.0, 372 }, // 183.45 -> 183
    { 3, 96000.0, 496 }, // 244.90 -> 245
    { 4, 96000.0, 588 }, // 290.91 -> 291
    { 0, 22050.0, 64 },  // 21.07 -> 21 gives 48: the tracking's own floor decides
    // The top is capped at 450 Hz: lags 2.22 -> 2 up to 1000 / 261.6 = 3.82 -> 4, never
    // more than lag + 2, so no block is long enough.
    { 0, 1000.0, std::nullopt },
};

INSTANTIATE_TEST_SUITE_P (Worked, ShortestDetectingBlock, testing::ValuesIn (shortestBlockCases),
                          [] (const auto& testInfo) {
                              return std::string (halvora::rangeNames[static_cast<size_t> (testInfo.param.range)])
                                   + std::to_string (static_cast<int> (testInfo.param.sampleRate));
                          });

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

const SineCase sineCases[] {
    { 220.0, 1024, 2, static_cast<float> (44100.0 / 200) }, // 220.5, threshold test
    { 440.0, 512, 0, static_cast<float> (44100.0 / 100) },  // 441.0
    { 300.0, 512, 1, static_cast<float> (44100.0 / 147) },  // 300.0
    { 110.0, 512, 4, static_cast<float> (44100.0 / 256) },  // window too short: global minimum at its end
    { 110.0, 2048, 4, static_cast<float> (44100.0 / 401) }, // 109.975
};

INSTANTIATE_TEST_SUITE_P (Worked, SineDetection, testing::ValuesIn (sineCases));

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
    halvora::PitchDetector detector;
    detector.prepare (128);
    const auto x = sine (220.0, 1024);
    EXPECT_EQ (detector.detect (x.data(), 1024, 44100.0, 2), static_cast<float> (44100.0 / 200));
}
