#include "AUPresetState.h"
#include "PropertyList.h"

namespace AUPresetState
{

namespace
{
    // The base's saved-state version; anything else is not a preset it understands.
    constexpr juce::int64 savedStateVersion = 0;

    std::optional<juce::int64> integerEntry (const juce::DynamicObject& dictionary, const char* key)
    {
        const auto& value = dictionary.getProperty (key);

        if (value.isInt() || value.isInt64())
            return static_cast<juce::int64> (value);

        return std::nullopt;
    }

    /** Hosts write the four-character codes as signed 32-bit numbers, so a code with its
        top bit set may come back negative.
    */
    bool isCode (const std::optional<juce::int64>& value, OSType code) noexcept
    {
        return value && (*value == static_cast<juce::int64> (code) || *value == static_cast<juce::int64> (static_cast<SInt32> (code)));
    }

    OSStatus restore (juce::AudioProcessor& processor, const std::optional<Contents>& contents, juce::String* presetName)
    {
        if (! contents)
            return kAudioUnitErr_InvalidPropertyValue;

        if (presetName != nullptr)
            *presetName = contents->name;

        if (contents->state.getSize() > 0)
            processor.setStateInformation (contents->state.getData(), static_cast<int> (contents->state.getSize()));

        return noErr;
    }
} // namespace

AudioComponentDescription halvoraDescription() noexcept
{
    return { kAudioUnitType_MusicDevice, fourCharCode ("Hlv1"), fourCharCode ("Hlvr"), 0, 0 };
}

juce::var makeDictionary (juce::AudioProcessor& processor, const AudioComponentDescription& description,
                          const juce::String& presetName)
{
    auto dictionary = std::make_unique<juce::DynamicObject>();
    dictionary->setProperty ("version", savedStateVersion);
    dictionary->setProperty ("type", static_cast<juce::int64> (description.componentType));
    dictionary->setProperty ("subtype", static_cast<juce::int64> (description.componentSubType));
    dictionary->setProperty ("manufacturer", static_cast<juce::int64> (description.componentManufacturer));

    // The base's own parameter block; the processor's state below carries everything.
    dictionary->setProperty ("data", juce::MemoryBlock (4, true));
    dictionary->setProperty ("name", presetName);

    juce::MemoryBlock state;
    processor.getStateInformation (state);

    if (state.getSize() > 0)
        dictionary->setProperty ("jucePluginState", state);

    return juce::var (dictionary.release());
}

std::optional<Contents> readDictionary (const AudioComponentDescription& description, const juce::var& value)
{
    auto* dictionary = value.getDynamicObject();

    if (dictionary == nullptr)
        return std::nullopt;

    // As the base checks it: a whole-unit state (no "part" entry) of the version it knows,
    // saved by a component with this subtype and manufacturer. The type is not checked, as
    // the same unit may be registered as more than one kind.
    const auto version = integerEntry (*dictionary, "version");

    if (dictionary->hasProperty ("part") || ! version || *version != savedStateVersion
        || ! isCode (integerEntry (*dictionary, "subtype"), description.componentSubType)
        || ! isCode (integerEntry (*dictionary, "manufacturer"), description.componentManufacturer))
        return std::nullopt;

    Contents contents;
    contents.name = dictionary->getProperty ("name").isString() ? dictionary->getProperty ("name").toString() : juce::String ("Untitled");

    // An empty block is no state at all (and is not copied: the framework would hand its
    // null data to memcpy).
    if (auto* state = dictionary->getProperty ("jucePluginState").getBinaryData())
        if (state->getSize() > 0 && state->getSize() < static_cast<size_t> (std::numeric_limits<int>::max()))
            contents.state = *state;

    return contents;
}

std::optional<Contents> readPropertyList (const AudioComponentDescription& description, const void* data, size_t size)
{
    juce::String error;
    const auto dictionary = PropertyList::parse (data, size, error);

    if (dictionary.isVoid())
        return std::nullopt;

    return readDictionary (description, dictionary);
}

OSStatus restoreDictionary (juce::AudioProcessor& processor, const AudioComponentDescription& description,
                            const juce::var& value, juce::String* presetName)
{
    return restore (processor, readDictionary (description, value), presetName);
}

OSStatus restoreFromPropertyList (juce::AudioProcessor& processor, const AudioComponentDescription& description,
                                  const void* data, size_t size, juce::String* presetName)
{
    return restore (processor, readPropertyList (description, data, size), presetName);
}

bool looksLikePropertyList (const void* data, size_t size) noexcept
{
    const auto* bytes = static_cast<const char*> (data);
    size_t i = 0;

    while (i < size && juce::CharacterFunctions::isWhitespace (bytes[i]))
        ++i;

    return size - i >= 5 && std::memcmp (bytes + i, "<?xml", 5) == 0;
}

} // namespace AUPresetState
