#pragma once

#include "HalvoraVocabulary.h"
#include "dsp/VoiceChainSettings.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>

namespace halvora
{

//==============================================================================
/** The processor's eleven parameters as the audio thread reads them: one atomic handle
    per parameter, in the vocabulary's order, taken once from the value-tree state.
*/
class ParameterReader final
{
public:
    explicit ParameterReader (juce::AudioProcessorValueTreeState&);

    /** The block's snapshot. Hosts can send NaN or infinity as a normalised value, and
        the framework passes it through to the raw value: NaN reads as the parameter's
        default and an infinity as the bound it points at, so that no stage ever holds a
        non-finite value. Choices are truncated toward zero, then kept to their list.
    */
    ParameterSnapshot read() const noexcept;

    /** One handle per parameter, at its place in parameterIDs. */
    using Handles = std::array<const std::atomic<float>*, parameterIDs.size()>;

private:
    Handles handles {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParameterReader)
};

} // namespace halvora
