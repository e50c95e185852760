#pragma once

#include "HalvoraVocabulary.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <cstdint>

namespace halvora::lv2
{

//==============================================================================
/** The eleven input control ports and what they do to the processor's parameters.

    The host owns a control port's value and may write any float into it; the host-value
    rule (HostValue::fromPlain) says what reaches the parameter. Only a port whose value
    changed since the last run is applied, so a restored state is not undone by ports that
    the host did not restore with it.

    apply() runs on the audio thread: it hands the value to the parameter object itself
    (an atomic store, which the processor's next block reads), without locks, allocation or
    messages. Telling the parameter's listeners (the value-tree state that saves it) waits
    for publishChanges() on a thread where that may lock and allocate.
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

    /** Tells the listeners of every parameter apply() changed since the last call, so the
        value-tree state holds what the blocks read. Before a save or a restore, never on
        the audio thread.
    */
    void publishChanges();

    static constexpr std::size_t numParameters = parameterIDs.size();

private:
    struct Control
    {
        juce::RangedAudioParameter* parameter = nullptr;
        std::atomic<bool> unpublished { false };
        const float* port = nullptr;
        std::uint32_t lastSeenBits = 0;
        bool seen = false;
        bool takeNextAsApplied = false;
    };

    std::array<Control, numParameters> controls;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Lv2ControlPorts)
};

} // namespace halvora::lv2
