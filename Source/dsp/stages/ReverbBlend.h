#pragma once

#include "dsp/kernels/VoiceReverb.h"

#include <juce_audio_basics/juce_audio_basics.h>

namespace halvora
{

//==============================================================================
/** The last stage of the voice chain: a fixed room, blended in by the reverb amount. */
class ReverbBlend final
{
public:
    /** The room of the voice chain: 0.6 in size, damping 0.4, wet and dry at full level,
        full width, never frozen.
    */
    static juce::Reverb::Parameters voiceRoom() noexcept;

    /** Sets the room, clears it, and sizes the wet copy so that blocks of up to
        maxBlockSize samples allocate nothing.
    */
    void prepare (int numChannels, int maxBlockSize);

    /** Empties the room. */
    void reset();

    /** Blends the reverberated block into the dry one by reverbMix (0 to 1). */
    void process (juce::AudioBuffer<float>&, float reverbMix) noexcept;

    VoiceReverb reverb; // juce::Reverb's arithmetic exactly, with cheaper wrapping
    juce::Reverb::Parameters reverbParams;

private:
    juce::AudioBuffer<float> reverbScratch;
};

} // namespace halvora
