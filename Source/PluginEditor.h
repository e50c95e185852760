#pragma once

#include "gui/EditorControls.h"
#include "gui/FaderLookAndFeel.h"
#include "gui/GoldKnobLAF.h"
#include "gui/HLPopupLAF.h"
#include "gui/OnButtonLookAndFeel.h"
#include "PluginProcessor.h"

//==============================================================================
/** The plug-in window: a fixed 1200 x 600 black-and-gold panel with five knobs, four
    choice boxes with their ON buttons and two faders over the background artwork, as
    halvora::editorControls lays them out.
*/
class HalvoraAudioProcessorEditor final : public juce::AudioProcessorEditor
{
public:
    explicit HalvoraAudioProcessorEditor (HalvoraAudioProcessor&);
    ~HalvoraAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Lights the ON button of the processor's current target, and only that one. */
    void updateOnButtonsFromProcessor();

private:
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    using ComboBoxAttachment = juce::AudioProcessorValueTreeState::ComboBoxAttachment;

    /** The control of a row of the table, styled and attached to its parameter. */
    std::unique_ptr<juce::Component> makeControl (const halvora::EditorControl&);

    void styleKnob (juce::Slider&);
    void styleFader (juce::Slider&);
    void styleBox (juce::ComboBox&, const char* paramID);
    void styleTitle (juce::Label&, const halvora::EditorControl&);
    void styleOnButton (juce::TextButton&, int number);

    /** The click handler of ON button `number` (1 to 4): at most one button stays on. */
    void onButtonClicked (int number);

    friend struct HalvoraEditorInspector;

    //==============================================================================
    // The looks come first so they outlive every control that draws with them.
    GoldKnobLAF goldKnobLAF;
    HLPopupLAF popupLAF;
    OnButtonLookAndFeel onButtonLAF;
    FaderLookAndFeel faderLAF;

    juce::Image boardImage;
    juce::Image knobSourceImage;

    HalvoraAudioProcessor& processorRef;

    // A title and a control for each row of the table, in its order: sliders for the knobs
    // and faders, combo boxes for the choices. Then the ON buttons, one for each box, in
    // MvTarget order (button 1 is range).
    std::array<juce::Label, halvora::editorControls.size()> titles;
    std::array<std::unique_ptr<juce::Component>, halvora::editorControls.size()> controls;
    std::array<juce::TextButton, 4> onButtons { juce::TextButton ("ON"), juce::TextButton ("ON"),
                                                juce::TextButton ("ON"), juce::TextButton ("ON") };
    static_assert (std::tuple_size_v<decltype (onButtons)> == halvora::onTargetNames.size() - 1);

    // The attachments come last so they stop listening before their controls go.
    std::vector<std::unique_ptr<SliderAttachment>> sliderAttachments;
    std::vector<std::unique_ptr<ComboBoxAttachment>> boxAttachments;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HalvoraAudioProcessorEditor)
};
