#pragma once

#include "PluginProcessor.h"
#include "lv2/Lv2ControlPorts.h"
#include "lv2/Lv2OnTarget.h"

#include "hosting/PluginMessageLoop.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>

namespace halvora::lv2
{

//==============================================================================
/** One Halvora in an LV2 host: the processor, the ports the host connects, and the state
    the host saves and restores.

    run() reads the control ports, then processes the host's run in pieces of at most the
    block length the processor was prepared for: the host's maximum block length when it
    announces one through the options feature, otherwise a fixed length.
*/
class Lv2Instance final
{
public:
    /** Nothing, when the host offers no URID map (the one feature Halvora needs). */
    static std::unique_ptr<Lv2Instance> create (double sampleRate, const LV2_Feature* const* features);

    ~Lv2Instance();

    void connectPort (std::uint32_t port, void* data) noexcept;
    void activate();
    void run (std::uint32_t numSamples) noexcept;
    void deactivate();

    LV2_State_Status save (LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    HalvoraAudioProcessor& getProcessor() noexcept { return *processor; }
    std::uint32_t getMaxBlock() const noexcept { return maxBlock; }

private:
    Lv2Instance (double sampleRate, std::uint32_t maxBlock, const LV2_URID_Map& map);

    /** Takes the ON target or the question from the input port, answers on the report port. */
    void exchangeOnTargetMessages() noexcept;

    // The framework's message loop runs beside the host, as for any plug-in it hosts.
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    PluginMessageThread messageThread;

    const double sampleRate;
    const std::uint32_t maxBlock;
    const LV2_URID stateKey, legacyStateKey, atomString;

    std::unique_ptr<HalvoraAudioProcessor> processor;
    Lv2ControlPorts controls;

    // What a window the host keeps apart sends: the ON button it lit, or the question which
    // one the plug-in plays with; the answer goes out on the report port in the next run
    // that has room for it.
    const OnTargetUrids onTargetUrids;
    const LV2_Atom_Sequence* onTargetPort = nullptr;
    LV2_Atom_Sequence* onTargetReportPort = nullptr;
    bool onTargetAsked = false;

    std::array<const float*, 2> inputs {};
    std::array<float*, 2> outputs {};
    float* latencyPort = nullptr;

    // The host's audio is copied through here, so that it may hand the same buffer as
    // input and output; sized in activate().
    juce::AudioBuffer<float> block;
    juce::MidiBuffer noMidi;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Lv2Instance)
};

} // namespace halvora::lv2
