#pragma once

#include "PluginProcessor.h"
#include "hosting/PluginMessageLoop.h"

#include <clap/ext/gui.h>

namespace halvora::clap
{

//==============================================================================
/** Halvora's editor embedded in a CLAP host's X11 window.

    The editor works on the processor that plays, so its ON buttons and its controls reach
    that processor directly; the parameter layer hands its edits on to the host. While it
    is open, the host's main thread runs the framework's messages, from the host's timer.
*/
class ClapGui final : private juce::Component
{
public:
    static constexpr std::uint32_t width = 1200, height = 600;

    explicit ClapGui (HalvoraAudioProcessor&);
    ~ClapGui() override;

    /** Embeds the editor in the host's window. */
    bool setParent (clap_xwnd parent);
    void setShown (bool shown);

    /** Runs the framework's pending messages: repaints, timers, the editor's updates. */
    void runPendingMessages();

private:
    void paint (juce::Graphics&) override;

    EditorEventLoop eventLoop;
    HalvoraAudioProcessor& processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapGui)
};

} // namespace halvora::clap
