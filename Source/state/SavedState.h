#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

//==============================================================================
/** Reading a saved state back: the checks and repairs between the bytes a host hands over
    and the value-tree state that takes them.
*/
namespace SavedState
{
/** The first four bytes of the framework's binary framing of state text
        (copyXmlToBinary), read little-endian; the text's length follows.
    */
inline constexpr juce::uint32 binaryXmlMagic = 0x21324356;

/** The framework's XML reader runs past the end of text that is not well-formed
        UTF-8, and loops for ever on some processing instructions, so a block whose text
        could do either is refused before it gets there, as text that does not parse is.
        True for bytes without the framing: the framing check refuses them anyway.
    */
bool stateTextIsSafe (const void* data, int sizeInBytes);

/** Makes a restored state safe and complete before the value-tree state takes it:
        every value clamped to its parameter's range (NaN reads as 0), and a child holding
        the current value for every parameter the state leaves out.
    */
void sanitiseRestoredState (juce::ValueTree& state, const juce::Array<juce::AudioProcessorParameter*>& params);
}
