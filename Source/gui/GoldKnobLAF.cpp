#include "GoldKnobLAF.h"
#include "HalvoraColours.h"

#include <cmath>

GoldKnobLAF::~GoldKnobLAF() = default;

void GoldKnobLAF::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPosProportional,
                                    float, float, juce::Slider&)
{
    const juce::Rectangle<float> area (static_cast<float> (x), static_cast<float> (y),
                                       static_cast<float> (width), static_cast<float> (height));

    if (knobImage.isValid())
    {
        g.drawImage (knobImage, area, juce::RectanglePlacement::stretchToFit, false);
        return;
    }

    const auto gold = halvora::HalvoraColours::gold();
    g.setColour (gold.darker (0.2f));
    g.fillEllipse (area);

    g.setColour (gold.brighter (0.2f));
    g.drawEllipse (area, 2.0f);

    // The pointer sweeps 270 degrees clockwise from the lower left; its centre sits on
    // whole pixels, as the integer halves give it.
    const auto radius = static_cast<float> (juce::jmin (width, height)) * 0.42f;
    const auto centreX = static_cast<float> (x + width / 2);
    const auto centreY = static_cast<float> (y + height / 2);
    const auto angle = sliderPosProportional * 4.712f + 2.356f;

    g.drawLine (centreX, centreY, centreX + radius * std::cos (angle), centreY + radius * std::sin (angle), 3.0f);
}
