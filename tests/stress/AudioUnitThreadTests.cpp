// A host that sends MIDI from two threads while its audio thread renders, and adds and
// removes render notifications and property listeners meanwhile, as hosts do from their
// own threads. Nothing may race (this runs under ThreadSanitizer too), no event may be lost
// or made up, and every sample stays finite.

#include "audiounit/AudioUnitHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
constexpr int blocksToRender = 2000;

OSStatus countNotification (void* userData, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
    static_cast<std::atomic<int>*> (userData)->fetch_add (1, std::memory_order_relaxed);
    return noErr;
}

void ignoreProperty (void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {}
}

TEST (AudioUnitThreads, MidiFromTwoThreadsWhileRendering)
{
    testhost::HostedUnit unit;
    ASSERT_EQ (unit.start (2, 512), noErr);

    auto* const self = &unit.interface();
    const auto midiEvent = unit.method<MusicDeviceMIDIEventProc> (kMusicDeviceMIDIEventSelect);
    const auto sysEx = unit.method<MusicDeviceSysExProc> (kMusicDeviceSysExSelect);
    const auto startNote = unit.method<MusicDeviceStartNoteProc> (kMusicDeviceStartNoteSelect);

    std::atomic<bool> renderingDone { false };
    std::atomic<int> threadsStarted { 0 };
    std::atomic<int> accepted { 0 }, refused { 0 }, unexpected { 0 }, notified { 0 };
    int delivered = 0, failedRenders = 0, nonFinite = 0;

    // The audio thread: renders, and counts what each block was handed.
    std::thread audio ([&] {
        // Rendering starts once the others run, so that they all overlap.
        while (threadsStarted < 3)
            std::this_thread::yield();

        for (int b = 0; b < blocksToRender; ++b)
        {
            if (unit.render (static_cast<UInt32> (1 + (b * 37) % 512), b * 512.0) != noErr)
                ++failedRenders;

            delivered += unit.object().getLastRenderedMidi().getNumEvents();

            for (const auto& channel : unit.output())
                for (auto v : channel)
                    if (! std::isfinite (v))
                        ++nonFinite;
        }

        renderingDone = true;
    });

    // Two MIDI senders, each with its own kinds of event.
    const auto sender = [&] (int channel) {
        const UInt8 message[] { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 };
        const MusicDeviceNoteParams params { 2, 60.0f, 90.0f };
        ++threadsStarted;

        for (int i = 0; ! renderingDone; ++i)
        {
            NoteInstanceID note = 0;
            const OSStatus results[] {
                midiEvent (self, static_cast<UInt32> (0xb0 | channel), static_cast<UInt32> (i & 0x7f), 64, static_cast<UInt32> (i % 700)),
                channel == 0 ? sysEx (self, message, sizeof (message))
                             : startNote (self, 0, static_cast<MusicDeviceGroupID> (channel), &note, static_cast<UInt32> (i % 300), &params)
            };

            for (auto status : results)
                (status == noErr ? accepted : status == kAudio_MemFullError ? refused
                                                                            : unexpected)++;

            if ((i % 64) == 0)
                std::this_thread::yield();
        }
    };

    std::thread first (sender, 0), second (sender, 1);

    // Another host thread adds and removes a render notification and property listeners.
    std::thread host ([&] {
        const auto addNotify = unit.method<AudioUnitAddRenderNotifyProc> (kAudioUnitAddRenderNotifySelect);
        const auto removeNotify = unit.method<AudioUnitRemoveRenderNotifyProc> (kAudioUnitRemoveRenderNotifySelect);
        const auto addListener = unit.method<AudioUnitAddPropertyListenerProc> (kAudioUnitAddPropertyListenerSelect);
        const auto removeListener = unit.method<AudioUnitRemovePropertyListenerWithUserDataProc> (kAudioUnitRemovePropertyListenerWithUserDataSelect);
        ++threadsStarted;

        while (! renderingDone)
        {
            addNotify (self, &countNotification, &notified);
            addListener (self, kAudioUnitProperty_BypassEffect, &ignoreProperty, nullptr);
            std::this_thread::yield();
            removeNotify (self, &countNotification, &notified);
            removeListener (self, kAudioUnitProperty_BypassEffect, &ignoreProperty, nullptr);
        }
    });

    audio.join();
    first.join();
    second.join();
    host.join();

    // What was still waiting arrives with the next renders.
    for (int b = 0; b < 100 && delivered < accepted; ++b)
    {
        ASSERT_EQ (unit.render (512), noErr);
        delivered += unit.object().getLastRenderedMidi().getNumEvents();
    }

    EXPECT_EQ (failedRenders, 0);
    EXPECT_EQ (nonFinite, 0);
    EXPECT_EQ (unexpected, 0);
    EXPECT_GT (accepted, 0);
    EXPECT_EQ (delivered, accepted.load());
    EXPECT_EQ (notified % 2, 0); // a render's notifications come in before-and-after pairs
}
