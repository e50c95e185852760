#pragma once

#include "PluginProcessor.h"

#include "hosting/PluginMessageLoop.h"
#include "lv2/Lv2OnTarget.h"

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

namespace halvora::lv2
{
class Lv2Instance;

//==============================================================================
/** Halvora's editor inside an LV2 host's window.

    The UI talks to the plug-in the LV2 way, through the control ports: the editor works on
    a processor of its own whose parameters mirror the ports. A control moved in the editor
    is written to its port (so the host records automation and shows the value), with the
    host told when the gesture starts and ends if it offers touch; a value the host sets
    arrives as a port event and moves the editor's control.

    The ON buttons choose no parameter; when the host gives the UI the plug-in instance, the
    choice reaches the processor that plays directly, otherwise as a message on the plug-in's
    ON-target port (when the host offers the UI the URID map that message needs). Opened that
    way, the editor asks the plug-in which target it plays with and lights that button when
    the answer arrives from the report port.
*/
class Lv2Ui final : private juce::Component,
                    private juce::AudioProcessorParameter::Listener
{
public:
    /** Nothing, when the host gives no parent window to embed the editor in. */
    static std::unique_ptr<Lv2Ui> create (LV2UI_Write_Function write, LV2UI_Controller controller,
                                          LV2UI_Widget* widget, const LV2_Feature* const* features);

    ~Lv2Ui() override;

    void portEvent (std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format, const void* buffer);

    /** Runs the editor's pending messages; called by the host from its UI thread. */
    int idle();

private:
    Lv2Ui (LV2UI_Write_Function, LV2UI_Controller, LV2UI_Widget parent, const LV2UI_Resize*, const LV2UI_Touch*,
           Lv2Instance* plugin, const LV2_URID_Map* map);

    void parameterValueChanged (int parameterIndex, float newValue) override;
    void parameterGestureChanged (int parameterIndex, bool gestureIsStarting) override;
    void paint (juce::Graphics&) override;

    void sendTargetToPlugin();
    void askPluginForTarget();
    void takeTargetReport (std::uint32_t bufferSize, const void* buffer);

    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    EditorEventLoop eventLoop;

    const LV2UI_Write_Function write;
    const LV2UI_Controller controller;
    const LV2UI_Touch* const touch;
    Lv2Instance* const plugin;
    const std::optional<OnTargetUrids> onTargetUrids;

    HalvoraAudioProcessor mirror;
    std::unique_ptr<juce::AudioProcessorEditor> editor;

    // Set while a host's value is applied, so that it is not written back to its port.
    bool applyingHostValue = false;
    HalvoraAudioProcessor::MvTarget targetSent = HalvoraAudioProcessor::MvTarget::none;
    bool askedForTarget = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Lv2Ui)
};

} // namespace halvora::lv2
