#pragma once

#include "HalvoraVocabulary.h"
#include "dsp/VoiceChainSettings.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>

namespace halvora
{

//==============================================================================
/** The processor's eleven parameters as the audio thread reads them: the parameter
    objects, in the vocabulary's order, taken once from the value-tree state.
*/
class ParameterReader final
{
public:
    explicit ParameterReader (juce::AudioProcessorValueTreeState&);

    /** The block's snapshot. The parameters never hold NaN for long (they turn it into
        their default as it arrives), but a block may start in between: NaN reads as the
        parameter's default and an infinity as the bound it points at, so that no stage ever
        holds a non-finite value. Choices are truncated toward zero, then kept to their list
        (they hold whole indices, so this only matters for such a moment).
    */
    ParameterSnapshot read() const noexcept;

    /** One parameter per place in parameterIDs. */
    using Handles = std::array<const juce::RangedAudioParameter*, parameterIDs.size()>;

private:
    Handles handles {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParameterReader)
};

} // namespace halvora
