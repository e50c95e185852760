// The Audio Unit layer's surface beyond properties and parameters, driven as a host drives
// it: the selector table, property listeners, render notifications, scheduled parameters,
// the parameter changes it reports to the host, MIDI, and values no host should send.

#include "editor/EditorFixture.h"
#include "audiounit/AudioUnitHost.h"

#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace ParamID = halvora::ParamID;

using testhost::HostedUnit;

namespace
{

const auto& parameterIds = halvora::parameterIDs;

AudioUnitParameterID idOf (const char* id) { return HalvoraAudioUnit::parameterIdFor (id); }

//==============================================================================
struct SelectorRow
{
    const char* name;
    SInt16 selector;
    bool answered;
    // Calls the method handed out with harmless arguments; what it must return.
    std::function<OSStatus (HostedUnit&, AudioComponentMethod)> call;
    OSStatus expected;
};

template <typename Proc>
Proc as (AudioComponentMethod m) { return reinterpret_cast<Proc> (m); }

void* self (HostedUnit& u) { return &u.interface(); }

class SelectorTable : public testing::TestWithParam<SelectorRow>
{
};

TEST_P (SelectorTable, AnswersWithTheMethodOrWithNone)
{
    const auto& row = GetParam();
    HostedUnit unit;
    const auto found = unit.interface().Lookup (row.selector);

    ASSERT_EQ (found != nullptr, row.answered);

    if (row.answered)
    {
        EXPECT_EQ (row.call (unit, found), row.expected);
    }
}

const float half = 0.5f;
const MusicDeviceNoteParams note { 2, 60.0f, 100.0f };

// Each selector's method called with harmless arguments.
OSStatus callInitialize (HostedUnit& u, AudioComponentMethod m) { return as<AudioUnitInitializeProc> (m) (self (u)); }

OSStatus callUninitialize (HostedUnit& u, AudioComponentMethod m) { return as<AudioUnitUninitializeProc> (m) (self (u)); }

OSStatus callGetPropertyInfo (HostedUnit& u, AudioComponentMethod m)
{
    UInt32 size = 0;
    const auto status = as<AudioUnitGetPropertyInfoProc> (m) (self (u), kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &size, nullptr);
    return status == noErr && size == 8 ? noErr : -1;
}

OSStatus callGetProperty (HostedUnit& u, AudioComponentMethod m)
{
    Float64 v = -1;
    UInt32 size = 8;
    return as<AudioUnitGetPropertyProc> (m) (self (u), kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &v, &size);
}

OSStatus callSetProperty (HostedUnit& u, AudioComponentMethod m)
{
    const UInt32 off = 0;
    return as<AudioUnitSetPropertyProc> (m) (self (u), kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &off, 4);
}

OSStatus callGetParameter (HostedUnit& u, AudioComponentMethod m)
{
    float v = -1;
    return as<AudioUnitGetParameterProc> (m) (self (u), idOf (ParamID::gain), kAudioUnitScope_Global, 0, &v);
}

OSStatus callSetParameter (HostedUnit& u, AudioComponentMethod m)
{
    return as<AudioUnitSetParameterProc> (m) (self (u), idOf (ParamID::gain), kAudioUnitScope_Global, 0, half, 0);
}

OSStatus callReset (HostedUnit& u, AudioComponentMethod m) { return as<AudioUnitResetProc> (m) (self (u), kAudioUnitScope_Global, 0); }

OSStatus callAddPropertyListener (HostedUnit& u, AudioComponentMethod m)
{
    return as<AudioUnitAddPropertyListenerProc> (m) (self (u), kAudioUnitProperty_Latency, nullptr, nullptr);
}

OSStatus callRemovePropertyListener (HostedUnit& u, AudioComponentMethod m)
{
    return as<AudioUnitRemovePropertyListenerProc> (m) (self (u), kAudioUnitProperty_Latency, nullptr);
}

OSStatus callRemovePropertyListenerWithUserData (HostedUnit& u, AudioComponentMethod m)
{
    return as<AudioUnitRemovePropertyListenerWithUserDataProc> (m) (self (u), kAudioUnitProperty_Latency, nullptr, nullptr);
}

OSStatus callRender (HostedUnit& u, AudioComponentMethod m) { return as<AudioUnitRenderProc> (m) (self (u), nullptr, nullptr, 0, 512, nullptr); }

OSStatus callAddRenderNotify (HostedUnit& u, AudioComponentMethod m) { return as<AudioUnitAddRenderNotifyProc> (m) (self (u), nullptr, nullptr); }

OSStatus callRemoveRenderNotify (HostedUnit& u, AudioComponentMethod m)
{
    return as<AudioUnitRemoveRenderNotifyProc> (m) (self (u), nullptr, nullptr);
}

OSStatus callScheduleParameters (HostedUnit& u, AudioComponentMethod m) { return as<AudioUnitScheduleParametersProc> (m) (self (u), nullptr, 1); }

OSStatus callMIDIEvent (HostedUnit& u, AudioComponentMethod m) { return as<MusicDeviceMIDIEventProc> (m) (self (u), 0x90, 60, 100, 0); }

OSStatus callSysEx (HostedUnit& u, AudioComponentMethod m) { return as<MusicDeviceSysExProc> (m) (self (u), nullptr, 0); }

OSStatus callPrepareInstrument (HostedUnit& u, AudioComponentMethod m) { return as<MusicDevicePrepareInstrumentProc> (m) (self (u), 0); }

OSStatus callReleaseInstrument (HostedUnit& u, AudioComponentMethod m) { return as<MusicDeviceReleaseInstrumentProc> (m) (self (u), 0); }

OSStatus callStartNote (HostedUnit& u, AudioComponentMethod m)
{
    NoteInstanceID id = 0;
    return as<MusicDeviceStartNoteProc> (m) (self (u), 0, 0, &id, 0, &note) == noErr && id == 60 ? noErr : -1;
}

OSStatus callStopNote (HostedUnit& u, AudioComponentMethod m) { return as<MusicDeviceStopNoteProc> (m) (self (u), 0, 60, 0); }

OSStatus callMIDIEventList (HostedUnit& u, AudioComponentMethod m) { return as<MusicDeviceMIDIEventListProc> (m) (self (u), 0, nullptr); }

const SelectorRow selectorRows[] {
    { "Initialize", kAudioUnitInitializeSelect, true, callInitialize, noErr },
    { "Uninitialize", kAudioUnitUninitializeSelect, true, callUninitialize, noErr },
    { "GetPropertyInfo", kAudioUnitGetPropertyInfoSelect, true, callGetPropertyInfo, noErr },
    { "GetProperty", kAudioUnitGetPropertySelect, true, callGetProperty, noErr },
    { "SetProperty", kAudioUnitSetPropertySelect, true, callSetProperty, noErr },
    { "GetParameter", kAudioUnitGetParameterSelect, true, callGetParameter, noErr },
    { "SetParameter", kAudioUnitSetParameterSelect, true, callSetParameter, noErr },
    { "Reset", kAudioUnitResetSelect, true, callReset, noErr },
    { "AddPropertyListener", kAudioUnitAddPropertyListenerSelect, true, callAddPropertyListener, kAudio_ParamError },
    { "RemovePropertyListener", kAudioUnitRemovePropertyListenerSelect, true, callRemovePropertyListener, noErr },
    { "RemovePropertyListenerWithUserData", kAudioUnitRemovePropertyListenerWithUserDataSelect, true, callRemovePropertyListenerWithUserData, noErr },
    { "Render", kAudioUnitRenderSelect, true, callRender, kAudioUnitErr_Uninitialized },
    { "AddRenderNotify", kAudioUnitAddRenderNotifySelect, true, callAddRenderNotify, kAudio_ParamError },
    { "RemoveRenderNotify", kAudioUnitRemoveRenderNotifySelect, true, callRemoveRenderNotify, noErr },
    { "ScheduleParameters", kAudioUnitScheduleParametersSelect, true, callScheduleParameters, kAudio_ParamError },
    { "ComplexRender", kAudioUnitComplexRenderSelect, false, {}, noErr },
    { "Process", kAudioUnitProcessSelect, false, {}, noErr },
    { "ProcessMultiple", kAudioUnitProcessMultipleSelect, false, {}, noErr },
    { "MIDIEvent", kMusicDeviceMIDIEventSelect, true, callMIDIEvent, noErr },
    { "SysEx", kMusicDeviceSysExSelect, true, callSysEx, kAudio_ParamError },
    { "PrepareInstrument", kMusicDevicePrepareInstrumentSelect, true, callPrepareInstrument, noErr },
    { "ReleaseInstrument", kMusicDeviceReleaseInstrumentSelect, true, callReleaseInstrument, noErr },
    { "StartNote", kMusicDeviceStartNoteSelect, true, callStartNote, noErr },
    { "StopNote", kMusicDeviceStopNoteSelect, true, callStopNote, noErr },
    { "MIDIEventList", kMusicDeviceMIDIEventListSelect, true, callMIDIEventList, kAudio_ParamError },
};

INSTANTIATE_TEST_SUITE_P (EveryStandardSelector, SelectorTable, testing::ValuesIn (selectorRows),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (SelectorTable, UnknownSelectorsGetNothing)
{
    HostedUnit unit;

    // Selectors of other kinds of unit (output units' start and stop among them), retired
    // ones and numbers that name nothing.
    const SInt16 unknown[] { 0x0000, 0x0008, 0x000C, 0x000D, 0x0016, 0x0100, 0x0108, 0x0201, 0x0202, 0x7777, -1 };

    for (const auto selector : unknown)
        EXPECT_EQ (unit.interface().Lookup (selector), nullptr) << selector;
}

//==============================================================================
struct PropertyCall
{
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;

    bool operator== (const PropertyCall& o) const { return id == o.id && scope == o.scope && element == o.element; }
};

std::ostream& operator<< (std::ostream& os, const PropertyCall& c)
{
    return os << "{" << c.id << ", " << c.scope << ", " << c.element << "}";
}

/** A host that listens to every property the layer can change. */
struct PropertyWatcher
{
    explicit PropertyWatcher (HostedUnit& u)
        : unit (u)
    {
        auto add = unit.method<AudioUnitAddPropertyListenerProc> (kAudioUnitAddPropertyListenerSelect);
        for (auto id : watched)
            add (&unit.interface(), id, &heard, this);
    }

    ~PropertyWatcher()
    {
        auto remove = unit.method<AudioUnitRemovePropertyListenerWithUserDataProc> (kAudioUnitRemovePropertyListenerWithUserDataSelect);
        for (auto id : watched)
            remove (&unit.interface(), id, &heard, this);
    }

    static void heard (void* userData, AudioUnit from, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)
    {
        auto& self = *static_cast<PropertyWatcher*> (userData);
        EXPECT_EQ (from, self.unit.instance());
        self.calls.push_back ({ id, scope, element });
    }

    std::vector<PropertyCall> take() { return std::exchange (calls, {}); }

    static constexpr AudioUnitPropertyID watched[] {
        kAudioUnitProperty_ClassInfo, kAudioUnitProperty_SampleRate, kAudioUnitProperty_ParameterList,
        kAudioUnitProperty_ParameterInfo, kAudioUnitProperty_StreamFormat, kAudioUnitProperty_ElementCount,
        kAudioUnitProperty_Latency, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitProperty_TailTime,
        kAudioUnitProperty_BypassEffect, kAudioUnitProperty_SetRenderCallback, kAudioUnitProperty_FactoryPresets,
        kAudioUnitProperty_PresentPreset, kAudioUnitProperty_SupportedNumChannels
    };

    HostedUnit& unit;
    std::vector<PropertyCall> calls;
};

AudioStreamBasicDescription formatOf (int channels, Float64 rate)
{
    return { rate, kAudioFormatLinearPCM, kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved,
             4, 1, 4, static_cast<UInt32> (channels), 32, 0 };
}

struct PropertyCase
{
    const char* what;
    std::function<void (HostedUnit&)> act;
    std::vector<PropertyCall> expected;
};

class PropertyListeners : public testing::TestWithParam<PropertyCase>
{
};

TEST_P (PropertyListeners, HearExactlyWhatChanged)
{
    HostedUnit unit;
    PropertyWatcher watcher (unit);

    GetParam().act (unit);
    EXPECT_EQ (watcher.take(), GetParam().expected);
}

using juce::AudioProcessorListener;

/** An action that sets a property of element 0 to `value`, as a host does. */
template <typename Value>
std::function<void (HostedUnit&)> setting (AudioUnitPropertyID id, AudioUnitScope scope, Value value)
{
    return [=] (HostedUnit& u) { u.setProperty (id, scope, 0, &value, sizeof (value)); };
}

/** An action in which the processor tells its host what changed. */
std::function<void (HostedUnit&)> processorChanged (AudioProcessorListener::ChangeDetails details)
{
    return [=] (HostedUnit& u) { u.object().getProcessor().updateHostDisplay (details); };
}

using Details = AudioProcessorListener::ChangeDetails;

// What the listeners hear, property and scope (element 0 throughout).
const PropertyCall presentPreset { kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0 };
const PropertyCall classInfo { kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0 };
const PropertyCall inputFormat { kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0 };
const PropertyCall inputRate { kAudioUnitProperty_SampleRate, kAudioUnitScope_Input, 0 };
const PropertyCall outputFormat { kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0 };
const PropertyCall outputRate { kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0 };
const PropertyCall largestSlice { kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0 };
const PropertyCall bypass { kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0 };
const PropertyCall inputCallback { kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0 };
const PropertyCall latency { kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0 };
const PropertyCall parameterList { kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0 };
const PropertyCall parameterInfo { kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 0 };

// A new rate reaches both buses: each one's format, then its rate.
const std::vector<PropertyCall> bothBuses { inputFormat, inputRate, outputFormat, outputRate };

const PropertyCase propertyCases[] {
    { "factoryPresetChosen", setting (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, AUPreset { 0, nullptr }), { presentPreset } },
    { "hostPresetNamed", setting (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, AUPreset { -1, "Mine" }), { presentPreset } },
    { "refusedPreset", setting (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, AUPreset { 3, nullptr }), {} },
    { "hostPresetWithoutName", setting (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, AUPreset { -1, nullptr }), {} },
    { "presetRestored", [] (HostedUnit& u) { u.restorePreset (u.savePreset()); }, { presentPreset, classInfo } },
    { "presetRefused", [] (HostedUnit& u) { u.restorePreset ("<?xml version=\"1.0\"?><plist><dict/></plist>"); }, {} },
    { "sampleRate", setting (kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, Float64 { 48000.0 }), bothBuses },
    { "sameSampleRate", setting (kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, Float64 { 44100.0 }), {} },
    { "refusedSampleRate", setting (kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, Float64 { 0.0 }), {} },
    { "inputChannels", setting (kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, formatOf (1, 44100.0)), { inputFormat } },
    { "outputChannelsAndRate", setting (kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, formatOf (1, 96000.0)), bothBuses },
    { "refusedFormat", setting (kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, formatOf (6, 44100.0)), {} },
    { "largestSlice", setting (kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, UInt32 { 512 }), { largestSlice } },
    { "sameLargestSlice", setting (kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, UInt32 { 1156 }), {} },
    { "bypass", setting (kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, UInt32 { 1 }), { bypass } },
    { "inputCallback", setting (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, AURenderCallbackStruct {}), { inputCallback } },
    { "parameterSetByHost", [] (HostedUnit& u) { u.setParameter (ParamID::gain, 0.9f); }, {} },
    { "processorLatency", processorChanged (Details().withLatencyChanged (true)), { latency, classInfo } },
    { "processorParameterInfo", processorChanged (Details().withParameterInfoChanged (true)), { parameterList, parameterInfo, classInfo } },
    { "processorProgram", processorChanged (Details().withProgramChanged (true)), { classInfo, presentPreset } },
};

INSTANTIATE_TEST_SUITE_P (Table, PropertyListeners, testing::ValuesIn (propertyCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

//==============================================================================
struct ListenerLog
{
    static void record (void* userData, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
    {
        static_cast<ListenerLog*> (userData)->ids.push_back (id);
    }

    static void other (void* userData, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
    {
        static_cast<ListenerLog*> (userData)->otherIds.push_back (id);
    }

    std::vector<AudioUnitPropertyID> ids, otherIds;
};

void choosePreset (HostedUnit& unit)
{
    const AUPreset preset { 0, nullptr };
    unit.setProperty (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset, sizeof (preset));
}

TEST (PropertyListenerRemoval, WithUserDataRemovesThatOneAndWithoutRemovesEveryOneOfTheFunction)
{
    HostedUnit unit;
    auto add = unit.method<AudioUnitAddPropertyListenerProc> (kAudioUnitAddPropertyListenerSelect);
    auto remove = unit.method<AudioUnitRemovePropertyListenerProc> (kAudioUnitRemovePropertyListenerSelect);
    auto removeWithData = unit.method<AudioUnitRemovePropertyListenerWithUserDataProc> (kAudioUnitRemovePropertyListenerWithUserDataSelect);
    ListenerLog first, second;

    add (&unit.interface(), kAudioUnitProperty_PresentPreset, &ListenerLog::record, &first);
    add (&unit.interface(), kAudioUnitProperty_PresentPreset, &ListenerLog::record, &second);
    add (&unit.interface(), kAudioUnitProperty_PresentPreset, &ListenerLog::other, &second);
    choosePreset (unit);
    EXPECT_EQ (first.ids.size(), 1u);
    EXPECT_EQ (second.ids.size(), 1u);
    EXPECT_EQ (second.otherIds.size(), 1u);

    removeWithData (&unit.interface(), kAudioUnitProperty_PresentPreset, &ListenerLog::record, &first);
    choosePreset (unit);
    EXPECT_EQ (first.ids.size(), 1u);
    EXPECT_EQ (second.ids.size(), 2u);

    // Another property's registration of the same function is not touched.
    add (&unit.interface(), kAudioUnitProperty_BypassEffect, &ListenerLog::record, &first);
    remove (&unit.interface(), kAudioUnitProperty_PresentPreset, &ListenerLog::record);
    choosePreset (unit);
    EXPECT_EQ (second.ids.size(), 2u);
    EXPECT_EQ (second.otherIds.size(), 3u);

    const UInt32 on = 1;
    unit.setProperty (kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &on, sizeof (on));
    EXPECT_EQ (first.ids, (std::vector<AudioUnitPropertyID> { kAudioUnitProperty_PresentPreset, kAudioUnitProperty_BypassEffect }));
}

TEST (PropertyListenerRemoval, AListenerMayRemoveItselfWhileItIsCalled)
{
    HostedUnit unit;
    struct SelfRemoving
    {
        HostedUnit* unit;
        int calls = 0;

        static void heard (void* userData, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
        {
            auto& self = *static_cast<SelfRemoving*> (userData);
            ++self.calls;
            auto remove = self.unit->method<AudioUnitRemovePropertyListenerWithUserDataProc> (kAudioUnitRemovePropertyListenerWithUserDataSelect);
            remove (&self.unit->interface(), id, &heard, userData);
        }
    } listener { &unit };

    unit.method<AudioUnitAddPropertyListenerProc> (kAudioUnitAddPropertyListenerSelect) (&unit.interface(), kAudioUnitProperty_PresentPreset,
                                                                                         &SelfRemoving::heard, &listener);
    choosePreset (unit);
    choosePreset (unit);
    EXPECT_EQ (listener.calls, 1);
}

//==============================================================================
struct NotifyCall
{
    AudioUnitRenderActionFlags flags;
    bool hasTime;       // the time stamp lives only as long as the render call,
    Float64 sampleTime; // so the call is logged with a copy of what it said
    UInt32 bus, frames;
    AudioBufferList* data;
};

struct NotifyLog
{
    static OSStatus notify (void* userData, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* time, UInt32 bus, UInt32 frames,
                            AudioBufferList* data)
    {
        const auto sampleTime = time != nullptr ? time->mSampleTime : 0.0;
        static_cast<NotifyLog*> (userData)->calls.push_back ({ *flags, time != nullptr, sampleTime, bus, frames, data });
        return noErr;
    }

    std::vector<NotifyCall> calls;
};

constexpr auto phaseBits = kAudioUnitRenderAction_PreRender | kAudioUnitRenderAction_PostRender | kAudioUnitRenderAction_PostRenderError;

TEST (RenderNotifications, BeforeAndAfterEachRenderWithItsArguments)
{
    HostedUnit unit;
    ASSERT_EQ (unit.start(), noErr);
    auto add = unit.method<AudioUnitAddRenderNotifyProc> (kAudioUnitAddRenderNotifySelect);
    NotifyLog log;

    // Added twice, called once, as the base keeps each notification once.
    ASSERT_EQ (add (&unit.interface(), &NotifyLog::notify, &log), noErr);
    ASSERT_EQ (add (&unit.interface(), &NotifyLog::notify, &log), noErr);

    for (UInt32 frames : { 512u, 64u, 1156u })
    {
        log.calls.clear();
        ASSERT_EQ (unit.render (frames, 1000.0), noErr);
        ASSERT_EQ (log.calls.size(), 2u);
        EXPECT_EQ (log.calls[0].flags & phaseBits, kAudioUnitRenderAction_PreRender);
        EXPECT_EQ (log.calls[1].flags & phaseBits, kAudioUnitRenderAction_PostRender);

        for (const auto& call : log.calls)
        {
            EXPECT_EQ (call.frames, frames);
            EXPECT_EQ (call.bus, 0u);
            EXPECT_EQ (call.data, unit.outputList());
            ASSERT_TRUE (call.hasTime);
            EXPECT_EQ (call.sampleTime, 1000.0);
        }
    }
}

TEST (RenderNotifications, AFailedRenderSaysSoAfterwardsAndARefusedOneCallsNothing)
{
    HostedUnit unit;
    ASSERT_EQ (unit.start(), noErr);
    NotifyLog log;
    unit.method<AudioUnitAddRenderNotifyProc> (kAudioUnitAddRenderNotifySelect) (&unit.interface(), &NotifyLog::notify, &log);

    // Too long a slice is refused before anything is called, as in the base.
    EXPECT_EQ (unit.render (4096), kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_TRUE (log.calls.empty());

    const AURenderCallback noConnection = [] (void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                                              AudioBufferList*) -> OSStatus { return kAudioUnitErr_NoConnection; };
    const AURenderCallbackStruct failing { noConnection, nullptr };
    unit.setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &failing, sizeof (failing));
    EXPECT_EQ (unit.render (512), kAudioUnitErr_NoConnection);
    ASSERT_EQ (log.calls.size(), 2u);
    EXPECT_EQ (log.calls[0].flags & phaseBits, kAudioUnitRenderAction_PreRender);
    EXPECT_EQ (log.calls[1].flags & phaseBits, kAudioUnitRenderAction_PostRender | kAudioUnitRenderAction_PostRenderError);
}

TEST (RenderNotifications, RemovedOnesAreNotCalledAndTheListIsBounded)
{
    HostedUnit unit;
    ASSERT_EQ (unit.start(), noErr);
    auto add = unit.method<AudioUnitAddRenderNotifyProc> (kAudioUnitAddRenderNotifySelect);
    auto remove = unit.method<AudioUnitRemoveRenderNotifyProc> (kAudioUnitRemoveRenderNotifySelect);
    std::vector<NotifyLog> logs (RenderNotifyList::capacity + 1);

    for (size_t i = 0; i < RenderNotifyList::capacity; ++i)
        ASSERT_EQ (add (&unit.interface(), &NotifyLog::notify, &logs[i]), noErr);

    EXPECT_EQ (add (&unit.interface(), &NotifyLog::notify, &logs.back()), kAudio_MemFullError);

    // Removing one of the same function leaves the others with their own user data.
    EXPECT_EQ (remove (&unit.interface(), &NotifyLog::notify, &logs[3]), noErr);
    EXPECT_EQ (remove (&unit.interface(), &NotifyLog::notify, &logs.back()), noErr);
    ASSERT_EQ (unit.render (512), noErr);

    for (size_t i = 0; i < logs.size(); ++i)
        EXPECT_EQ (logs[i].calls.size(), (i == 3 || i == logs.size() - 1) ? 0u : 2u) << i;
}

//==============================================================================
AudioUnitParameterEvent immediate (const char* id, UInt32 offset, float value)
{
    AudioUnitParameterEvent e {};
    e.scope = kAudioUnitScope_Global;
    e.parameter = idOf (id);
    e.eventType = kParameterEvent_Immediate;
    e.eventValues.immediate = { offset, value };
    return e;
}

AudioUnitParameterEvent ramp (const char* id, SInt32 start, UInt32 duration, float from, float to)
{
    AudioUnitParameterEvent e {};
    e.scope = kAudioUnitScope_Global;
    e.parameter = idOf (id);
    e.eventType = kParameterEvent_Ramped;
    e.eventValues.ramp = { start, duration, from, to };
    return e;
}

struct ScheduleCase
{
    const char* what;
    std::vector<AudioUnitParameterEvent> events;
    OSStatus status;
    float gain, key; // host values afterwards (gain normalised, key as index)
};

class ScheduledParameters : public testing::TestWithParam<ScheduleCase>
{
};

TEST_P (ScheduledParameters, TakeTheValueTheyHaveWhereTheSliceStarts)
{
    const auto& c = GetParam();
    HostedUnit unit;
    ASSERT_EQ (unit.start(), noErr);
    unit.setParameter (ParamID::gain, 0.125f);
    unit.setParameter (ParamID::key, 4.0f);
    testhost::takeEvents();

    const auto schedule = unit.method<AudioUnitScheduleParametersProc> (kAudioUnitScheduleParametersSelect);
    EXPECT_EQ (schedule (&unit.interface(), c.events.data(), static_cast<UInt32> (c.events.size())), c.status);
    EXPECT_NEAR (unit.getParameter (ParamID::gain), c.gain, 1.0e-5f);
    EXPECT_EQ (unit.getParameter (ParamID::key), c.key);

    // The slice renders with them, and the host hears no echo of its own changes.
    juce::String detail;
    EXPECT_TRUE (unit.renderFinite (2, detail)) << detail;
    EXPECT_TRUE (testhost::takeEvents().empty());
}

// Gain's host value is its normalised value over -24..24 dB in 0.01 dB steps; every value
// here falls on a step.
const float infinity = std::numeric_limits<float>::infinity();

// Events that refuse the whole list: for a parameter the unit does not have, for another
// scope, of a kind the API does not define.
const auto unknownParameter = immediate ("nothing", 0, 0.5f);
const auto outputScoped = [] { auto e = immediate (ParamID::gain, 0, 0.5f); e.scope = kAudioUnitScope_Output; return e; }();
const auto unknownKind = [] { auto e = immediate (ParamID::gain, 0, 0.5f); e.eventType = static_cast<AUParameterEventType> (7); return e; }();

const ScheduleCase scheduleCases[] {
    { "none", {}, noErr, 0.125f, 4.0f },
    { "immediate", { immediate (ParamID::gain, 0, 0.25f) }, noErr, 0.25f, 4.0f },
    { "immediateLaterInTheSlice", { immediate (ParamID::gain, 300, 0.25f) }, noErr, 0.25f, 4.0f },
    { "choiceImmediate", { immediate (ParamID::key, 0, 9.0f) }, noErr, 0.125f, 9.0f },
    { "rampHalfWayAtSliceStart", { ramp (ParamID::gain, -256, 512, 0.25f, 0.75f) }, noErr, 0.5f, 4.0f },
    { "rampStartingInSlice", { ramp (ParamID::gain, 100, 200, 0.75f, 1.0f) }, noErr, 0.75f, 4.0f },
    { "rampAlreadyOver", { ramp (ParamID::gain, -600, 512, 0.0f, 0.375f) }, noErr, 0.375f, 4.0f },
    { "rampOfNoLength", { ramp (ParamID::gain, 0, 0, 0.0f, 0.625f) }, noErr, 0.625f, 4.0f },
    { "laterEventWins", { immediate (ParamID::gain, 300, 0.25f), ramp (ParamID::gain, 0, 512, 0.75f, 1.0f) }, noErr, 0.25f, 4.0f },
    { "equalStartsKeepTheirOrder", { immediate (ParamID::gain, 0, 0.25f), immediate (ParamID::gain, 0, 0.375f) }, noErr, 0.375f, 4.0f },
    { "twoParameters", { immediate (ParamID::key, 0, 2.0f), ramp (ParamID::gain, -100, 400, 0.0f, 1.0f) }, noErr, 0.25f, 2.0f },
    { "outOfRangeClamps", { immediate (ParamID::gain, 0, 7.0f), immediate (ParamID::key, 0, -3.0f) }, noErr, 1.0f, 0.0f },
    // NaN is the parameter's default (gain's 0 dB, normalised 0.5), as through every door;
    // half-way along a ramp from -inf to +inf lies NaN.
    { "nanIsTheDefault", { immediate (ParamID::gain, 0, std::numeric_limits<float>::quiet_NaN()) }, noErr, 0.5f, 4.0f },
    { "rampOfInfinities", { ramp (ParamID::gain, -1, 2, -infinity, infinity) }, noErr, 0.5f, 4.0f },
    { "unknownParameterRefusesAll", { immediate (ParamID::gain, 0, 0.25f), unknownParameter }, kAudioUnitErr_InvalidParameter, 0.125f, 4.0f },
    { "wrongScopeRefusesAll", { immediate (ParamID::key, 0, 1.0f), outputScoped }, kAudioUnitErr_InvalidScope, 0.125f, 4.0f },
    { "unknownKindRefusesAll", { unknownKind }, kAudio_ParamError, 0.125f, 4.0f },
};

INSTANTIATE_TEST_SUITE_P (Table, ScheduledParameters, testing::ValuesIn (scheduleCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

//==============================================================================
/** The events of `events` in order, as (kind, parameter) pairs. */
std::vector<std::pair<AudioUnitEventType, AudioUnitParameterID>> sequenceOf (const std::vector<AudioUnitEvent>& events)
{
    std::vector<std::pair<AudioUnitEventType, AudioUnitParameterID>> result;
    for (const auto& e : events)
        result.emplace_back (e.mEventType, e.mArgument.mParameter.mParameterID);
    return result;
}

/** An instance with its window open, as a host has it after opening the editor. */
class ReportedChanges : public testing::Test
{
protected:
    void SetUp() override
    {
        editor.reset (dynamic_cast<HalvoraAudioProcessorEditor*> (unit.object().getProcessor().createEditor()));
        ASSERT_NE (editor, nullptr);
        inspector = std::make_unique<HalvoraEditorInspector> (*editor);
        testhost::takeEvents();
    }

    void TearDown() override
    {
        inspector.reset();
        editor.reset();
    }

    HostedUnit unit;
    std::unique_ptr<HalvoraAudioProcessorEditor> editor;
    std::unique_ptr<HalvoraEditorInspector> inspector;
};

TEST_F (ReportedChanges, DraggingAKnobIsAGestureWithTheValuesInside)
{
    auto& knob = inspector->slider ("gainKnob");
    const juce::Point<float> start (75.0f, 75.0f), up (75.0f, 25.0f), further (75.0f, 0.0f);

    knob.mouseDown (mouseEvent (knob, start, start));
    knob.mouseDrag (mouseEvent (knob, up, start, 1, true));
    knob.mouseDrag (mouseEvent (knob, further, start, 1, true));
    knob.mouseUp (mouseEvent (knob, further, start, 1, true));

    const auto events = testhost::takeEvents();
    const auto gain = idOf (ParamID::gain);
    using Seq = decltype (sequenceOf (events));
    EXPECT_EQ (sequenceOf (events), (Seq { { kAudioUnitEvent_BeginParameterChangeGesture, gain },
                                           { kAudioUnitEvent_ParameterValueChange, gain },
                                           { kAudioUnitEvent_ParameterValueChange, gain },
                                           { kAudioUnitEvent_EndParameterChangeGesture, gain } }));

    for (const auto& e : events)
    {
        EXPECT_EQ (e.mArgument.mParameter.mAudioUnit, unit.instance());
        EXPECT_EQ (e.mArgument.mParameter.mScope, kAudioUnitScope_Global);
        EXPECT_EQ (e.mArgument.mParameter.mElement, 0u);
    }

    // What the host then reads is the value the knob set: 0.5 + 75 / 250 of the range.
    EXPECT_NEAR (unit.getParameter (ParamID::gain), 0.8f, 1.0e-4f);
}

TEST_F (ReportedChanges, ChoosingFromABoxIsAGestureOfOneValue)
{
    inspector->box ("keyBox").setSelectedItemIndex (7, juce::sendNotificationSync);

    const auto key = idOf (ParamID::key);
    using Seq = decltype (sequenceOf ({}));
    EXPECT_EQ (sequenceOf (testhost::takeEvents()), (Seq { { kAudioUnitEvent_BeginParameterChangeGesture, key },
                                                           { kAudioUnitEvent_ParameterValueChange, key },
                                                           { kAudioUnitEvent_EndParameterChangeGesture, key } }));
    EXPECT_EQ (unit.getParameter (ParamID::key), 7.0f);
}

TEST_F (ReportedChanges, EveryControlReportsItsOwnParameter)
{
    const std::pair<const char*, const char*> sliders[] {
        { "formantKnob", ParamID::formant },
        { "gainKnob", ParamID::gain },
        { "vibRateKnob", ParamID::vibRate },
        { "vibDepthKnob", ParamID::vibDepth },
        { "morvelKnob", ParamID::morvel },
        { "delayFader", ParamID::delayMix },
        { "reverbFader", ParamID::reverbMix },
    };
    for (const auto& [control, id] : sliders)
    {
        auto& slider = inspector->slider (control);
        slider.setValue (slider.getMinimum() + 0.25 * (slider.getMaximum() - slider.getMinimum()), juce::sendNotificationSync);
        const auto events = testhost::takeEvents();
        EXPECT_EQ (events.size(), 1u) << control;
        EXPECT_EQ (testhost::countEvents (events, kAudioUnitEvent_ParameterValueChange, idOf (id)), 1) << control;
    }

    const std::pair<const char*, const char*> boxes[] {
        { "rangeBox", ParamID::range },
        { "voiceBox", ParamID::voice },
        { "keyBox", ParamID::key },
        { "scaleBox", ParamID::scale },
    };
    for (const auto& [control, id] : boxes)
    {
        inspector->box (control).setSelectedItemIndex (1, juce::sendNotificationSync);
        EXPECT_EQ (testhost::countEvents (testhost::takeEvents(), kAudioUnitEvent_ParameterValueChange, idOf (id)), 1) << control;
    }
}

TEST_F (ReportedChanges, ARestoredStateReportsTheParametersItMovedAndThePreset)
{
    const auto saved = unit.savePreset();
    unit.setParameter (ParamID::gain, 0.9f);
    unit.setParameter (ParamID::scale, 3.0f);
    ASSERT_TRUE (testhost::takeEvents().empty()); // the host's own changes are not echoed

    PropertyWatcher watcher (unit);
    ASSERT_EQ (unit.restorePreset (saved), noErr);

    const auto events = testhost::takeEvents();
    EXPECT_EQ (events.size(), 2u);
    EXPECT_EQ (testhost::countEvents (events, kAudioUnitEvent_ParameterValueChange, idOf (ParamID::gain)), 1);
    EXPECT_EQ (testhost::countEvents (events, kAudioUnitEvent_ParameterValueChange, idOf (ParamID::scale)), 1);
    EXPECT_EQ (watcher.take(), (std::vector<PropertyCall> { { kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0 },
                                                            { kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0 } }));

    // The knob shows the restored value too.
    EXPECT_NEAR (inspector->slider ("gainKnob").getValue(), 0.0, 1.0e-6);
}

TEST_F (ReportedChanges, ARestoreThroughTheProcessorItselfIsReportedToo)
{
    juce::MemoryBlock state;
    unit.object().getProcessor().getStateInformation (state);
    unit.setParameter (ParamID::morvel, 0.1f);

    unit.object().getProcessor().setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    EXPECT_EQ (sequenceOf (testhost::takeEvents()),
               (decltype (sequenceOf ({})) { { kAudioUnitEvent_ParameterValueChange, idOf (ParamID::morvel) } }));
}

//==============================================================================
TEST (AudioUnitMidi, WaitingEventsAreBoundedAndEachRenderTakesItsShare)
{
    HostedUnit unit;
    ASSERT_EQ (unit.start(), noErr);
    const auto midiEvent = unit.method<MusicDeviceMIDIEventProc> (kMusicDeviceMIDIEventSelect);

    // Nothing renders: a note-on takes 3 bytes and an 8-byte header in the queue.
    int accepted = 0;
    OSStatus status = noErr;
    while (accepted < 100000 && (status = midiEvent (&unit.interface(), 0x90, 60, 100, 5000)) == noErr)
        ++accepted;

    EXPECT_EQ (status, kAudio_MemFullError);
    EXPECT_EQ (accepted, MidiEventQueue::capacity / 11);

    int delivered = 0;
    for (int block = 0; delivered < accepted && block < 100; ++block)
    {
        ASSERT_EQ (unit.render (512), noErr);
        const auto& midi = unit.object().getLastRenderedMidi();
        EXPECT_LE (midi.getNumEvents(), MidiEventQueue::maxEventsPerRender);
        delivered += midi.getNumEvents();

        // An offset beyond the slice lands on its last frame.
        for (const auto metadata : midi)
            ASSERT_EQ (metadata.samplePosition, 511);
    }

    EXPECT_EQ (delivered, accepted);
    EXPECT_EQ (midiEvent (&unit.interface(), 0x80, 60, 0, 7), noErr);
    ASSERT_EQ (unit.render (512), noErr);
    ASSERT_EQ (unit.object().getLastRenderedMidi().getNumEvents(), 1);
    EXPECT_EQ ((*unit.object().getLastRenderedMidi().begin()).samplePosition, 7);
}

TEST (AudioUnitMidi, EveryKindOfEventArrivesAsItsMidiBytes)
{
    HostedUnit unit;
    ASSERT_EQ (unit.start(), noErr);
    const UInt8 sysex[] { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 };
    MIDIEventList list {};
    list.protocol = 1;
    list.numPackets = 1;
    list.packet[0].wordCount = 1;
    list.packet[0].words[0] = 0x20b10740; // MIDI 1.0 controller 7 to 64 on channel 2
    NoteInstanceID noteId = 0;
    const MusicDeviceNoteParams params { 2, 64.0f, std::numeric_limits<float>::quiet_NaN() };

    ASSERT_EQ (unit.method<MusicDeviceMIDIEventProc> (kMusicDeviceMIDIEventSelect) (&unit.interface(), 0xc3, 5, 99, 10), noErr);
    ASSERT_EQ (unit.method<MusicDeviceMIDIEventProc> (kMusicDeviceMIDIEventSelect) (&unit.interface(), 0x45, 5, 99, 10), noErr);
    ASSERT_EQ (unit.method<MusicDeviceMIDIEventListProc> (kMusicDeviceMIDIEventListSelect) (&unit.interface(), 20, &list), noErr);
    ASSERT_EQ (unit.method<MusicDeviceSysExProc> (kMusicDeviceSysExSelect) (&unit.interface(), sysex, sizeof (sysex)), noErr);
    ASSERT_EQ (unit.method<MusicDeviceStartNoteProc> (kMusicDeviceStartNoteSelect) (&unit.interface(), 0, 1, &noteId, 30, &params), noErr);
    ASSERT_EQ (unit.method<MusicDeviceStopNoteProc> (kMusicDeviceStopNoteSelect) (&unit.interface(), 1, noteId, 40), noErr);
    ASSERT_EQ (unit.render (512), noErr);

    std::vector<std::pair<int, std::vector<juce::uint8>>> got;
    for (const auto metadata : unit.object().getLastRenderedMidi())
        got.emplace_back (metadata.samplePosition, std::vector<juce::uint8> (metadata.data, metadata.data + metadata.numBytes));

    // The byte 0x45 starts no message and is passed over; a NaN velocity reads as 0.
    const std::vector<std::pair<int, std::vector<juce::uint8>>> expected {
        { 0, { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 } }, { 10, { 0xc3, 5 } }, { 20, { 0xb1, 7, 64 } }, { 30, { 0x91, 64, 0 } }, { 40, { 0x81, 64, 0 } }
    };
    EXPECT_EQ (got, expected);
}

TEST (AudioUnitMidi, ResetAndUninitialiseDropWhatIsWaiting)
{
    HostedUnit unit;
    ASSERT_EQ (unit.start(), noErr);
    const auto midiEvent = unit.method<MusicDeviceMIDIEventProc> (kMusicDeviceMIDIEventSelect);

    midiEvent (&unit.interface(), 0x90, 60, 100, 0);
    unit.method<AudioUnitResetProc> (kAudioUnitResetSelect) (&unit.interface(), kAudioUnitScope_Global, 0);
    ASSERT_EQ (unit.render (512), noErr);
    EXPECT_EQ (unit.object().getLastRenderedMidi().getNumEvents(), 0);

    midiEvent (&unit.interface(), 0x90, 60, 100, 0);
    unit.method<AudioUnitUninitializeProc> (kAudioUnitUninitializeSelect) (&unit.interface());
    unit.method<AudioUnitInitializeProc> (kAudioUnitInitializeSelect) (&unit.interface());
    midiEvent (&unit.interface(), 0x90, 62, 100, 0);
    ASSERT_EQ (unit.render (512), noErr);
    ASSERT_EQ (unit.object().getLastRenderedMidi().getNumEvents(), 1);
    EXPECT_EQ ((*unit.object().getLastRenderedMidi().begin()).data[1], 62);
}

//==============================================================================
struct NonFiniteCase
{
    const char* id;
    float value;
};

class NonFiniteThroughSetParameter : public testing::TestWithParam<NonFiniteCase>
{
};

TEST_P (NonFiniteThroughSetParameter, KeepsTheRangeAndTheOutputFinite)
{
    const auto& c = GetParam();
    HostedUnit unit;
    ASSERT_EQ (unit.start(), noErr);

    AudioUnitParameterInfo info {};
    ASSERT_EQ (unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, idOf (c.id), &info, sizeof (info)), noErr);

    // Vibrato, echo and reverb all running, and every parameter off its end, so that a
    // bad value would show wherever it went.
    for (const auto* id : parameterIds)
    {
        AudioUnitParameterInfo other {};
        unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, idOf (id), &other, sizeof (other));
        unit.setParameter (id, other.unit == kAudioUnitParameterUnit_Indexed ? 1.0f : 0.5f);
    }

    juce::String detail;
    ASSERT_TRUE (unit.renderFinite (2, detail)) << detail;

    ASSERT_EQ (unit.setParameter (c.id, c.value), noErr);
    const auto after = unit.getParameter (c.id);
    EXPECT_TRUE (unit.renderFinite (8, detail)) << detail;

    // NaN is the default; the rest are out of range (the denormal only just) and clamp.
    const auto expected = std::isnan (c.value) ? info.defaultValue : c.value > 0.0f && c.value > info.maxValue ? info.maxValue
                                                               : c.value < info.minValue                       ? info.minValue
                                                                                                               : 0.0f;
    EXPECT_EQ (after, expected);

    ASSERT_EQ (unit.setParameter (c.id, info.defaultValue), noErr);
    EXPECT_TRUE (unit.renderFinite (8, detail)) << detail;
    EXPECT_EQ (unit.getParameter (c.id), info.defaultValue);
}

std::vector<NonFiniteCase> nonFiniteCases()
{
    std::vector<NonFiniteCase> cases;

    for (const auto* id : parameterIds)
        for (const auto value : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(), 1.0e30f, -1.0e30f, std::numeric_limits<float>::denorm_min() })
            cases.push_back ({ id, value });

    return cases;
}

std::string nameOf (const NonFiniteCase& c)
{
    const auto value = std::isnan (c.value) ? "NaN" : std::isinf (c.value) ? (c.value > 0 ? "PlusInf" : "MinusInf")
                                                : c.value == 1.0e30f       ? "Plus1e30"
                                                : c.value == -1.0e30f      ? "Minus1e30"
                                                                           : "Denormal";
    return std::string (c.id) + "_" + value;
}

INSTANTIATE_TEST_SUITE_P (EveryParameter, NonFiniteThroughSetParameter, testing::ValuesIn (nonFiniteCases()),
                          [] (const auto& testInfo) { return nameOf (testInfo.param); });

} // namespace
