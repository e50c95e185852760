#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace testutil
{

/** A repeatable mix of tones and noise, different per channel. */
juce::AudioBuffer<float> makeTestSignal (int numChannels, int numSamples, double sampleRate, juce::uint32 seed = 1);

} // namespace testutil
