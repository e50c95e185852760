#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** Draws a rotary knob as the gold knob picture stretched over its area, the same at
    every value (the value shows in the slider's popup). Without the picture it draws a
    gold disc with a pointer instead.
*/
class GoldKnobLAF final : public juce::LookAndFeel_V4
{
public:
    GoldKnobLAF() = default;
    ~GoldKnobLAF() override;

    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPosProportional,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;

    /** Shares its pixels with the editor's decoded copy; null until the editor sets it. */
    juce::Image knobImage;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GoldKnobLAF)
};
