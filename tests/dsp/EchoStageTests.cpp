// The echo stage on its own, on small buffers, against values worked out by hand.

#include "dsp/stages/EchoStage.h"
#include "helpers/EchoFigures.h"
#include "helpers/SmallBuffers.h"
#include "helpers/StageAccess.h"

#include <gtest/gtest.h>

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
