#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <initializer_list>

namespace testutil
{

/** One channel holding these samples. */
inline juce::AudioBuffer<float> fromSamples (std::initializer_list<float> samples)
{
    juce::AudioBuffer<float> b (1, static_cast<int> (samples.size()));
    int i = 0;
    for (auto s : samples)
        b.setSample (0, i++, s);
    return b;
}

/** A unit impulse at the start of every channel. */
inline juce::AudioBuffer<float> impulse (int numChannels, int numSamples)
{
    juce::AudioBuffer<float> b (numChannels, numSamples);
    b.clear();
    for (int c = 0; c < numChannels; ++c)
        b.setSample (c, 0, 1.0f);
    return b;
}

} // namespace testutil
