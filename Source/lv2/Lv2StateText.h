#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>
#include <string>

/** The state an LV2 host keeps for Halvora: the text of the processor's state document, and
    the way back from it (and from the first bundle's base64 string) to the block the
    processor's restore reads.
*/
namespace halvora::lv2::Lv2StateText
{
/** The state document inside a block the processor saved, as the text an LV2 host keeps. */
std::string textOf (const juce::MemoryBlock& savedBlock);

/** The saved text (a trailing zero byte allowed) framed as the processor's restore reads it;
    nothing if it is longer than a block can be.
*/
std::optional<juce::MemoryBlock> frame (const char* text, std::size_t size);

/** The first bundle's state: the framework's size-prefixed base64 of the processor's block;
    nothing if what it decodes to is not a framed state.
*/
std::optional<juce::MemoryBlock> decodeLegacy (const char* text, std::size_t size);
} // namespace halvora::lv2::Lv2StateText
