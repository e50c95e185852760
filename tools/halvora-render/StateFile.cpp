#include "StateFile.h"
#include "OutputFiles.h"

#include "PluginProcessor.h"
#include "au/AUPresetState.h"
#include "au/PropertyList.h"

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

    if (isAUPresetPath (path) || AUPresetState::looksLikePropertyList (data.getData(), data.getSize()))
    {
        if (AUPresetState::restoreFromPropertyList (processor, AUPresetState::halvoraDescription(), data.getData(),
                                                    data.getSize())
            != noErr)
            return Failure { exitFileError, "'" + path + "' is not a Halvora .aupreset" };

        return std::nullopt;
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
