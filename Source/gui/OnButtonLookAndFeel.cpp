#include "OnButtonLookAndFeel.h"
#include "HalvoraColours.h"

OnButtonLookAndFeel::~OnButtonLookAndFeel() = default;

void OnButtonLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&, bool, bool)
{
    const auto bounds = button.getLocalBounds().toFloat();
    const auto corner = bounds.getHeight() * 0.5f;
    const auto gold = halvora::HalvoraColours::gold();

    if (button.getToggleState())
    {
        g.setColour (gold.withAlpha (0.95f));
        g.fillRoundedRectangle (bounds, corner);

        // A halo around the pill; the button's clip leaves only the bits in its corners.
        g.setColour (gold.withAlpha (0.35f));
        g.drawRoundedRectangle (bounds.expanded (2.0f), corner + 1.0f, 3.0f);
    }
    else
    {
        g.setColour (juce::Colours::black);
        g.fillRoundedRectangle (bounds, corner);

        g.setColour (gold);
        g.drawRoundedRectangle (bounds.reduced (0.5f), corner, 1.5f);
    }
}

void OnButtonLookAndFeel::drawButtonText (juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    g.setColour (juce::Colours::white);
    g.setFont (juce::Font (juce::FontOptions (14.0f, juce::Font::bold)));
    g.drawText (button.getButtonText(), button.getLocalBounds().toFloat(), juce::Justification::centred, false);
}
