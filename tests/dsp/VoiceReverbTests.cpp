#include "dsp/VoiceReverb.h"
#include "ReverbComparison.h"

/** The processor's reverb must give the framework reverb's bits. */
TEST (VoiceReverb, SameBitsAsTheFrameworkReverb)
{
    reverbcheck::expectTheFrameworkReverbsBits<VoiceReverb>();
}
