// The echo stage on its own, on small buffers, against values worked out by hand.

#include "dsp/stages/EchoStage.h"
#include "helpers/EchoFigures.h"
#include "helpers/SmallBuffers.h"
#include "helpers/StageAccess.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
juce::AudioBuffer<float>& lines (halvora::EchoStage& echo) { return halvora::StageAccess::echoBuffer (echo); }
int writePosition (halvora::EchoStage& echo) { return halvora::StageAccess::echoWritePos (echo); }
} // namespace

TEST (EchoStageUnit, AnImpulseComesBackAfterTheDelayAtThirtyPercentPerRepeat)
{
    // At 20 Hz the line holds 1 s (20 samples) and the echo is round (20 * 0.35) = 7 behind.
    halvora::EchoStage echo;
    echo.prepare ({ 20.0, 20, 1 });
    ASSERT_EQ (lines (echo).getNumSamples(), 20);

    auto block = testutil::impulse (1, 20);
    echo.process (block, { 50.0f });

    for (int i = 0; i < 20; ++i)
    {
        const auto expected = i == 0 ? 0.5f : i == 7 ? 0.5f
                                        : i == 14    ? 0.15f
                                                     : 0.0f;
        EXPECT_FLOAT_EQ (block.getSample (0, i), expected) << i;
    }

    EXPECT_EQ (writePosition (echo), 0);

    // The third repeat (0.09) lands on sample 21, the second of the next block.
    juce::AudioBuffer<float> next (1, 2);
    next.clear();
    echo.process (next, { 50.0f });
    EXPECT_FLOAT_EQ (next.getSample (0, 1), 0.045f);
    EXPECT_EQ (writePosition (echo), 2);

    echo.reset();
    EXPECT_EQ (writePosition (echo), 0);
    EXPECT_EQ (lines (echo).getMagnitude (0, 20), 0.0f);
}

TEST (EchoStageUnit, TheFirstEchoAt44100HzComesEchoDelayAt44100SamplesLate)
{
    halvora::EchoStage echo;
    echo.prepare ({ 44100.0, 16000, 2 });

    auto block = testutil::impulse (2, 16000);
    echo.process (block, { 100.0f }); // all echo, no dry

    for (int c = 0; c < 2; ++c)
    {
        EXPECT_EQ (block.getSample (c, 0), 0.0f);
        EXPECT_EQ (block.getSample (c, echoDelayAt44100 - 1), 0.0f);
        EXPECT_EQ (block.getSample (c, echoDelayAt44100), 1.0f);
        EXPECT_EQ (block.getSample (c, echoDelayAt44100 + 1), 0.0f);
    }
}

TEST (EchoStageUnit, WithoutLinesTheBlockPassesUnchanged)
{
    halvora::EchoStage echo;
    auto block = testutil::fromSamples ({ 0.25f, -0.5f });
    echo.process (block, { 100.0f });
    EXPECT_EQ (block.getSample (0, 0), 0.25f);
    EXPECT_EQ (block.getSample (0, 1), -0.5f);
}

TEST (EchoStageUnit, AZeroAmountLeavesTheBlockTheLinesAndThePositionAlone)
{
    halvora::EchoStage echo;
    echo.prepare ({ 20.0, 20, 1 });

    auto block = testutil::impulse (1, 5);
    echo.process (block, { 50.0f });
    ASSERT_EQ (writePosition (echo), 5);

    auto quiet = testutil::fromSamples ({ 0.25f, -0.5f });
    echo.process (quiet, { 0.0f });
    EXPECT_EQ (quiet.getSample (0, 0), 0.25f);
    EXPECT_EQ (quiet.getSample (0, 1), -0.5f);
    EXPECT_EQ (writePosition (echo), 5);
    EXPECT_EQ (lines (echo).getSample (0, 0), 1.0f);
}

TEST (EchoStageUnit, TheLinesHoldOneSecondAndThePositionMovesOnByEveryBlock)
{
    // 44100 and 48000 samples of line; after 16000 samples in blocks of 512 the write
    // position stands at 16000.
    for (const auto rate : { 44100.0, 48000.0 })
    {
        halvora::EchoStage echo;
        echo.prepare ({ rate, 1024, 2 });
        EXPECT_EQ (lines (echo).getNumSamples(), static_cast<int> (rate));
    }

    halvora::EchoStage echo;
    echo.prepare ({ 44100.0, 1024, 2 });
    auto signal = testutil::impulse (2, 16000);
    for (int start = 0; start < 16000; start += 512)
    {
        juce::AudioBuffer<float> block (signal.getArrayOfWritePointers(), 2, start, juce::jmin (512, 16000 - start));
        echo.process (block, { 50.0f });
    }
    EXPECT_EQ (writePosition (echo), 16000 % 44100);
}

TEST (EchoStageUnit, AZeroAmountKeepsTheLinesForWhenTheAmountRisesAgain)
{
    // A 300 Hz sine at half level, 512 samples at 50 %, then 512 at 0 %: the position
    // holds, and raising the amount later replays what the lines still hold.
    const auto sine = [] (int numSamples) {
        juce::AudioBuffer<float> b (1, numSamples);
        for (int i = 0; i < numSamples; ++i)
            b.setSample (0, i, 0.5f * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * 300.0 * i / 44100.0)));
        return b;
    };

    halvora::EchoStage echo;
    echo.prepare ({ 44100.0, 1024, 1 });
    auto first = sine (512);
    echo.process (first, { 50.0f });
    EXPECT_EQ (writePosition (echo), 512);

    auto second = sine (512);
    echo.process (second, { 0.0f });
    EXPECT_EQ (writePosition (echo), 512);

    juce::AudioBuffer<float> silence (1, echoDelayAt44100 - 512 + 10);
    silence.clear();
    echo.process (silence, { 100.0f });
    EXPECT_GT (silence.getMagnitude (0, echoDelayAt44100 - 1024, 520), 0.1f);
}
