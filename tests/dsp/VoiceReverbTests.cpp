#include "VoiceReverb.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
    void fill (juce::AudioBuffer<float>& buffer, juce::Random& random, float level)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                buffer.setSample (c, i, (random.nextFloat() * 2.0f - 1.0f) * level);
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
    blocks of every length from 1 sample to 4096 (shorter and longer than its chunks and
    its delay lines), parameter changes mid-stream (including freeze and width), resets,
    quiet and denormal input that leans on the denormal guards, and other sample rates,
    down to one whose shortest line is a few dozen samples.
*/
TEST (VoiceReverb, SameBitsAsTheFrameworkReverb)
{
    for (const auto channels : { 1, 2 })
    {
        for (const auto sampleRate : { 44100.0, 48000.0, 22050.0, 8000.0, 192000.0 })
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

            const int fixedLengths[] { 1, 2, 3, 4, 5, 7, 127, 128, 129, 225, 1116, 4096 };
            const float levels[] { 1.0f, 1.0e-3f, 1.0e-30f, 1.0e-40f, 0.0f, 4.0f };

            for (int block = 0; block < 60; ++block)
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

                const auto length = block < 12 ? fixedLengths[block] : 1 + random.nextInt (block % 5 == 0 ? 4096 : 700);
                juce::AudioBuffer<float> a (channels, length);
                fill (a, random, levels[block % 6]);
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
