#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** The vertical faders: a black rounded body with a gold edge, a thin gold groove down
    the middle and a light-gold round thumb. Always drawn vertically.
*/
class FaderLookAndFeel final : public juce::LookAndFeel_V4
{
public:
    FaderLookAndFeel() = default;
    ~FaderLookAndFeel() override;

    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos, float minSliderPos,
                           float maxSliderPos, juce::Slider::SliderStyle, juce::Slider&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FaderLookAndFeel)
};
