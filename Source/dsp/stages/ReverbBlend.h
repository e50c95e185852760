#pragma once

#include "VoiceStage.h"
#include "dsp/kernels/VoiceReverb.h"

#include <juce_audio_basics/juce_audio_basics.h>

namespace halvora
{

//==============================================================================
/** The last stage of the voice chain: a fixed room, blended in by the reverb amount. */
class ReverbBlend final
{
public:
    /** One block's settings, as the parameter snapshot gives them. */
    struct Settings
    {
        float mixPercent = 0.0f; // the reverb amount: 0 leaves the block alone, 100 is all room
    };

    /** The room of the voice chain: 0.6 in size, damping 0.4, wet and dry at full level,
        full width, never frozen.
    */
    static juce::Reverb::Parameters voiceRoom() noexcept;

    /** Sets the room, clears it, and sizes the wet copy so that blocks of up to the
        StageSetup's maximum allocate nothing. The room is never told the sample rate.
    */
    void prepare (const StageSetup&);

    /** Empties the room. */
    void reset();

    /** Blends the reverberated block into the dry one by the reverb amount; at 0 the
        block and the room are left as they are.
    */
    void process (juce::AudioBuffer<float>&, const Settings&) noexcept;

private:
    void blend (juce::AudioBuffer<float>&, float reverbMix) noexcept;

    VoiceReverb reverb; // juce::Reverb's arithmetic exactly, with cheaper wrapping
    juce::Reverb::Parameters reverbParams;
    juce::AudioBuffer<float> reverbScratch;

    friend struct StageAccess;
};

static_assert (hasStageShape<ReverbBlend, juce::AudioBuffer<float>&>);

} // namespace halvora
