#pragma once

#include "Failure.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>

namespace halvora
{

/** Restores a raw state block, or the state inside an .aupreset property list (by
    extension or content), from a file named relative to the working folder. Either is
    refused whole unless the processor reads its state block.
*/
std::optional<Failure> readStateFile (juce::AudioProcessor& processor, const juce::String& path);

/** Saves the processor's state: as an .aupreset property list when the name ends so, else
    as the raw state block.
*/
std::optional<Failure> writeStateFile (juce::AudioProcessor& processor, const juce::String& path);

} // namespace halvora
