#pragma once

// The plug-in interface record a host holds for each instance, and the method table its
// Lookup hook hands out: the music device's selectors, as the base's music-device lookup
// answers them. The component's exported factories make these records; tests make them
// in-process to drive an instance exactly as a host does.

#include "state/AUPresetState.h"
#include "HalvoraAudioUnit.h"

namespace halvora::AUDispatch
{

struct PlugInRecord
{
    AudioComponentPlugInInterface interface; // first, so the record's address is the interface's
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> juce;
    std::unique_ptr<HalvoraAudioUnit> unit;
};

inline HalvoraAudioUnit* unitOf (void* self) noexcept
{
    auto* record = static_cast<PlugInRecord*> (self);
    return record != nullptr ? record->unit.get() : nullptr;
}

inline OSStatus open (void* self, AudioComponentInstance instance)
{
    auto* record = static_cast<PlugInRecord*> (self);

    if (record == nullptr || record->unit != nullptr)
        return kAudio_ParamError;

    try
    {
        record->juce = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
        record->unit = std::make_unique<HalvoraAudioUnit> (AUPresetState::halvoraDescription(), instance);
    }
    catch (...)
    {
        return kAudioUnitErr_FailedInitialization;
    }

    return noErr;
}

inline OSStatus close (void* self)
{
    auto* record = static_cast<PlugInRecord*> (self);

    if (record == nullptr)
        return kAudio_ParamError;

    record->unit.reset();
    delete record;
    return noErr;
}

/** Each method checks that the instance was opened, then forwards. */
template <typename... Args, typename... Passed>
OSStatus call (void* self, OSStatus (HalvoraAudioUnit::*method) (Args...), Passed... args)
{
    auto* unit = unitOf (self);
    return unit != nullptr ? (unit->*method) (args...) : kAudioUnitErr_Uninitialized;
}

inline OSStatus initialize (void* self) { return call (self, &HalvoraAudioUnit::initialize); }
inline OSStatus uninitialize (void* self) { return call (self, &HalvoraAudioUnit::uninitialize); }

inline OSStatus getPropertyInfo (void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                 UInt32* size, Boolean* writable)
{
    return call (self, &HalvoraAudioUnit::getPropertyInfo, id, scope, element, size, writable);
}

inline OSStatus getProperty (void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             void* data, UInt32* size)
{
    return call (self, &HalvoraAudioUnit::getProperty, id, scope, element, data, size);
}

inline OSStatus setProperty (void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             const void* data, UInt32 size)
{
    return call (self, &HalvoraAudioUnit::setProperty, id, scope, element, data, size);
}

inline OSStatus addPropertyListener (void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* userData)
{
    return call (self, &HalvoraAudioUnit::addPropertyListener, id, proc, userData);
}

/** The older form removes every registration of the function for the property. */
inline OSStatus removePropertyListener (void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc)
{
    return call (self, &HalvoraAudioUnit::removePropertyListener, id, proc, static_cast<void*> (nullptr), false);
}

inline OSStatus removePropertyListenerWithUserData (void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                                    void* userData)
{
    return call (self, &HalvoraAudioUnit::removePropertyListener, id, proc, userData, true);
}

inline OSStatus addRenderNotify (void* self, AURenderCallback proc, void* userData)
{
    return call (self, &HalvoraAudioUnit::addRenderNotify, proc, userData);
}

inline OSStatus removeRenderNotify (void* self, AURenderCallback proc, void* userData)
{
    return call (self, &HalvoraAudioUnit::removeRenderNotify, proc, userData);
}

inline OSStatus getParameter (void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                              AudioUnitParameterValue* value)
{
    return call (self, &HalvoraAudioUnit::getParameter, id, scope, element, value);
}

inline OSStatus setParameter (void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                              AudioUnitParameterValue value, UInt32)
{
    return call (self, &HalvoraAudioUnit::setParameter, id, scope, element, value);
}

inline OSStatus scheduleParameters (void* self, const AudioUnitParameterEvent* events, UInt32 numEvents)
{
    return call (self, &HalvoraAudioUnit::scheduleParameters, events, numEvents);
}

inline OSStatus render (void* self, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp, UInt32 bus,
                        UInt32 frames, AudioBufferList* data)
{
    return call (self, &HalvoraAudioUnit::render, flags, timeStamp, bus, frames, data);
}

inline OSStatus reset (void* self, AudioUnitScope scope, AudioUnitElement element)
{
    return call (self, &HalvoraAudioUnit::reset, scope, element);
}

inline OSStatus midiEvent (void* self, UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
{
    return call (self, &HalvoraAudioUnit::midiEvent, status, data1, data2, offset);
}

inline OSStatus midiEventList (void* self, UInt32 offset, const MIDIEventList* list)
{
    return call (self, &HalvoraAudioUnit::midiEventList, offset, list);
}

inline OSStatus sysEx (void* self, const UInt8* data, UInt32 length)
{
    return call (self, &HalvoraAudioUnit::sysEx, data, length);
}

inline OSStatus prepareOrReleaseInstrument (void* self, MusicDeviceInstrumentID)
{
    return unitOf (self) != nullptr ? noErr : kAudioUnitErr_Uninitialized;
}

inline OSStatus startNote (void* self, MusicDeviceInstrumentID, MusicDeviceGroupID group, NoteInstanceID* noteID,
                           UInt32 offset, const MusicDeviceNoteParams* params)
{
    return call (self, &HalvoraAudioUnit::startNote, group, noteID, offset, params);
}

inline OSStatus stopNote (void* self, MusicDeviceGroupID group, NoteInstanceID noteID, UInt32 offset)
{
    return call (self, &HalvoraAudioUnit::stopNote, group, noteID, offset);
}

template <typename Function>
AudioComponentMethod method (Function f) noexcept
{
    return reinterpret_cast<AudioComponentMethod> (f);
}

/** Every selector of the component interface and the music device. ComplexRender, Process
    and ProcessMultiple belong to format converters and in-place offline units: a music
    device offers no method for them, so a host asking whether the instance can do them
    hears no, and a call gets badComponentSelector from the host's dispatcher.
*/
inline AudioComponentMethod lookup (SInt16 selector)
{
    switch (selector)
    {
        case kAudioUnitInitializeSelect: return method (&initialize);
        case kAudioUnitUninitializeSelect: return method (&uninitialize);
        case kAudioUnitGetPropertyInfoSelect: return method (&getPropertyInfo);
        case kAudioUnitGetPropertySelect: return method (&getProperty);
        case kAudioUnitSetPropertySelect: return method (&setProperty);
        case kAudioUnitAddPropertyListenerSelect: return method (&addPropertyListener);
        case kAudioUnitRemovePropertyListenerSelect: return method (&removePropertyListener);
        case kAudioUnitRemovePropertyListenerWithUserDataSelect: return method (&removePropertyListenerWithUserData);
        case kAudioUnitAddRenderNotifySelect: return method (&addRenderNotify);
        case kAudioUnitRemoveRenderNotifySelect: return method (&removeRenderNotify);
        case kAudioUnitGetParameterSelect: return method (&getParameter);
        case kAudioUnitSetParameterSelect: return method (&setParameter);
        case kAudioUnitScheduleParametersSelect: return method (&scheduleParameters);
        case kAudioUnitRenderSelect: return method (&render);
        case kAudioUnitResetSelect: return method (&reset);
        case kMusicDeviceMIDIEventSelect: return method (&midiEvent);
        case kMusicDeviceMIDIEventListSelect: return method (&midiEventList);
        case kMusicDeviceSysExSelect: return method (&sysEx);
        case kMusicDevicePrepareInstrumentSelect: return method (&prepareOrReleaseInstrument);
        case kMusicDeviceReleaseInstrumentSelect: return method (&prepareOrReleaseInstrument);
        case kMusicDeviceStartNoteSelect: return method (&startNote);
        case kMusicDeviceStopNoteSelect: return method (&stopNote);
        default: return nullptr;
    }
}

/** A fresh record; its Open hook creates the instance, Close destroys it and frees the record. */
inline AudioComponentPlugInInterface* makeRecord()
{
    auto* record = new PlugInRecord();
    record->interface = { &open, &close, &lookup, nullptr };
    return &record->interface;
}

} // namespace halvora::AUDispatch
