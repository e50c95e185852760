#include "FaderLookAndFeel.h"
#include "HalvoraColours.h"

FaderLookAndFeel::~FaderLookAndFeel() = default;

void FaderLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                                         float, float, juce::Slider::SliderStyle, juce::Slider&)
{
    const auto gold = halvora::HalvoraColours::gold();
    const auto fx = static_cast<float> (x);
    const auto fy = static_cast<float> (y);
    const auto w = static_cast<float> (width);
    const auto h = static_cast<float> (height);
    const juce::Rectangle<float> body (fx, fy, w, h);

    g.setColour (juce::Colours::black);
    g.fillRoundedRectangle (body, 8.0f);
    g.setColour (gold);
    g.drawRoundedRectangle (body, 8.0f, 2.0f);

    // A groove a quarter of the width, inset 2 pixels: nothing at all on faders of 16 pixels or less.
    const auto groove = juce::Rectangle<float> (fx + w * 0.375f, fy, w * 0.25f, h).reduced (2.0f);
    g.setColour (gold.withAlpha (0.7f));
    g.fillRoundedRectangle (groove, w * 0.125f);

    g.setColour (gold.brighter (0.2f));
    g.fillEllipse (fx + w * 0.05f, sliderPos - w * 0.45f, w * 0.9f, w * 0.9f);
}
