#include "HLPopupLAF.h"
#include "HalvoraColours.h"

HLPopupLAF::~HLPopupLAF() = default;

void HLPopupLAF::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    const juce::Rectangle<float> bounds (0.0f, 0.0f, static_cast<float> (width), static_cast<float> (height));

    g.setColour (juce::Colours::black);
    g.fillRoundedRectangle (bounds, 8.0f);

    // Centred on the window's edge: only its inner half shows.
    g.setColour (halvora::HalvoraColours::gold());
    g.drawRoundedRectangle (bounds, 8.0f, 2.0f);
}

void HLPopupLAF::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool, bool isActive,
                                    bool isHighlighted, bool, bool, const juce::String& text, const juce::String&,
                                    const juce::Drawable*, const juce::Colour* textColour)
{
    if (isHighlighted)
    {
        g.setColour (halvora::HalvoraColours::gold().withAlpha (0.15f));
        g.fillRoundedRectangle (area.toFloat().reduced (2.0f), 6.0f);
    }

    auto colour = textColour != nullptr ? *textColour : juce::Colours::white;

    if (! isActive)
        colour = colour.withMultipliedAlpha (0.5f);

    // No tick for the current choice, no arrows, shortcuts or icons: just the text.
    g.setColour (colour);
    g.setFont (juce::Font (juce::FontOptions (14.0f)));
    g.drawFittedText (text, area.getX() + 10, area.getY(), juce::jmax (area.getWidth() - 20, 0), area.getHeight(),
                      juce::Justification::centredLeft, 1);
}
