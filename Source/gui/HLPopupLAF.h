#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** The look of the choice boxes: their drop-down lists are black rounded panels with
    a gold edge, white items and a faint gold highlight. The closed box is the standard
    drawing in the colours the editor sets on it.
*/
class HLPopupLAF final : public juce::LookAndFeel_V4
{
public:
    HLPopupLAF() = default;
    ~HLPopupLAF() override;

    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;

    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                            bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                            const juce::String& shortcutKeyText, const juce::Drawable* icon,
                            const juce::Colour* textColour) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HLPopupLAF)
};
