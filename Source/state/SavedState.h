#pragma once

#include "StateDocument.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>

//==============================================================================
/** Reading a saved state back: from the bytes a host hands over to the value tree the
    value-tree state takes, by way of Halvora's own schema, so that no outside text ever
    reaches a generic reader.
*/
namespace halvora::SavedState
{
/** Unframes a saved block (StateFraming::unframe) and reads its text. Nothing, if the
        framing or the text is not a state of ours.
    */
std::optional<StateDocument> readStateBlock (const void* data, int sizeInBytes);

/** The value tree a restore hands to the value-tree state: the document's root name, one
        "PARAM" child per parameter it names, in its order, with the value clamped to the
        parameter's range (NaN and text that is no number read as 0, no value as the
        default), then a child holding the current value for every parameter it leaves out.
    */
juce::ValueTree makeRestoredState (const StateDocument& document, const juce::Array<juce::AudioProcessorParameter*>& params);
} // namespace halvora::SavedState
