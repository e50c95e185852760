#pragma once

#include "au/AudioUnitAPI.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>

/** The Audio Unit preset dictionary: the base's standard keys ("version", "type",
    "subtype", "manufacturer", "name", "data") plus "jucePluginState", the processor's
    own saved state. In XML property-list form it is an .aupreset file.
*/
namespace AUPresetState
{
/** Halvora's component description: a music device, so it can take MIDI. */
AudioComponentDescription halvoraDescription() noexcept;

juce::var makeDictionary (juce::AudioProcessor&, const AudioComponentDescription&, const juce::String& presetName);

/** What a preset dictionary carries for Halvora: its name ("Untitled" without one) and the
    processor's saved block, its "jucePluginState" entry (empty when it has none).
*/
struct Contents
{
    juce::String name;
    juce::MemoryBlock state;
};

/** The contents of a dictionary the base would take: nothing for one from a component with
    another subtype or manufacturer, one of a part rather than the whole unit, or one
    without the standard entries; its type is not checked.
*/
std::optional<Contents> readDictionary (const AudioComponentDescription&, const juce::var& dictionary);

/** The same from .aupreset bytes; nothing for a malformed document too. */
std::optional<Contents> readPropertyList (const AudioComponentDescription&, const void* data, size_t size);

/** Restores a dictionary. A dictionary from a component with another subtype or
    manufacturer, one of a part rather than the whole unit, or one without the standard
    entries, is refused with kAudioUnitErr_InvalidPropertyValue and changes nothing; its
    type is not checked. A missing or empty "jucePluginState" restores nothing. The
    preset's name is its "name" entry, "Untitled" without one.
*/
OSStatus restoreDictionary (juce::AudioProcessor&, const AudioComponentDescription&, const juce::var& dictionary,
                            juce::String* presetName = nullptr);

/** The same from .aupreset bytes; malformed documents are refused the same way. */
OSStatus restoreFromPropertyList (juce::AudioProcessor&, const AudioComponentDescription&, const void* data,
                                  size_t size, juce::String* presetName = nullptr);

/** True if the bytes look like an XML property list rather than a raw state block. */
bool looksLikePropertyList (const void* data, size_t size) noexcept;
}
