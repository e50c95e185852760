// Counts the heap allocations of the Audio Unit layer's render, with everything a host
// hangs on it: render notifications, waiting MIDI of every kind, bypass on and off.

#include "audiounit/AudioUnitHost.h"
#include "realtime/AllocationCounter.h"

#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

namespace ParamID = halvora::ParamID;

namespace
{
OSStatus ignoreNotification (void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
    return noErr;
}
}

TEST (AudioUnitRealtime, RenderAllocatesNothing)
{
    testhost::HostedUnit unit;
    ASSERT_EQ (unit.start (2, 1024), noErr);
    int tag = 0;
    unit.method<AudioUnitAddRenderNotifyProc> (kAudioUnitAddRenderNotifySelect) (&unit.interface(), &ignoreNotification, &tag);
    unit.setParameter (ParamID::vibDepth, 0.3f);
    unit.setParameter (ParamID::delayMix, 0.4f);
    unit.setParameter (ParamID::reverbMix, 0.4f);

    const auto midiEvent = unit.method<MusicDeviceMIDIEventProc> (kMusicDeviceMIDIEventSelect);
    const auto sysEx = unit.method<MusicDeviceSysExProc> (kMusicDeviceSysExSelect);
    std::vector<UInt8> longSysEx (60000, 0x11);
    longSysEx.front() = 0xf0;
    longSysEx.back() = 0xf7;

    for (int block = 0; block < 24; ++block)
    {
        // A full queue on some blocks, a few events or none on others.
        const auto events = block % 3 == 0 ? 20000 : block % 3 == 1 ? 5
                                                                    : 0;
        for (int i = 0; i < events; ++i)
            midiEvent (&unit.interface(), 0x90, static_cast<UInt32> (i & 0x7f), 100, static_cast<UInt32> (i % 2000));

        if (block % 4 == 0)
            sysEx (&unit.interface(), longSysEx.data(), static_cast<UInt32> (longSysEx.size()));

        const UInt32 bypass = block % 5 == 4 ? 1 : 0;
        unit.setProperty (kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &bypass, sizeof (bypass));

        const auto frames = static_cast<UInt32> (block % 2 == 0 ? 1024 : 1 + block * 37);
        AllocationCounter::start();
        const auto status = unit.render (frames);
        EXPECT_EQ (AllocationCounter::stop(), 0) << "block " << block;
        ASSERT_EQ (status, noErr);
    }
}
