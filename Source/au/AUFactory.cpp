// The component's two exported entry points. Each returns a fresh plug-in interface
// record; its Open hook creates the instance, Close destroys it and frees the record,
// and Lookup hands out the music-device methods.

#include "AUPresetState.h"
#include "HalvoraAudioUnit.h"

namespace
{
    struct PlugInRecord
    {
        AudioComponentPlugInInterface interface;   // first, so the record's address is the interface's
        std::unique_ptr<juce::ScopedJuceInitialiser_GUI> juce;
        std::unique_ptr<HalvoraAudioUnit> unit;
    };

    HalvoraAudioUnit* unitOf (void* self) noexcept
    {
        auto* record = static_cast<PlugInRecord*> (self);
        return record != nullptr ? record->unit.get() : nullptr;
    }

    OSStatus open (void* self, AudioComponentInstance)
    {
        auto* record = static_cast<PlugInRecord*> (self);

        if (record == nullptr || record->unit != nullptr)
            return kAudio_ParamError;

        try
        {
            record->juce = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
            record->unit = std::make_unique<HalvoraAudioUnit> (AUPresetState::halvoraDescription());
        }
        catch (...)
        {
            return kAudioUnitErr_FailedInitialization;
        }

        return noErr;
    }

    OSStatus close (void* self)
    {
        auto* record = static_cast<PlugInRecord*> (self);
        record->unit.reset();
        delete record;
        return noErr;
    }

    // Each method checks that the instance was opened, then forwards.
    template <typename... Args, typename... Passed>
    OSStatus call (void* self, OSStatus (HalvoraAudioUnit::*method) (Args...), Passed... args)
    {
        auto* unit = unitOf (self);
        return unit != nullptr ? (unit->*method) (args...) : kAudioUnitErr_Uninitialized;
    }

    OSStatus initialize (void* self) { return call (self, &HalvoraAudioUnit::initialize); }
    OSStatus uninitialize (void* self) { return call (self, &HalvoraAudioUnit::uninitialize); }

    OSStatus getPropertyInfo (void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                              UInt32* size, Boolean* writable)
    {
        return call (self, &HalvoraAudioUnit::getPropertyInfo, id, scope, element, size, writable);
    }

    OSStatus getProperty (void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                          void* data, UInt32* size)
    {
        return call (self, &HalvoraAudioUnit::getProperty, id, scope, element, data, size);
    }

    OSStatus setProperty (void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                          const void* data, UInt32 size)
    {
        return call (self, &HalvoraAudioUnit::setProperty, id, scope, element, data, size);
    }

    OSStatus getParameter (void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                           AudioUnitParameterValue* value)
    {
        return call (self, &HalvoraAudioUnit::getParameter, id, scope, element, value);
    }

    OSStatus setParameter (void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                           AudioUnitParameterValue value, UInt32)
    {
        return call (self, &HalvoraAudioUnit::setParameter, id, scope, element, value);
    }

    OSStatus render (void* self, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp, UInt32 bus,
                     UInt32 frames, AudioBufferList* data)
    {
        return call (self, &HalvoraAudioUnit::render, flags, timeStamp, bus, frames, data);
    }

    OSStatus reset (void* self, AudioUnitScope scope, AudioUnitElement element)
    {
        return call (self, &HalvoraAudioUnit::reset, scope, element);
    }

    OSStatus midiEvent (void* self, UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
    {
        return call (self, &HalvoraAudioUnit::midiEvent, status, data1, data2, offset);
    }

    OSStatus midiEventList (void* self, UInt32 offset, const MIDIEventList* list)
    {
        return call (self, &HalvoraAudioUnit::midiEventList, offset, list);
    }

    OSStatus sysEx (void* self, const UInt8* data, UInt32 length)
    {
        return call (self, &HalvoraAudioUnit::sysEx, data, length);
    }

    OSStatus prepareOrReleaseInstrument (void* self, MusicDeviceInstrumentID)
    {
        return unitOf (self) != nullptr ? noErr : kAudioUnitErr_Uninitialized;
    }

    OSStatus startNote (void* self, MusicDeviceInstrumentID, MusicDeviceGroupID group, NoteInstanceID* noteID,
                        UInt32 offset, const MusicDeviceNoteParams* params)
    {
        return call (self, &HalvoraAudioUnit::startNote, group, noteID, offset, params);
    }

    OSStatus stopNote (void* self, MusicDeviceGroupID group, NoteInstanceID noteID, UInt32 offset)
    {
        return call (self, &HalvoraAudioUnit::stopNote, group, noteID, offset);
    }

    template <typename Function>
    AudioComponentMethod method (Function f) noexcept
    {
        return reinterpret_cast<AudioComponentMethod> (f);
    }

    AudioComponentMethod lookup (SInt16 selector)
    {
        switch (selector)
        {
            case kAudioUnitInitializeSelect:            return method (&initialize);
            case kAudioUnitUninitializeSelect:          return method (&uninitialize);
            case kAudioUnitGetPropertyInfoSelect:       return method (&getPropertyInfo);
            case kAudioUnitGetPropertySelect:           return method (&getProperty);
            case kAudioUnitSetPropertySelect:           return method (&setProperty);
            case kAudioUnitGetParameterSelect:          return method (&getParameter);
            case kAudioUnitSetParameterSelect:          return method (&setParameter);
            case kAudioUnitRenderSelect:                return method (&render);
            case kAudioUnitResetSelect:                 return method (&reset);
            case kMusicDeviceMIDIEventSelect:           return method (&midiEvent);
            case kMusicDeviceMIDIEventListSelect:       return method (&midiEventList);
            case kMusicDeviceSysExSelect:               return method (&sysEx);
            case kMusicDevicePrepareInstrumentSelect:   return method (&prepareOrReleaseInstrument);
            case kMusicDeviceReleaseInstrumentSelect:   return method (&prepareOrReleaseInstrument);
            case kMusicDeviceStartNoteSelect:           return method (&startNote);
            case kMusicDeviceStopNoteSelect:            return method (&stopNote);
            default:                                    return nullptr;
        }
    }

    AudioComponentPlugInInterface* makeRecord()
    {
        auto* record = new PlugInRecord();
        record->interface = { &open, &close, &lookup, nullptr };
        return &record->interface;
    }
} // namespace

// The description is not needed: both entry points make the same Halvora instance.
extern "C" __attribute__ ((visibility ("default"))) AudioComponentPlugInInterface* HalvoraAUFactory (const AudioComponentDescription*)
{
    return makeRecord();
}

extern "C" __attribute__ ((visibility ("default"))) AudioComponentPlugInInterface* JuceAUFactory (const AudioComponentDescription*)
{
    return makeRecord();
}
