#include "dsp/VoiceReverb.h"
#include "ReverbComparison.h"

using Lanes = VoiceReverb::Lanes;

/** Every way of running the combs that this processor offers must give the framework
    reverb's bits, and so must switching between them from block to block.
*/
TEST (VoiceReverb, SameBitsAsTheFrameworkReverbInEveryLaneWidth)
{
    for (const auto lanes : VoiceReverb::allLanes)
    {
        if (! VoiceReverb::isAvailable (lanes))
            continue;

        SCOPED_TRACE (VoiceReverb::name (lanes));
        reverbcheck::expectTheFrameworkReverbsBits<VoiceReverb> ([lanes] (int) { return lanes; });
    }
}

TEST (VoiceReverb, SameBitsAsTheFrameworkReverbSwitchingLanesBetweenBlocks)
{
    if (! VoiceReverb::isAvailable (Lanes::eight))
        GTEST_SKIP() << "this processor has no AVX";

    reverbcheck::expectTheFrameworkReverbsBits<VoiceReverb> ([] (int block) { return block % 3 == 1 ? Lanes::four : Lanes::eight; });
}

TEST (VoiceReverb, StartsInTheWidestLanesAvailable)
{
    EXPECT_TRUE (VoiceReverb::isAvailable (Lanes::four));
    EXPECT_EQ (VoiceReverb().getLanes(), VoiceReverb::fastestAvailable());
    EXPECT_EQ (VoiceReverb::fastestAvailable(), VoiceReverb::isAvailable (Lanes::eight) ? Lanes::eight : Lanes::four);
}

/** One reverb fed mono and stereo blocks by turns, as a host may when it changes the
    layout, while the parameters move: the framework's mono loop leaves the second wet
    gain where it is, and ours must too, in every lane width.
*/
TEST (VoiceReverb, SameBitsAsTheFrameworkReverbBetweenMonoAndStereoBlocks)
{
    for (const auto lanes : VoiceReverb::allLanes)
    {
        if (! VoiceReverb::isAvailable (lanes))
            continue;

        juce::Reverb framework;
        VoiceReverb ours;
        ASSERT_TRUE (ours.useLanes (lanes));
        juce::Random random (7);
        auto params = reverbcheck::voiceChainSettings();

        for (int block = 0; block < 40; ++block)
        {
            params.width = block % 7 < 3 ? 1.0f : 0.2f;
            params.damping = block % 5 < 2 ? 0.4f : 0.7f;
            framework.setParameters (params);
            ours.setParameters (params);

            const auto channels = block % 3 == 0 ? 1 : 2;
            juce::AudioBuffer<float> a (channels, 1 + random.nextInt (600));
            reverbcheck::fill (a, random, 0.5f, block % 2 == 0, 44100.0);
            auto b = a;

            reverbcheck::processBoth (framework, a, ours, b);

            ASSERT_TRUE (reverbcheck::sameBits (a, b)) << VoiceReverb::name (lanes) << ", block " << block;
        }
    }
}
