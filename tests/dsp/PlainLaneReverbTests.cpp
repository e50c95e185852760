// The reverb once more, built with the four-plain-floats lanes that processors without
// SSE2 get, in a namespace of its own so that it cannot be confused with the plug-in's
// own build of it; it must give the framework reverb's bits too.
#include "ReverbComparison.h"

#include <algorithm>
#include <vector>

#define HALVORA_FLOAT4_PLAIN 1
namespace plainlanes
{
#include "dsp/kernels/VoiceReverb.cpp"
}

static_assert (HALVORA_FLOAT4_SSE == 0, "the reverb above must be the plain-lane build");

TEST (PlainLaneVoiceReverb, SameBitsAsTheFrameworkReverb)
{
    using plainlanes::halvora::VectorPath;
    using plainlanes::halvora::VoiceReverb;

    // Without SSE2 there is no AVX path either: four plain floats it is.
    VoiceReverb reverb;
    EXPECT_EQ (reverb.getVectorPath(), VectorPath::scalar);
    EXPECT_FALSE (reverb.useVectorPath (VectorPath::avx));
    EXPECT_FALSE (reverb.useVectorPath (VectorPath::avx2));
    EXPECT_FALSE (reverb.useVectorPath (VectorPath::avx512));
    reverbcheck::expectTheFrameworkReverbsBits<VoiceReverb> ([] (int) { return VectorPath::scalar; });
}
