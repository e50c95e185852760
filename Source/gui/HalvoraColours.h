#pragma once

#include "HalvoraVocabulary.h"

#include <juce_graphics/juce_graphics.h>

namespace HalvoraColours
{
/** The product gold of titles, knobs, lists, buttons and faders. Not juce::Colours::gold,
    which only the choice boxes' outline, arrow and highlight use.
*/
inline juce::Colour gold() noexcept { return juce::Colour (halvora::productGoldArgb); }
}
