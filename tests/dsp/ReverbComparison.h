#pragma once

// Deliberately free of the plug-in's headers, so that a test can compile the reverb a
// second time in a namespace of its own (see PlainLaneReverbTests.cpp).
#include <juce_audio_basics/juce_audio_basics.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>

namespace reverbcheck
{
/** The reverb settings the voice chain prepares: room 0.6, damping 0.4, wet and dry
    1, full width, no freeze. */
inline juce::Reverb::Parameters voiceChainSettings()
{
    juce::Reverb::Parameters p;
    p.roomSize = 0.6f;
    p.damping = 0.4f;
    p.wetLevel = 1.0f;
    p.dryLevel = 1.0f;
    p.width = 1.0f;
    p.freezeMode = 0.0f;
    return p;
}

/** Noise on even blocks, two tones with a little noise on odd ones, at `level`. */
inline void fill (juce::AudioBuffer<float>& buffer, juce::Random& random, float level, bool tonal, double sampleRate)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const auto noise = random.nextFloat() * 2.0f - 1.0f;
            const auto t = i / sampleRate;
            const auto tone = 0.6 * std::sin (2.0 * juce::MathConstants<double>::pi * (220.0 + 30.0 * c) * t)
                            + 0.2 * std::sin (2.0 * juce::MathConstants<double>::pi * 660.0 * t);
            buffer.setSample (c, i, (tonal ? static_cast<float> (tone) + 0.05f * noise : noise) * level);
        }
}

inline bool sameBits (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    for (int c = 0; c < a.getNumChannels(); ++c)
        if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) != 0)
            return false;
    return true;
}

/** The framework reverb on `a` and ours on `b`, in mono or stereo as the buffers are. */
template <typename Reverb>
void processBoth (juce::Reverb& framework, juce::AudioBuffer<float>& a, Reverb& ours, juce::AudioBuffer<float>& b)
{
    if (a.getNumChannels() == 2)
    {
        framework.processStereo (a.getWritePointer (0), a.getWritePointer (1), a.getNumSamples());
        ours.processStereo (b.getWritePointer (0), b.getWritePointer (1), b.getNumSamples());
    }
    else
    {
        framework.processMono (a.getWritePointer (0), a.getNumSamples());
        ours.processMono (b.getWritePointer (0), b.getNumSamples());
    }
}

/** Runs `Reverb` beside the framework reverb and expects the same bits: stereo and
    mono, across blocks of every length from 1 sample to 4096 (shorter and longer than
    its chunks and its delay lines), parameter changes mid-stream (including freeze
    and width), resets, noise and tones, quiet and denormal input that leans on the
    denormal guards, and other sample rates, down to one whose shortest line is a
    few dozen samples. pathForBlock (block number) says which vector path to run each block on.
*/
template <typename Reverb, typename PathForBlock>
void expectTheFrameworkReverbsBits (PathForBlock pathForBlock)
{
    for (const auto channels : { 1, 2 })
    {
        for (const auto sampleRate : { 44100.0, 48000.0, 22050.0, 8000.0, 192000.0 })
        {
            juce::Reverb framework;
            Reverb ours;
            juce::Random random (static_cast<juce::int64> (channels * 1000 + sampleRate));

            framework.setSampleRate (sampleRate);
            ours.setSampleRate (sampleRate);

            auto params = voiceChainSettings();
            framework.setParameters (params);
            ours.setParameters (params);
            framework.reset();
            ours.reset();

            const int fixedLengths[] { 1, 2, 3, 4, 5, 7, 127, 128, 129, 225, 1116, 4096, 4097 };
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
                    params = voiceChainSettings();
                    framework.reset();
                    ours.reset();
                }

                framework.setParameters (params);
                ours.setParameters (params);

                const auto length = block < (int) std::size (fixedLengths) ? fixedLengths[block] : 1 + random.nextInt (block % 5 == 0 ? 4096 : 700);
                juce::AudioBuffer<float> a (channels, length);
                fill (a, random, levels[block % 6], block % 2 == 1, sampleRate);
                auto b = a;

                ASSERT_TRUE (ours.useVectorPath (pathForBlock (block))) << Reverb::describeLanes (pathForBlock (block));

                processBoth (framework, a, ours, b);

                ASSERT_TRUE (sameBits (a, b)) << channels << " channels, " << sampleRate << " Hz, block " << block;
            }
        }
    }
}
}
