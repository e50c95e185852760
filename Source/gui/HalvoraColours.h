#pragma once

#include "HalvoraVocabulary.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <utility>

namespace halvora
{
namespace HalvoraColours
{
    /** The product gold of titles, knobs, lists, buttons and faders. Not juce::Colours::gold,
        which only the choice boxes' outline, arrow and highlight use.
    */
    inline juce::Colour gold() noexcept { return juce::Colour (productGoldArgb); }

    /** The panel's black: behind the artwork, in the bands beside it, and the faces of the boxes. */
    inline juce::Colour panel() noexcept { return juce::Colours::black; }

    /** Text on black: the choices and the ON buttons' label. */
    inline juce::Colour text() noexcept { return juce::Colours::white; }

    /** The framework's named gold, RGB (255, 215, 0), a shade brighter than the product gold:
        the choice boxes' outline, arrow and highlighted item.
    */
    inline juce::Colour boxGold() noexcept { return juce::Colours::gold; }

    /** What a choice box and its list are set to, colour ID by colour ID: a black face with
        white text, and the highlighted item black on the named gold.
    */
    inline std::array<std::pair<int, juce::Colour>, 9> choiceBox()
    {
        return { {
            { juce::ComboBox::backgroundColourId, panel() },
            { juce::ComboBox::outlineColourId, boxGold() },
            { juce::ComboBox::textColourId, text() },
            { juce::ComboBox::arrowColourId, boxGold() },
            { juce::ComboBox::buttonColourId, panel() },
            { juce::PopupMenu::backgroundColourId, panel() },
            { juce::PopupMenu::highlightedBackgroundColourId, boxGold() },
            { juce::PopupMenu::highlightedTextColourId, panel() },
            { juce::PopupMenu::textColourId, text() },
        } };
    }
} // namespace HalvoraColours
} // namespace halvora
