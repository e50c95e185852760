#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>
#include <cstring>

namespace testutil
{
/** Signals to feed a voice chain or a processor, and ways to compare what comes out; the
    fixtures that drive either derive from it.
*/
struct BufferShapes
{
    static juce::AudioBuffer<float> constant (int channels, int numSamples, float value)
    {
        juce::AudioBuffer<float> b (channels, numSamples);
        for (int c = 0; c < channels; ++c)
            juce::FloatVectorOperations::fill (b.getWritePointer (c), value, numSamples);
        return b;
    }

    static juce::AudioBuffer<float> sine (float hz, int numSamples, double sampleRate = 44100.0, float amplitude = 0.5f, int channels = 1)
    {
        juce::AudioBuffer<float> b (channels, numSamples);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < numSamples; ++i)
                b.setSample (c, i, amplitude * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * hz * i / sampleRate)));
        return b;
    }

    static bool identical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
            return false;
        for (int c = 0; c < a.getNumChannels(); ++c)
            if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) != 0)
                return false;
        return true;
    }

    static float maxDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        float worst = 0.0f;
        for (int c = 0; c < a.getNumChannels(); ++c)
            for (int i = 0; i < a.getNumSamples(); ++i)
                worst = juce::jmax (worst, std::abs (a.getSample (c, i) - b.getSample (c, i)));
        return worst;
    }
};
} // namespace testutil
