// Presets and state: the factory preset, the present one, and the saved-state dictionary.

#include "state/AUPresetState.h"
#include "AUProperty.h"
#include "HalvoraAudioUnit.h"
#include "state/PropertyList.h"

OSStatus HalvoraAudioUnit::getPresetProperty (AudioUnitPropertyID id, void* outData, UInt32* ioDataSize)
{
    switch (id)
    {
        case kAudioUnitProperty_PresentPreset: return AUProperty::write (outData, ioDataSize, currentPreset);
        case kAudioUnitProperty_FactoryPresets: return AUProperty::write (outData, ioDataSize, &factoryPresetArray);

        case kAudioUnitProperty_ClassInfo:
        {
            const auto dictionary = AUPresetState::makeDictionary (*processor, description, presetName);
            classInfoText = PropertyList::write (dictionary).toStdString();
            classInfoData = { classInfoText.data(), static_cast<UInt32> (classInfoText.size()) };
            return AUProperty::write (outData, ioDataSize, classInfoData);
        }

        default:
            return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus HalvoraAudioUnit::setPresetProperty (AudioUnitPropertyID id, const void* inData, UInt32 inDataSize)
{
    using AUProperty::Taken;

    switch (id)
    {
        case kAudioUnitProperty_ClassInfo:
            return AUProperty::take<AUPropertyListData> (
                inData, inDataSize, kAudio_ParamError,
                [this] (const AUPropertyListData& list) {
                    if (list.bytes == nullptr)
                        return Taken::refusal (kAudio_ParamError);

                    auto name = presetName;
                    const auto status = AUPresetState::restoreFromPropertyList (*processor, description, list.bytes, list.size, &name);

                    if (status != noErr)
                        return Taken::refusal (status);

                    presetName = name;
                    presetNameUtf8 = name.toStdString();
                    currentPreset = { -1, presetNameUtf8.c_str() };
                    return Taken::change();
                },
                [this] {
                    // The parameters the restore moved were reported one by one as they moved;
                    // the preset's name and the saved state changed as a whole.
                    propertyChanged (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);
                    propertyChanged (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0);
                });

        case kAudioUnitProperty_PresentPreset:
            return AUProperty::take<AUPreset> (
                inData, inDataSize, kAudio_ParamError,
                [this] (const AUPreset& preset) {
                    // One factory preset, number 0; negative numbers name the host's own presets.
                    if (preset.presetNumber >= processor->getNumPrograms())
                        return Taken::refusal (kAudioUnitErr_InvalidPropertyValue);

                    if (preset.presetNumber >= 0)
                    {
                        processor->setCurrentProgram (preset.presetNumber);
                        currentPreset = factoryPreset;
                        presetName = factoryPreset.presetName;
                        return Taken::change();
                    }

                    // A host's own preset is known by its name.
                    if (preset.presetName == nullptr)
                        return Taken::refusal (kAudioUnitErr_InvalidPropertyValue);

                    presetName = juce::String::fromUTF8 (preset.presetName);
                    presetNameUtf8 = presetName.toStdString();
                    currentPreset = { preset.presetNumber, presetNameUtf8.c_str() };
                    return Taken::change();
                },
                [this] { propertyChanged (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0); });

        default:
            return kAudioUnitErr_PropertyNotWritable;
    }
}
