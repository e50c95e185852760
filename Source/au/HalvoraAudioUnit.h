#pragma once

#include "AudioUnitAPI.h"
#include "MidiEventQueue.h"
#include "RenderNotifyList.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

//==============================================================================
/** One Audio Unit instance around the processor: what a music-device component
    answers to its host. The exported factories hand out records whose methods land here.

    It listens to the processor and reports to the host what changes there: parameter
    moves made by the editor or a restored state go to the host's event listeners
    (AUEventListenerNotify), changes of properties to the property listeners the host added.
*/
class HalvoraAudioUnit final : private juce::AudioProcessorListener,
                               private juce::AsyncUpdater
{
public:
    /** `instance` is what the host's callbacks receive as the unit; without one, the
        object's own address stands in for it.
    */
    explicit HalvoraAudioUnit (const AudioComponentDescription&, AudioComponentInstance instance = nullptr);
    ~HalvoraAudioUnit() override;

    OSStatus initialize();
    OSStatus uninitialize();

    OSStatus getPropertyInfo (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32* outDataSize, Boolean* outWritable);
    OSStatus getProperty (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void* outData, UInt32* ioDataSize);
    OSStatus setProperty (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void* inData, UInt32 inDataSize);

    OSStatus addPropertyListener (AudioUnitPropertyID, AudioUnitPropertyListenerProc, void* userData);
    /** Without `userDataGiven`, every registration of the function for the property goes. */
    OSStatus removePropertyListener (AudioUnitPropertyID, AudioUnitPropertyListenerProc, void* userData, bool userDataGiven);

    OSStatus addRenderNotify (AURenderCallback, void* userData);
    OSStatus removeRenderNotify (AURenderCallback, void* userData);

    OSStatus getParameter (AudioUnitParameterID, AudioUnitScope, AudioUnitElement, AudioUnitParameterValue* outValue);
    OSStatus setParameter (AudioUnitParameterID, AudioUnitScope, AudioUnitElement, AudioUnitParameterValue value);
    OSStatus scheduleParameters (const AudioUnitParameterEvent*, UInt32 numEvents);

    OSStatus render (AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32 outputBus, UInt32 numFrames, AudioBufferList* ioData);
    OSStatus reset (AudioUnitScope, AudioUnitElement);

    OSStatus midiEvent (UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame);
    OSStatus midiEventList (UInt32 offsetSampleFrame, const MIDIEventList*);
    OSStatus sysEx (const UInt8* data, UInt32 length);
    OSStatus startNote (MusicDeviceGroupID, NoteInstanceID* outNoteID, UInt32 offsetSampleFrame, const MusicDeviceNoteParams*);
    OSStatus stopNote (MusicDeviceGroupID, NoteInstanceID, UInt32 offsetSampleFrame);

    juce::AudioProcessor& getProcessor() noexcept { return *processor; }

    /** The MIDI the last render handed to the processor; read it on the render thread, or
        while nothing renders.
    */
    const juce::MidiBuffer& getLastRenderedMidi() const noexcept { return midi; }

    /** The parameter identifier the host sees: the ID string's hash with the top bit clear. */
    static AudioUnitParameterID parameterIdFor (const juce::String& parameterID) noexcept;

private:
    struct PublishedParameter
    {
        AudioUnitParameterID id = 0;
        juce::RangedAudioParameter* parameter = nullptr;
        int numChoices = 0; // 0 for a continuous parameter
        std::string name;
        std::vector<std::string> valueStrings;
        std::vector<CFStringRef> valueStringPointers;
        AUStringArray valueStringArray {};
    };

    struct PropertyListener
    {
        AudioUnitPropertyID id;
        AudioUnitPropertyListenerProc proc;
        void* userData;
    };

    /** The properties in families, each answered by its own pair of helpers. */
    enum class PropertyFamily
    {
        format,
        parameters,
        presets,
        rendering,
        view,
        unknown
    };
    static PropertyFamily familyOf (AudioUnitPropertyID) noexcept;

    OSStatus getFormatProperty (AudioUnitPropertyID, AudioUnitScope, void* outData, UInt32* ioDataSize, UInt32 size);
    OSStatus setFormatProperty (AudioUnitPropertyID, AudioUnitScope, const void* inData, UInt32 inDataSize);
    AudioUnitParameterInfo parameterInfoFor (const PublishedParameter&) const noexcept;
    OSStatus getParameterProperty (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void* outData, UInt32* ioDataSize, UInt32 size);
    OSStatus getPresetProperty (AudioUnitPropertyID, void* outData, UInt32* ioDataSize);
    OSStatus setPresetProperty (AudioUnitPropertyID, const void* inData, UInt32 inDataSize);
    OSStatus getRenderingProperty (AudioUnitPropertyID, void* outData, UInt32* ioDataSize);
    OSStatus setRenderingProperty (AudioUnitPropertyID, AudioUnitElement, const void* inData, UInt32 inDataSize);
    OSStatus getViewProperty (void* outData, UInt32* ioDataSize);

    PublishedParameter* findParameter (AudioUnitParameterID) noexcept;
    float toHostValue (const PublishedParameter&, float normalised) const noexcept;
    float fromHostValue (const PublishedParameter&, float hostValue) const noexcept;
    void applyHostValue (PublishedParameter&, float hostValue);
    bool channelCountSupported (AudioUnitScope, UInt32 channels) const noexcept;
    int& channelsFor (AudioUnitScope) noexcept;
    OSStatus renderSlice (const AudioTimeStamp*, UInt32 numFrames, AudioBufferList* ioData);
    OSStatus addMidi (const juce::uint8* data, int size, UInt32 offsetSampleFrame);

    void propertyChanged (AudioUnitPropertyID, AudioUnitScope, AudioUnitElement);
    void sendParameterEvent (AudioUnitEventType, int parameterIndex);

    void audioProcessorParameterChanged (juce::AudioProcessor*, int parameterIndex, float newValue) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int parameterIndex) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int parameterIndex) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override;
    void handleAsyncUpdate() override;

    AudioComponentDescription description;
    AudioComponentInstance instance;
    std::unique_ptr<juce::AudioProcessor> processor;
    std::vector<PublishedParameter> parameters;
    std::vector<AudioUnitParameterID> parameterIds;
    std::vector<AudioUnitParameterID> idByIndex; // by the processor's parameter index
    std::vector<AUChannelInfo> channelInfos;

    bool initialised = false;
    Float64 sampleRate = 44100.0;
    UInt32 maxFramesPerSlice = 1156;
    int inputChannels = 2, outputChannels = 2;
    std::atomic<UInt32> bypass { 0 };
    AURenderCallbackStruct inputCallback {};

    std::mutex propertyListenerLock;
    std::vector<PropertyListener> propertyListeners;
    RenderNotifyList renderNotifies;

    // What the processor changed away from the message thread, for the message thread to report.
    enum ProcessorChange
    {
        latencyChange = 1,
        parameterInfoChange = 2,
        programChange = 4,
        stateChange = 8
    };
    std::atomic<int> pendingProcessorChanges { 0 };

    juce::AudioBuffer<float> renderBuffer;
    juce::HeapBlock<char> inputListStorage;
    MidiEventQueue midiQueue;
    std::atomic<bool> midiDiscardRequested { false };
    juce::MidiBuffer midi; // the render thread's

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
