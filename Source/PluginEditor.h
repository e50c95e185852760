#pragma once

#include "gui/FaderLookAndFeel.h"
#include "gui/GoldKnobLAF.h"
#include "gui/HLPopupLAF.h"
#include "gui/OnButtonLookAndFeel.h"
#include "PluginProcessor.h"

//==============================================================================
/** The plug-in window: a fixed 1200 x 600 black-and-gold panel with five knobs, four
    choice boxes with their ON buttons and two faders over the background artwork.
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

    void styleKnob (juce::Slider&);
    void styleTitle (juce::Label&, const juce::String& text);
    void styleCombo (juce::ComboBox&);
    void styleFader (juce::Slider&);

    /** The click handler of ON button `number` (1 to 4): at most one button stays on. */
    void onButtonClicked (int number);

    std::array<juce::TextButton*, 4> onButtons() noexcept { return { &onButton1, &onButton2, &onButton3, &onButton4 }; }

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

    juce::Slider formantKnob, gainKnob, vibRateKnob, vibDepthKnob, morvelKnob;
    juce::Label formantLabel, gainLabel, vibRateLabel, vibDepthLabel, morvelLabel,
        rangeLabel, voiceLabel, keyLabel, scaleLabel;
    juce::ComboBox rangeBox, voiceBox, keyBox, scaleBox;
    juce::TextButton onButton1 { "ON" }, onButton2 { "ON" }, onButton3 { "ON" }, onButton4 { "ON" };
    juce::Slider delayFader, reverbFader;
    juce::Label delayLabel, reverbLabel;

    // The attachments come last so they stop listening before their controls go.
    std::unique_ptr<SliderAttachment> formantAttachment, gainAttachment, vibRateAttachment, vibDepthAttachment,
        morvelAttachment, delayAttachment, reverbAttachment;
    std::unique_ptr<ComboBoxAttachment> rangeAttachment, voiceAttachment, keyAttachment, scaleAttachment;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HalvoraAudioProcessorEditor)
};
