#pragma once

#include "PluginProcessor.h"
#include "hosting/PluginMessageLoop.h"
#include "clap/ClapParameters.h"

#include <clap/ext/gui.h>
#include <clap/ext/timer-support.h>
#include <clap/plugin.h>
#include <clap/process.h>
#include <clap/stream.h>

#include <atomic>

namespace halvora::clap
{
class ClapGui;

/** The plug-in's one descriptor: its id, name, version and features. */
const clap_plugin_descriptor_t& descriptor() noexcept;

//==============================================================================
/** One Halvora in a CLAP host: the processor, its parameters as the host sees them, its
    state and its editor.

    process() applies the block's parameter events first (a host change takes effect at
    the start of the block it arrives in, as in the other formats), then runs the audio in
    pieces of at most the longest block the host announced in activate(). One stereo input
    and one stereo output; a host that hands a single channel gets it processed as mono.
*/
class ClapPlugin final
{
public:
    /** The plug-in as the host holds it; its destroy call deletes it. */
    static const clap_plugin_t* create (const clap_host_t*);

    HalvoraAudioProcessor& getProcessor() noexcept { return *processor; }

    /** The largest block activate() prepares for; hosts announcing more are served in pieces. */
    static constexpr std::uint32_t largestMaxBlock = 65536;

private:
    explicit ClapPlugin (const clap_host_t*);
    ~ClapPlugin();

    static ClapPlugin& of (const clap_plugin_t*) noexcept;
    static const void* extension (const clap_plugin_t*, const char* extensionId);

    bool init();
    bool activate (double sampleRate, std::uint32_t maxFrames);
    void deactivate();
    clap_process_status process (const clap_process_t&) noexcept;
    void flush (const clap_input_events_t*, const clap_output_events_t*) noexcept;

    bool saveState (const clap_ostream_t*);
    bool loadState (const clap_istream_t*);

    bool createGui (const char* api, bool isFloating);
    void destroyGui();
    bool setGuiParent (const clap_window_t*);
    bool showGui (bool shown);
    void onTimer (clap_id);

    clap_plugin_t plugin;
    const clap_host_t* const host;
    const clap_host_timer_support_t* hostTimers = nullptr;

    // The framework's message loop runs beside the host, as for any plug-in it hosts.
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    PluginMessageThread messageThread;

    std::unique_ptr<HalvoraAudioProcessor> processor;
    ClapParameters parameters;

    // The host's audio is copied through here, so that it may hand the same buffer as input
    // and output; sized in activate().
    juce::AudioBuffer<float> block;
    juce::MidiBuffer noMidi;
    std::uint32_t maxBlock = 0;

    // Set on the main thread between blocks; flush reads it to know which thread calls it.
    std::atomic<bool> active { false };

    std::unique_ptr<ClapGui> gui;
    clap_id guiTimer = CLAP_INVALID_ID;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapPlugin)
};

} // namespace halvora::clap
