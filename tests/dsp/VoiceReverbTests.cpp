#include "dsp/kernels/VoiceReverb.h"
#include "ReverbComparison.h"

using halvora::VectorPath;
using halvora::VoiceReverb;
namespace VectorPaths = halvora::VectorPaths;

/** Every vector path that this processor offers must give the framework reverb's bits,
    and so must switching between four and eight lanes from block to block.
*/
/** Every path the reverb runs: the kernels' own, and avx, the reverb's eight lanes on AVX alone. */
constexpr VectorPath reverbPaths[] { VectorPath::scalar, VectorPath::sse2, VectorPath::avx, VectorPath::avx2, VectorPath::avx512 };

TEST (VoiceReverb, SameBitsAsTheFrameworkReverbOnEveryVectorPath)
{
    for (const auto path : reverbPaths)
    {
        if (! VectorPaths::isAvailable (path))
            continue;

        SCOPED_TRACE (std::string (VectorPaths::name (path)) + ", " + VoiceReverb::describeLanes (path));
        reverbcheck::expectTheFrameworkReverbsBits<VoiceReverb> ([path] (int) { return path; });
    }
}

TEST (VoiceReverb, SameBitsAsTheFrameworkReverbSwitchingLanesBetweenBlocks)
{
    if (! VectorPaths::isAvailable (VectorPath::avx))
        GTEST_SKIP() << "this processor has no AVX";

    reverbcheck::expectTheFrameworkReverbsBits<VoiceReverb> ([] (int block) { return block % 3 == 1 ? VectorPath::sse2 : VectorPath::avx; });
}

TEST (VoiceReverb, StartsInTheWidestLanesAvailable)
{
    VoiceReverb reverb;
    EXPECT_TRUE (reverb.useVectorPath (VectorPath::scalar));
    EXPECT_TRUE (reverb.useVectorPath (VectorPath::sse2));
    // Eight lanes need AVX alone: the path is named avx, whether or not AVX2 is there too.
    const auto widest = VectorPaths::hasAvx() ? VectorPath::avx : VectorPath::sse2;
    EXPECT_EQ (VoiceReverb().getVectorPath(), widest);
    EXPECT_EQ (VoiceReverb::describeLanes (VoiceReverb().getVectorPath()), VoiceReverb::describeLanes (widest));
    EXPECT_STREQ (VoiceReverb::describeLanes (VectorPath::avx), "eight lanes");
}

/** One reverb fed mono and stereo blocks by turns, as a host may when it changes the
    layout, while the parameters move: the framework's mono loop leaves the second wet
    gain where it is, and ours must too, on every vector path.
*/
TEST (VoiceReverb, SameBitsAsTheFrameworkReverbBetweenMonoAndStereoBlocks)
{
    for (const auto path : reverbPaths)
    {
        if (! VectorPaths::isAvailable (path))
            continue;

        juce::Reverb framework;
        VoiceReverb ours;
        ASSERT_TRUE (ours.useVectorPath (path));
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

            ASSERT_TRUE (reverbcheck::sameBits (a, b)) << VectorPaths::name (path) << ", block " << block;
        }
    }
}
