#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** The ON buttons as pills: black with a gold edge when off, gold with a soft halo when
    on, the label always bold white. Hover and press change nothing.
*/
class OnButtonLookAndFeel final : public juce::LookAndFeel_V4
{
public:
    OnButtonLookAndFeel() = default;
    ~OnButtonLookAndFeel() override;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    void drawButtonText (juce::Graphics&, juce::TextButton&, bool shouldDrawButtonAsHighlighted,
                         bool shouldDrawButtonAsDown) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OnButtonLookAndFeel)
};
