#include "VoiceReverb.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
    void fill (juce::AudioBuffer<float>& buffer, juce::Random& random)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                buffer.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);
    }

    bool sameBits (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        for (int c = 0; c < a.getNumChannels(); ++c)
            if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) != 0)
                return false;
        return true;
    }
}

/** The processor's reverb must give the framework reverb's bits: stereo and mono, across
    blocks, parameter changes mid-stream (including freeze and width), resets and another
    sample rate.
*/
TEST (VoiceReverb, SameBitsAsTheFrameworkReverb)
{
    for (const auto channels : { 1, 2 })
    {
        for (const auto sampleRate : { 44100.0, 48000.0, 22050.0 })
        {
            juce::Reverb framework;
            VoiceReverb ours;
            juce::Random random (static_cast<juce::int64> (channels * 1000 + sampleRate));

            framework.setSampleRate (sampleRate);
            ours.setSampleRate (sampleRate);

            auto params = testutil::voiceReverbParameters();
            framework.setParameters (params);
            ours.setParameters (params);
            framework.reset();
            ours.reset();

            for (int block = 0; block < 40; ++block)
            {
                if (block == 10)
                {
                    params.width = 0.3f;
                    params.roomSize = 0.9f;
                }
                else if (block == 20)
                {
                    params.freezeMode = 1.0f;
                }
                else if (block == 25)
                {
                    params = testutil::voiceReverbParameters();
                    framework.reset();
                    ours.reset();
                }

                framework.setParameters (params);
                ours.setParameters (params);

                juce::AudioBuffer<float> a (channels, 1 + random.nextInt (700));
                fill (a, random);
                auto b = a;

                if (channels == 2)
                {
                    framework.processStereo (a.getWritePointer (0), a.getWritePointer (1), a.getNumSamples());
                    ours.processStereo (b.getWritePointer (0), b.getWritePointer (1), b.getNumSamples());
                }
                else
                {
                    framework.processMono (a.getWritePointer (0), a.getNumSamples());
                    ours.processMono (b.getWritePointer (0), b.getNumSamples());
                }

                ASSERT_TRUE (sameBits (a, b)) << channels << " channels, " << sampleRate << " Hz, block " << block;
            }
        }
    }
}
