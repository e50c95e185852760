// The reverb blend on its own: the framework reverb's own output, blended by the amount.

#include "dsp/stages/ReverbBlend.h"
#include "helpers/SmallBuffers.h"

#include <gtest/gtest.h>

TEST (ReverbBlendStage, BlendsTheFrameworkReverbsOwnOutputByTheMix)
{
    for (const auto channels : { 1, 2 })
    {
        halvora::ReverbBlend blend;
        blend.prepare ({ 44100.0, 64, channels });

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

        blend.process (block, { 25.0f });

        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ (block.getSample (c, i), expected.getSample (c, i)) << channels << " channels, " << c << ", " << i;
    }
}

TEST (ReverbBlendStage, AZeroAmountLeavesTheBlockAndTheRoomAlone)
{
    // A room that heard nothing while the amount was 0 answers a later impulse exactly
    // as a fresh one does.
    halvora::ReverbBlend heard, fresh;
    heard.prepare ({ 44100.0, 64, 1 });
    fresh.prepare ({ 44100.0, 64, 1 });

    auto loud = testutil::impulse (1, 64);
    heard.process (loud, { 0.0f });
    EXPECT_EQ (loud.getSample (0, 0), 1.0f);
    EXPECT_EQ (loud.getMagnitude (0, 1, 63), 0.0f);

    auto a = testutil::impulse (1, 64), b = testutil::impulse (1, 64);
    heard.process (a, { 100.0f });
    fresh.process (b, { 100.0f });

    for (int i = 0; i < 64; ++i)
        ASSERT_EQ (a.getSample (0, i), b.getSample (0, i)) << i;
}
