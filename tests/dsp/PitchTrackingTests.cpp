// The pitch tracker on its own, against values worked out by hand from what it is meant
// to do.

#include "dsp/stages/PitchTracking.h"
#include "helpers/StageAccess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using halvora::PitchTracking;
using halvora::StageAccess;

namespace
{
/** 1024 samples of a sine that repeats every 100 samples. */
std::vector<float> hundredSamplePeriod()
{
    std::vector<float> sine (1024);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = 0.5f * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * static_cast<double> (i) / 100.0));
    return sine;
}
} // namespace

TEST (PitchTrackingStage, FirstDetectionIsTakenWholeThenSmoothedByTheStrength)
{
    PitchTracking tracking;
    tracking.prepare ({ 44100.0, 512, 1 });
    const auto& smoothedHz = StageAccess::smoothedHz (tracking);
    const auto& lastDetectedHz = StageAccess::lastDetectedHz (tracking);

    tracking.follow (200.0f, 0.0f); // nothing followed yet: starts at the detection
    EXPECT_FLOAT_EQ (smoothedHz, 200.0f);
    EXPECT_EQ (lastDetectedHz, 200.0f);

    tracking.follow (300.0f, 1.0f); // alpha 0.4: 0.4 * 300 + 0.6 * 200
    EXPECT_FLOAT_EQ (smoothedHz, 240.0f);

    tracking.follow (340.0f, 0.0f); // alpha 0.05: 0.05 * 340 + 0.95 * 240
    EXPECT_FLOAT_EQ (smoothedHz, 245.0f);
    EXPECT_EQ (lastDetectedHz, 340.0f);

    tracking.follow (0.0f, 1.0f); // nothing found: the followed pitch holds
    EXPECT_FLOAT_EQ (smoothedHz, 245.0f);
    EXPECT_EQ (lastDetectedHz, 340.0f);
}

TEST (PitchTrackingStage, WithoutADetectionAnUnfollowedVoiceStartsFromTheLastOne)
{
    PitchTracking tracking;
    tracking.prepare ({ 44100.0, 512, 1 });
    StageAccess::lastDetectedHz (tracking) = 441.0f;

    tracking.follow (0.0f, 0.5f);
    EXPECT_EQ (StageAccess::smoothedHz (tracking), 441.0f);

    tracking.reset();
    EXPECT_EQ (StageAccess::smoothedHz (tracking), 0.0f);
    EXPECT_EQ (StageAccess::lastDetectedHz (tracking), 0.0f);
}

TEST (PitchTrackingStage, DetectsAPeriodOfAHundredSamplesAs441HzAndSkipsShortBlocks)
{
    PitchTracking tracking;
    tracking.prepare ({ 44100.0, 1024, 1 });

    auto sine = hundredSamplePeriod();
    float* channels[] { sine.data() };
    const PitchTracking::Settings tenorFirmly { 2, 1.0f };

    const auto shortBlock = tracking.process (juce::AudioBuffer<float> (channels, 1, 63), tenorFirmly);
    EXPECT_EQ (shortBlock.detectedHz, 0.0f);
    EXPECT_EQ (shortBlock.smoothedHz, 0.0f);

    const auto wholeBlock = tracking.process (juce::AudioBuffer<float> (channels, 1, 1024), tenorFirmly);
    EXPECT_EQ (wholeBlock.detectedHz, 441.0f);
    EXPECT_FLOAT_EQ (wholeBlock.smoothedHz, 441.0f);
    EXPECT_EQ (StageAccess::lastDetectedHz (tracking), 441.0f);
}

TEST (PitchTrackingStage, DetectsAtThePreparedSampleRate)
{
    // The same hundred-sample period at 48 kHz is 480 Hz.
    PitchTracking tracking;
    tracking.prepare ({ 48000.0, 1024, 1 });

    auto sine = hundredSamplePeriod();
    float* channels[] { sine.data() };
    EXPECT_NEAR (tracking.process (juce::AudioBuffer<float> (channels, 1, 1024), { 2, 1.0f }).detectedHz, 480.0f, 0.5f);
}

TEST (PitchTrackingStage, ShortBlocksHoldThePitchEstimate)
{
    // A 440 Hz sine at 44.1 kHz in Soprano, without correction: only blocks of 64
    // samples or more are analysed, and what they find (441 Hz) holds through shorter ones.
    PitchTracking tracking;
    tracking.prepare ({ 44100.0, 1024, 1 });
    const PitchTracking::Settings sopranoUncorrected { 0, 0.0f };

    std::vector<float> sine (512);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = 0.5f * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * 440.0 * static_cast<double> (i) / 44100.0));
    float* channels[] { sine.data() };
    const auto block = [&channels] (int n) { return juce::AudioBuffer<float> (channels, 1, n); };

    tracking.process (block (63), sopranoUncorrected);
    EXPECT_EQ (StageAccess::lastDetectedHz (tracking), 0.0f);
    EXPECT_EQ (StageAccess::smoothedHz (tracking), 0.0f);

    tracking.process (block (512), sopranoUncorrected);
    EXPECT_EQ (StageAccess::lastDetectedHz (tracking), 441.0f);
    const auto smoothed = StageAccess::smoothedHz (tracking);

    tracking.process (block (63), sopranoUncorrected);
    EXPECT_EQ (StageAccess::lastDetectedHz (tracking), 441.0f);
    EXPECT_EQ (StageAccess::smoothedHz (tracking), smoothed);

    // With no smoothed estimate yet, a block without one takes the last raw estimate.
    StageAccess::smoothedHz (tracking) = 0.0f;
    tracking.process (block (63), sopranoUncorrected);
    EXPECT_EQ (StageAccess::smoothedHz (tracking), 441.0f);
}
