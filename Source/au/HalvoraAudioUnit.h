#pragma once

#include "AudioUnitAPI.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <string>
#include <vector>

//==============================================================================
/** One Audio Unit instance around the processor: what a music-device component
    answers to its host. The exported factories hand out records whose methods land here.
*/
class HalvoraAudioUnit final
{
public:
    explicit HalvoraAudioUnit (const AudioComponentDescription&);
    ~HalvoraAudioUnit();

    OSStatus initialize();
    OSStatus uninitialize();

    OSStatus getPropertyInfo (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32* outDataSize, Boolean* outWritable);
    OSStatus getProperty (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void* outData, UInt32* ioDataSize);
    OSStatus setProperty (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void* inData, UInt32 inDataSize);

    OSStatus getParameter (AudioUnitParameterID, AudioUnitScope, AudioUnitElement, AudioUnitParameterValue* outValue);
    OSStatus setParameter (AudioUnitParameterID, AudioUnitScope, AudioUnitElement, AudioUnitParameterValue value);

    OSStatus render (AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32 outputBus, UInt32 numFrames, AudioBufferList* ioData);
    OSStatus reset (AudioUnitScope, AudioUnitElement);

    OSStatus midiEvent (UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame);
    OSStatus midiEventList (UInt32 offsetSampleFrame, const MIDIEventList*);
    OSStatus sysEx (const UInt8* data, UInt32 length);
    OSStatus startNote (MusicDeviceGroupID, NoteInstanceID* outNoteID, UInt32 offsetSampleFrame, const MusicDeviceNoteParams*);
    OSStatus stopNote (MusicDeviceGroupID, NoteInstanceID, UInt32 offsetSampleFrame);

    juce::AudioProcessor& getProcessor() noexcept { return *processor; }

    /** The parameter identifier the host sees: the ID string's hash with the top bit clear. */
    static AudioUnitParameterID parameterIdFor (const juce::String& parameterID) noexcept;

private:
    struct PublishedParameter
    {
        AudioUnitParameterID id = 0;
        juce::RangedAudioParameter* parameter = nullptr;
        int numChoices = 0;                       // 0 for a continuous parameter
        std::string name;
        std::vector<std::string> valueStrings;
        std::vector<CFStringRef> valueStringPointers;
        AUStringArray valueStringArray {};
    };

    PublishedParameter* findParameter (AudioUnitParameterID) noexcept;
    float toHostValue (const PublishedParameter&, float normalised) const noexcept;
    float fromHostValue (const PublishedParameter&, float hostValue) const noexcept;
    bool channelCountSupported (AudioUnitScope, UInt32 channels) const noexcept;
    int& channelsFor (AudioUnitScope) noexcept;
    void addMidi (const juce::MidiMessage&, UInt32 offsetSampleFrame);

    AudioComponentDescription description;
    std::unique_ptr<juce::AudioProcessor> processor;
    std::vector<PublishedParameter> parameters;
    std::vector<AudioUnitParameterID> parameterIds;
    std::vector<AUChannelInfo> channelInfos;

    bool initialised = false;
    Float64 sampleRate = 44100.0;
    UInt32 maxFramesPerSlice = 1156;
    int inputChannels = 2, outputChannels = 2;
    UInt32 bypass = 0;
    AURenderCallbackStruct inputCallback {};

    juce::AudioBuffer<float> renderBuffer;
    juce::HeapBlock<char> inputListStorage;
    juce::MidiBuffer midi;

    juce::String presetName { "Untitled" };
    std::string presetNameUtf8 { "Untitled" };
    AUPreset factoryPreset { 0, "Untitled" };
    AUPreset currentPreset { 0, "Untitled" };
    AUPresetArray factoryPresetArray { 1, &factoryPreset };
    std::string classInfoText;
    AUPropertyListData classInfoData {};
    std::string textScratch;
    std::string bundleLocation, viewClassName;

    JUCE_DECLARE_NON_COPYABLE (HalvoraAudioUnit)
};
