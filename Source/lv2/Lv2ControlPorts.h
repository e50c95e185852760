#pragma once

#include "HalvoraVocabulary.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <cstdint>

namespace halvora::lv2
{

//==============================================================================
/** The plain value a control port's value gives a parameter, by the rules of every other
    door: NaN reads as the default, values outside the range (the infinities too) clamp to
    its ends, a choice is clamped before it is rounded to an index, and the value is held on
    the parameter's step as a host's value would be.
*/
float portValueAsHeld (const juce::RangedAudioParameter& parameter, float portValue) noexcept;

//==============================================================================
/** The eleven input control ports and what they do to the processor's parameters.

    The host owns a control port's value and may write any float into it; portValueAsHeld
    says what reaches the processor. Only a port whose value changed since the last run is
    applied, so a restored state is not undone by ports that the host did not restore with
    it.

    apply() runs on the audio thread: it writes the values the processor's next block reads
    through their atomic handles, without locks, allocation or messages.
*/
class Lv2ControlPorts final
{
public:
    explicit Lv2ControlPorts (juce::AudioProcessorValueTreeState& state);

    /** Where the host keeps the parameter's value; null when the port is not connected. */
    void connect (std::size_t parameterIndex, const float* port) noexcept;

    /** Reads every connected port and applies those that changed. */
    void apply() noexcept;

    /** After a restore: the ports' values as they are now count as applied, so the restored
        state stands until the host changes a port (as it does when it restores the ports'
        values with the state, or sets one afterwards). A port not connected yet takes its
        value at the next apply() for the applied one. Called where the host may not run
        the plug-in, as a restore is.
    */
    void takePortValuesAsApplied() noexcept;

    /** The value each parameter holds, for saving: what the processor's blocks read. */
    float currentValue (std::size_t parameterIndex) const noexcept;

    static constexpr std::size_t numParameters = parameterIDs.size();

private:
    struct Control
    {
        juce::RangedAudioParameter* parameter = nullptr;
        std::atomic<float>* heldValue = nullptr;
        const float* port = nullptr;
        std::uint32_t lastSeenBits = 0;
        bool seen = false;
        bool takeNextAsApplied = false;
    };

    std::array<Control, numParameters> controls;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Lv2ControlPorts)
};

} // namespace halvora::lv2
