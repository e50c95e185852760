// The rest of what a host relies on: every selector, property listeners, render
// notifications, scheduled parameters, the parameter changes the instance reports, MIDI
// from other threads, and values no host should send.

#include "HostSide.h"
#include "helpers/HostEventLog.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <thread>
#include <utility>

// The host's event-listener notification, which the component's library finds in this
// process (it is exported to it; see CMakeLists.txt).
extern "C" OSStatus AUEventListenerNotify (AUEventListenerRef, void*, const AudioUnitEvent* event)
{
    return HostEventLog::add (event);
}

namespace auval
{

namespace
{
    //==============================================================================
    struct SelectorRow
    {
        SInt16 selector;
        const char* name;
        bool answered;
    };

    // Every selector of the component interface and of the music device. The three
    // without a method belong to format converters and in-place offline units.
    const SelectorRow selectorTable[] {
        { kAudioUnitInitializeSelect, "Initialize", true },
        { kAudioUnitUninitializeSelect, "Uninitialize", true },
        { kAudioUnitGetPropertyInfoSelect, "GetPropertyInfo", true },
        { kAudioUnitGetPropertySelect, "GetProperty", true },
        { kAudioUnitSetPropertySelect, "SetProperty", true },
        { kAudioUnitGetParameterSelect, "GetParameter", true },
        { kAudioUnitSetParameterSelect, "SetParameter", true },
        { kAudioUnitResetSelect, "Reset", true },
        { kAudioUnitAddPropertyListenerSelect, "AddPropertyListener", true },
        { kAudioUnitRemovePropertyListenerSelect, "RemovePropertyListener", true },
        { kAudioUnitRenderSelect, "Render", true },
        { kAudioUnitAddRenderNotifySelect, "AddRenderNotify", true },
        { kAudioUnitRemoveRenderNotifySelect, "RemoveRenderNotify", true },
        { kAudioUnitScheduleParametersSelect, "ScheduleParameters", true },
        { kAudioUnitRemovePropertyListenerWithUserDataSelect, "RemovePropertyListenerWithUserData", true },
        { kAudioUnitComplexRenderSelect, "ComplexRender", false },
        { kAudioUnitProcessSelect, "Process", false },
        { kAudioUnitProcessMultipleSelect, "ProcessMultiple", false },
        { kMusicDeviceMIDIEventSelect, "MIDIEvent", true },
        { kMusicDeviceSysExSelect, "SysEx", true },
        { kMusicDevicePrepareInstrumentSelect, "PrepareInstrument", true },
        { kMusicDeviceReleaseInstrumentSelect, "ReleaseInstrument", true },
        { kMusicDeviceStartNoteSelect, "StartNote", true },
        { kMusicDeviceStopNoteSelect, "StopNote", true },
        { kMusicDeviceMIDIEventListSelect, "MIDIEventList", true },
    };

    //==============================================================================
    struct PropertyCall
    {
        void* userData;
        AudioUnit unit;
        AudioUnitPropertyID id;
        AudioUnitScope scope;
        AudioUnitElement element;

        bool operator== (const PropertyCall& other) const
        {
            return userData == other.userData && unit == other.unit && id == other.id && scope == other.scope && element == other.element;
        }
    };

    std::vector<PropertyCall> propertyCalls;

    void propertyListener (void* userData, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)
    {
        propertyCalls.push_back ({ userData, unit, id, scope, element });
    }

    std::vector<PropertyCall> takePropertyCalls()
    {
        return std::exchange (propertyCalls, {});
    }

    juce::String describe (const std::vector<PropertyCall>& calls)
    {
        juce::StringArray text;
        for (const auto& c : calls)
            text.add (juce::String (c.id) + "/" + juce::String (c.scope) + "/" + juce::String (c.element));
        return "heard [" + text.joinIntoString (", ") + "]";
    }

    //==============================================================================
    struct NotifyCall
    {
        AudioUnitRenderActionFlags flags;
        Float64 sampleTime;
        UInt32 bus, frames;
    };

    std::vector<NotifyCall> notifyCalls;

    OSStatus renderNotify (void*, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* time, UInt32 bus, UInt32 frames, AudioBufferList*)
    {
        notifyCalls.push_back ({ *flags, time != nullptr ? time->mSampleTime : -1.0, bus, frames });
        return noErr;
    }

    OSStatus failingInput (void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
    {
        return kAudioUnitErr_NoConnection;
    }

    /** One render of 512 frames from a sine into two channels. */
    OSStatus renderOnce (const Instance& unit, Float64 sampleTime)
    {
        std::vector<float> left (512), right (512);
        char storage[sizeof (AudioBufferList) + sizeof (AudioBuffer)] {};
        auto* list = reinterpret_cast<AudioBufferList*> (storage);
        list->mNumberBuffers = 2;
        list->mBuffers[0] = { 1, 512 * sizeof (float), left.data() };
        list->mBuffers[1] = { 1, 512 * sizeof (float), right.data() };
        AudioUnitRenderActionFlags flags = 0;
        AudioTimeStamp time {};
        time.mSampleTime = sampleTime;
        return unit.get<AudioUnitRenderProc> (kAudioUnitRenderSelect) (unit.record, &flags, &time, 0, 512, list);
    }

    OSStatus setFormat (const Instance& unit, AudioUnitScope scope, int channels, Float64 rate)
    {
        const AudioStreamBasicDescription format { rate, kAudioFormatLinearPCM, kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved,
                                                   4, 1, 4, static_cast<UInt32> (channels), 32, 0 };
        return unit.setProperty (kAudioUnitProperty_StreamFormat, scope, 0, &format, sizeof (format));
    }

    AudioUnitParameterEvent immediate (AudioUnitParameterID id, UInt32 offset, float value)
    {
        AudioUnitParameterEvent e {};
        e.scope = kAudioUnitScope_Global;
        e.parameter = id;
        e.eventType = kParameterEvent_Immediate;
        e.eventValues.immediate = { offset, value };
        return e;
    }

    AudioUnitParameterEvent ramp (AudioUnitParameterID id, SInt32 start, UInt32 duration, float from, float to)
    {
        AudioUnitParameterEvent e {};
        e.scope = kAudioUnitScope_Global;
        e.parameter = id;
        e.eventType = kParameterEvent_Ramped;
        e.eventValues.ramp = { start, duration, from, to };
        return e;
    }

    //==============================================================================
    void checkPropertyListeners (Checker& checker, const Instance& unit)
    {
        auto add = unit.get<AudioUnitAddPropertyListenerProc> (kAudioUnitAddPropertyListenerSelect);
        auto remove = unit.get<AudioUnitRemovePropertyListenerProc> (kAudioUnitRemovePropertyListenerSelect);
        auto removeWithData = unit.get<AudioUnitRemovePropertyListenerWithUserDataProc> (kAudioUnitRemovePropertyListenerWithUserDataSelect);
        const auto self = reinterpret_cast<AudioUnit> (unit.record);
        int first = 1, second = 2;
        void* const a = &first;
        void* const b = &second;

        const AudioUnitPropertyID watched[] { kAudioUnitProperty_PresentPreset, kAudioUnitProperty_ClassInfo, kAudioUnitProperty_StreamFormat,
                                              kAudioUnitProperty_SampleRate, kAudioUnitProperty_MaximumFramesPerSlice,
                                              kAudioUnitProperty_BypassEffect, kAudioUnitProperty_SetRenderCallback };
        bool added = add (unit.record, kAudioUnitProperty_PresentPreset, &propertyListener, b) == noErr;
        for (auto id : watched)
            added = added && add (unit.record, id, &propertyListener, a) == noErr;
        checker.check (added && add (unit.record, kAudioUnitProperty_Latency, nullptr, a) == kAudio_ParamError,
                       "property listeners are taken, a null one refused");
        takePropertyCalls();

        const AUPreset factory { 0, nullptr };
        unit.setProperty (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &factory, sizeof (factory));
        auto calls = takePropertyCalls();
        const std::vector<PropertyCall> bothHearThePreset {
            { b, self, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0 },
            { a, self, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0 },
        };
        checker.check (calls == bothHearThePreset,
                       "choosing a preset calls every listener of the present preset, with the instance", describe (calls));

        const UInt32 frames = 512, defaultFrames = 1156;
        unit.setProperty (kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, sizeof (frames));
        unit.setProperty (kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, sizeof (frames));
        calls = takePropertyCalls();
        checker.check (calls == std::vector<PropertyCall> { { a, self, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0 } },
                       "a new largest slice is heard once, setting it again is not", describe (calls));
        unit.setProperty (kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &defaultFrames, sizeof (defaultFrames));

        const Float64 rate = 48000.0, defaultRate = 44100.0;
        takePropertyCalls();
        unit.setProperty (kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, &rate, sizeof (rate));
        calls = takePropertyCalls();
        const std::vector<PropertyCall> bothBuses {
            { a, self, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0 },
            { a, self, kAudioUnitProperty_SampleRate, kAudioUnitScope_Input, 0 },
            { a, self, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0 },
            { a, self, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0 },
        };
        checker.check (calls == bothBuses,
                       "a new sample rate changes the stream format and rate of both buses", describe (calls));
        unit.setProperty (kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, &defaultRate, sizeof (defaultRate));

        takePropertyCalls();
        setFormat (unit, kAudioUnitScope_Input, 1, defaultRate);
        calls = takePropertyCalls();
        checker.check (calls == std::vector<PropertyCall> { { a, self, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0 } },
                       "a new channel count changes that bus's stream format only", describe (calls));
        setFormat (unit, kAudioUnitScope_Input, 2, defaultRate);

        const UInt32 on = 1, off = 0;
        takePropertyCalls();
        unit.setProperty (kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &on, sizeof (on));
        unit.setProperty (kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &off, sizeof (off));
        calls = takePropertyCalls();
        checker.check (calls.size() == 2 && calls[0] == PropertyCall { a, self, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0 },
                       "bypass changes are heard", describe (calls));

        SineSource source;
        const AURenderCallbackStruct callback { &SineSource::pull, &source };
        unit.setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof (callback));
        calls = takePropertyCalls();
        checker.check (calls == std::vector<PropertyCall> { { a, self, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0 } },
                       "a new input callback is heard", describe (calls));

        AUPropertyListData saved {};
        unit.getProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &saved, sizeof (saved));
        const std::string text (static_cast<const char*> (saved.bytes), saved.size);
        const AUPropertyListData restore { text.data(), static_cast<UInt32> (text.size()) };
        takePropertyCalls();
        unit.setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &restore, sizeof (restore));
        calls = takePropertyCalls();
        const std::vector<PropertyCall> presetAndState {
            { b, self, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0 },
            { a, self, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0 },
            { a, self, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0 },
        };
        checker.check (calls == presetAndState,
                       "a restored preset is heard as a new present preset and a new saved state", describe (calls));

        removeWithData (unit.record, kAudioUnitProperty_PresentPreset, &propertyListener, b);
        unit.setProperty (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &factory, sizeof (factory));
        calls = takePropertyCalls();
        checker.check (calls == std::vector<PropertyCall> { { a, self, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0 } },
                       "removing a listener with its user data removes that one only", describe (calls));

        remove (unit.record, kAudioUnitProperty_PresentPreset, &propertyListener);
        unit.setProperty (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &factory, sizeof (factory));
        calls = takePropertyCalls();
        checker.check (calls.empty(), "removing a listener without user data removes every one of the property", describe (calls));

        for (auto id : watched)
            remove (unit.record, id, &propertyListener);

        unit.setProperty (kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &off, sizeof (off));
        checker.check (takePropertyCalls().empty(), "no listener is called after all are removed");
    }

    //==============================================================================
    void checkRenderNotifications (Checker& checker, const Instance& unit)
    {
        auto add = unit.get<AudioUnitAddRenderNotifyProc> (kAudioUnitAddRenderNotifySelect);
        auto remove = unit.get<AudioUnitRemoveRenderNotifyProc> (kAudioUnitRemoveRenderNotifySelect);
        int tag = 0;
        SineSource source;
        const AURenderCallbackStruct callback { &SineSource::pull, &source };
        unit.setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof (callback));
        unit.get<AudioUnitInitializeProc> (kAudioUnitInitializeSelect) (unit.record);

        checker.check (add (unit.record, nullptr, &tag) == kAudio_ParamError, "a null render notification is refused");

        // Added twice, called once.
        add (unit.record, &renderNotify, &tag);
        add (unit.record, &renderNotify, &tag);
        notifyCalls.clear();
        bool rendered = true;
        for (int b = 0; b < 3; ++b)
            rendered = rendered && renderOnce (unit, b * 512.0) == noErr;

        bool ordered = rendered && notifyCalls.size() == 6;
        const auto phases = kAudioUnitRenderAction_PreRender | kAudioUnitRenderAction_PostRender | kAudioUnitRenderAction_PostRenderError;
        for (size_t i = 0; ordered && i < notifyCalls.size(); ++i)
        {
            const auto& call = notifyCalls[i];
            const auto phase = (i % 2 == 0) ? kAudioUnitRenderAction_PreRender : kAudioUnitRenderAction_PostRender;
            ordered = (call.flags & phases) == phase
                   && call.sampleTime == static_cast<Float64> (i / 2) * 512.0 && call.bus == 0 && call.frames == 512;
        }
        checker.check (ordered, "each render calls the notification before and after, with its time stamp and length",
                       juce::String (notifyCalls.size()) + " calls");

        const AURenderCallbackStruct failing { &failingInput, nullptr };
        unit.setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &failing, sizeof (failing));
        notifyCalls.clear();
        const auto failed = renderOnce (unit, 0.0);
        checker.check (failed != noErr && notifyCalls.size() == 2 && (notifyCalls[1].flags & kAudioUnitRenderAction_PostRenderError) != 0,
                       "a failed render says so after the render");
        unit.setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof (callback));

        remove (unit.record, &renderNotify, &tag);
        notifyCalls.clear();
        renderOnce (unit, 0.0);
        checker.check (notifyCalls.empty(), "a removed render notification is not called");

        unit.get<AudioUnitUninitializeProc> (kAudioUnitUninitializeSelect) (unit.record);
    }

    //==============================================================================
    void checkScheduledParameters (Checker& checker, const Instance& unit, AudioUnitParameterID id)
    {
        auto schedule = unit.get<AudioUnitScheduleParametersProc> (kAudioUnitScheduleParametersSelect);
        const auto near = [] (float a, float b) { return std::abs (a - b) < 1.0e-4f; };

        const AudioUnitParameterEvent now[] { immediate (id, 0, 0.3f) };
        const auto immediateOk = schedule (unit.record, now, 1) == noErr && near (unit.getParameter (id), 0.3f);

        // A ramp that began 256 frames before the slice is half-way at its first frame; one
        // that starts inside it starts at its start value; one that is over is at its end.
        const AudioUnitParameterEvent halfWay[] { ramp (id, -256, 512, 0.2f, 0.6f) };
        const auto halfWayOk = schedule (unit.record, halfWay, 1) == noErr && near (unit.getParameter (id), 0.4f);
        const AudioUnitParameterEvent starting[] { ramp (id, 100, 200, 0.7f, 0.9f) };
        const auto startingOk = schedule (unit.record, starting, 1) == noErr && near (unit.getParameter (id), 0.7f);
        const AudioUnitParameterEvent over[] { ramp (id, -600, 512, 0.1f, 0.5f) };
        const auto overOk = schedule (unit.record, over, 1) == noErr && near (unit.getParameter (id), 0.5f);
        checker.check (immediateOk && halfWayOk && startingOk && overOk,
                       "scheduled immediate and ramped events take the value they have where the slice starts");

        const AudioUnitParameterEvent both[] { immediate (id, 300, 0.25f), ramp (id, 0, 512, 0.75f, 1.0f) };
        checker.check (schedule (unit.record, both, 2) == noErr && near (unit.getParameter (id), 0.25f),
                       "of two events in a slice the later one wins");

        const AudioUnitParameterEvent badOne[] { immediate (id, 0, 0.9f), immediate (12345u, 0, 0.5f) };
        auto wrongScope = immediate (id, 0, 0.9f);
        wrongScope.scope = kAudioUnitScope_Input;
        checker.check (schedule (unit.record, badOne, 2) == kAudioUnitErr_InvalidParameter
                           && schedule (unit.record, &wrongScope, 1) == kAudioUnitErr_InvalidScope
                           && schedule (unit.record, nullptr, 1) == kAudio_ParamError && near (unit.getParameter (id), 0.25f),
                       "a batch with a bad event is refused whole");
    }

    //==============================================================================
    void checkReportedChanges (Checker& checker, const Instance& unit, AudioUnitParameterID id)
    {
        HostEventLog::take();
        unit.setParameter (id, 0.4f);
        auto heard = HostEventLog::take();
        checker.check (HostEventLog::count (heard, kAudioUnitEvent_ParameterValueChange, id) == 0,
                       "a value the host sets is not echoed back to it");

        AUPropertyListData saved {};
        unit.getProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &saved, sizeof (saved));
        const std::string text (static_cast<const char*> (saved.bytes), saved.size);
        const AUPropertyListData restore { text.data(), static_cast<UInt32> (text.size()) };

        unit.setParameter (id, 0.8f);
        HostEventLog::take();
        unit.setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &restore, sizeof (restore));
        heard = HostEventLog::take();
        const auto fromThisUnit = std::all_of (heard.begin(), heard.end(), [&] (const AudioUnitEvent& e) {
            return e.mArgument.mParameter.mAudioUnit == reinterpret_cast<AudioUnit> (unit.record);
        });
        checker.check (heard.size() == 1 && HostEventLog::count (heard, kAudioUnitEvent_ParameterValueChange, id) == 1 && fromThisUnit,
                       "a restore that moves a parameter tells the host's event listeners, once",
                       juce::String (heard.size()) + " events");

        unit.setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &restore, sizeof (restore));
        checker.check (HostEventLog::take().empty(), "a restore that moves nothing reports nothing");
    }

    //==============================================================================
    void checkMidi (Checker& checker, const Instance& unit)
    {
        auto midiEvent = unit.get<MusicDeviceMIDIEventProc> (kMusicDeviceMIDIEventSelect);
        auto sysEx = unit.get<MusicDeviceSysExProc> (kMusicDeviceSysExSelect);
        SineSource source;
        const AURenderCallbackStruct callback { &SineSource::pull, &source };
        unit.setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof (callback));
        unit.get<AudioUnitInitializeProc> (kAudioUnitInitializeSelect) (unit.record);
        renderOnce (unit, 0.0);

        // Nothing renders: the waiting events stop growing, and a render makes room again.
        int accepted = 0;
        OSStatus status = noErr;
        while (accepted < 100000 && (status = midiEvent (unit.record, 0x90, 60, 100, 0)) == noErr)
            ++accepted;
        checker.check (status == kAudio_MemFullError && accepted > 1000 && renderOnce (unit, 512.0) == noErr
                           && midiEvent (unit.record, 0x80, 60, 0, 0) == noErr,
                       "MIDI waiting for a render is bounded, and a render takes it",
                       juce::String (accepted) + " events taken before the queue was full");

        // Two threads send while this one renders.
        std::atomic<bool> done { false };
        std::atomic<int> unexpected { 0 };
        const auto send = [&] (int channel) {
            const UInt8 message[] { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 };
            for (int i = 0; ! done; ++i)
            {
                const auto noteOn = static_cast<UInt32> (0x90 | channel);
                const auto s1 = midiEvent (unit.record, noteOn, static_cast<UInt32> (i & 0x7f), 100, static_cast<UInt32> (i % 600));
                const auto s2 = sysEx (unit.record, message, sizeof (message));
                for (auto s : { s1, s2 })
                    if (s != noErr && s != kAudio_MemFullError)
                        ++unexpected;
            }
        };

        std::thread first (send, 0), second (send, 1);
        bool rendered = true;
        for (int b = 0; b < 400; ++b)
            rendered = rendered && renderOnce (unit, b * 512.0) == noErr;
        done = true;
        first.join();
        second.join();
        checker.check (rendered && unexpected == 0, "MIDI sent from two threads while rendering");

        unit.get<AudioUnitUninitializeProc> (kAudioUnitUninitializeSelect) (unit.record);
    }

    //==============================================================================
    void checkNonFiniteValues (Checker& checker, const Instance& unit, const std::vector<AudioUnitParameterID>& ids)
    {
        auto initialize = unit.get<AudioUnitInitializeProc> (kAudioUnitInitializeSelect);
        auto uninitialize = unit.get<AudioUnitUninitializeProc> (kAudioUnitUninitializeSelect);
        const float values[] { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(), 1.0e30f, -1.0e30f, std::numeric_limits<float>::denorm_min() };
        bool ok = initialize (unit.record) == noErr;
        juce::String detail;

        // Every continuous parameter half-way, so that vibrato, echo and reverb all run.
        for (auto id : ids)
        {
            AudioUnitParameterInfo info {};
            unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info, sizeof (info));
            if (info.unit == kAudioUnitParameterUnit_Generic)
                unit.setParameter (id, 0.5f);
        }

        for (auto id : ids)
        {
            AudioUnitParameterInfo info {};
            unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info, sizeof (info));

            for (auto value : values)
            {
                unit.setParameter (id, value);
                const auto stored = unit.getParameter (id);

                if (! renderBlocks (unit, 2, 2, detail) || ! (stored >= info.minValue && stored <= info.maxValue))
                {
                    ok = false;
                    detail = juce::String (info.name) + " at " + juce::String (value) + ": " + detail + " value " + juce::String (stored);
                }

                unit.setParameter (id, info.defaultValue);
                if (! renderBlocks (unit, 2, 2, detail))
                    ok = false;
            }
        }

        checker.check (ok, "every parameter set to NaN, infinities, 1e30 and a denormal keeps its range and the output finite", detail);
        uninitialize (unit.record);
    }
} // namespace

//==============================================================================
void checkSelectors (Checker& checker, const Instance& unit)
{
    juce::StringArray wrong;

    for (const auto& row : selectorTable)
        if ((unit.record->Lookup (row.selector) != nullptr) != row.answered)
            wrong.add (row.name);

    checker.check (wrong.isEmpty(), "every standard selector is answered, but not ComplexRender, Process or ProcessMultiple",
                   wrong.joinIntoString (", "));
    checker.check (unit.record->Lookup (0x7777) == nullptr && unit.record->Lookup (0) == nullptr, "unknown selectors get nothing");
}

void checkHostSurface (Checker& checker, const Instance& unit, const std::vector<AudioUnitParameterID>& ids)
{
    // A continuous parameter, whose host value is its normalised value.
    auto continuous = ids.front();
    for (auto id : ids)
    {
        AudioUnitParameterInfo info {};
        unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info, sizeof (info));
        if (info.unit == kAudioUnitParameterUnit_Generic)
        {
            continuous = id;
            break;
        }
    }

    checkPropertyListeners (checker, unit);
    checkRenderNotifications (checker, unit);
    checkScheduledParameters (checker, unit, continuous);
    checkReportedChanges (checker, unit, continuous);
    checkMidi (checker, unit);
    checkNonFiniteValues (checker, unit, ids);
}

} // namespace auval
