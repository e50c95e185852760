#include "StateFile.h"
#include "OutputFiles.h"

#include "PluginProcessor.h"
#include "state/AUPresetState.h"
#include "state/PropertyList.h"

namespace halvora
{

namespace
{
    bool isAUPresetPath (const juce::String& path)
    {
        return path.endsWithIgnoreCase (".aupreset");
    }
} // namespace

std::optional<Failure> readStateFile (juce::AudioProcessor& processor, const juce::String& path)
{
    const juce::File file (juce::File::getCurrentWorkingDirectory().getChildFile (path));
    juce::MemoryBlock data;

    if (! file.existsAsFile() || file.getSize() > static_cast<juce::int64> (PropertyList::maxDocumentSize)
        || ! file.loadFileAsData (data))
        return Failure { exitFileError, "cannot read state file '" + path + "'" };

    // A preset's state is the same block a raw state file holds, checked the same way.
    if (isAUPresetPath (path) || AUPresetState::looksLikePropertyList (data.getData(), data.getSize()))
    {
        auto preset = AUPresetState::readPropertyList (AUPresetState::halvoraDescription(), data.getData(), data.getSize());

        if (! preset)
            return Failure { exitFileError, "'" + path + "' is not a Halvora .aupreset" };

        if (preset->state.isEmpty())
            return Failure { exitFileError, "'" + path + "' holds no saved Halvora state" };

        data = std::move (preset->state);
    }

    if (! HalvoraAudioProcessor::isReadableState (data.getData(), static_cast<int> (data.getSize())))
        return Failure { exitFileError, "'" + path + "' is not a saved Halvora state" };

    processor.setStateInformation (data.getData(), static_cast<int> (data.getSize()));
    return std::nullopt;
}

std::optional<Failure> writeStateFile (juce::AudioProcessor& processor, const juce::String& path)
{
    const auto target = juce::File::getCurrentWorkingDirectory().getChildFile (path);

    if (isAUPresetPath (path))
    {
        const auto dictionary = AUPresetState::makeDictionary (processor, AUPresetState::halvoraDescription(),
                                                               target.getFileNameWithoutExtension());
        const auto text = PropertyList::write (dictionary).toStdString();
        return writeFile (target, text.data(), text.size());
    }

    juce::MemoryBlock data;
    processor.getStateInformation (data);
    return writeFile (target, data.getData(), data.getSize());
}

} // namespace halvora
