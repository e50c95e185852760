#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace halvora
{

/** The built-in demo vocal: about eight seconds of a voice-like harmonic tone at
    44100 Hz, mono, singing a phrase whose notes sit between semitones and off the
    C major scale, so that the correction audibly pulls it into key.
*/
struct DemoVocal
{
    static constexpr double sampleRate = 44100.0;

    static juce::AudioBuffer<float> generate();
};

} // namespace halvora
