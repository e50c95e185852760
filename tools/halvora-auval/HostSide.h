#pragma once

// The host's side of halvora-auval: the checker, an opened instance driven through the
// methods its Lookup hands out, an input source, and what the host hears back from the
// instance (its events and property changes).

#include "au/AudioUnitAPI.h"

#include <juce_core/juce_core.h>

#include <cmath>
#include <iostream>
#include <mutex>
#include <vector>

namespace auval
{

struct Checker
{
    int passed = 0, failed = 0;

    bool check (bool ok, const juce::String& name, const juce::String& detail = {})
    {
        std::cout << (ok ? "PASS " : "FAIL ") << name << (ok || detail.isEmpty() ? juce::String() : ": " + detail) << "\n";
        (ok ? passed : failed)++;
        return ok;
    }
};

/** The methods of one opened instance, looked up once. */
struct Instance
{
    AudioComponentPlugInInterface* record = nullptr;

    template <typename Proc>
    Proc get (SInt16 selector) const { return reinterpret_cast<Proc> (record->Lookup (selector)); }

    OSStatus getProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* data, UInt32 size) const
    {
        return get<AudioUnitGetPropertyProc> (kAudioUnitGetPropertySelect) (record, id, scope, element, data, &size);
    }

    OSStatus setProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, const void* data, UInt32 size) const
    {
        return get<AudioUnitSetPropertyProc> (kAudioUnitSetPropertySelect) (record, id, scope, element, data, size);
    }

    OSStatus setParameter (AudioUnitParameterID id, float value) const
    {
        return get<AudioUnitSetParameterProc> (kAudioUnitSetParameterSelect) (record, id, kAudioUnitScope_Global, 0, value, 0);
    }

    float getParameter (AudioUnitParameterID id) const
    {
        float value = -1.0f;
        get<AudioUnitGetParameterProc> (kAudioUnitGetParameterSelect) (record, id, kAudioUnitScope_Global, 0, &value);
        return value;
    }

    OSStatus setChannels (int in, int out) const
    {
        AudioStreamBasicDescription format { 44100.0, kAudioFormatLinearPCM, kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved,
                                             4, 1, 4, static_cast<UInt32> (in), 32, 0 };
        if (const auto status = setProperty (kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, sizeof (format)))
            return status;

        format.mChannelsPerFrame = static_cast<UInt32> (out);
        return setProperty (kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, sizeof (format));
    }
};

/** A host's input: a sine per channel. */
struct SineSource
{
    double phase = 0.0;

    static OSStatus pull (void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames, AudioBufferList* data)
    {
        auto* self = static_cast<SineSource*> (refCon);
        const auto start = self->phase;

        for (UInt32 b = 0; b < data->mNumberBuffers; ++b)
        {
            auto* out = static_cast<float*> (data->mBuffers[b].mData);
            auto p = start;
            for (UInt32 i = 0; i < frames; ++i, p += 2.0 * juce::MathConstants<double>::pi * 300.0 / 44100.0)
                out[i] = 0.4f * static_cast<float> (std::sin (p + b));
        }

        self->phase = start + frames * 2.0 * juce::MathConstants<double>::pi * 300.0 / 44100.0;
        return noErr;
    }
};

inline bool renderBlocks (const Instance& unit, int channels, int blocks, juce::String& detail)
{
    SineSource source;
    const AURenderCallbackStruct callback { &SineSource::pull, &source };
    unit.setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof (callback));

    std::vector<char> listStorage (sizeof (AudioBufferList) + sizeof (AudioBuffer) * static_cast<size_t> (channels));
    std::vector<std::vector<float>> buffers (static_cast<size_t> (channels), std::vector<float> (512));
    auto* list = reinterpret_cast<AudioBufferList*> (listStorage.data());
    auto render = unit.get<AudioUnitRenderProc> (kAudioUnitRenderSelect);

    for (int b = 0; b < blocks; ++b)
    {
        list->mNumberBuffers = static_cast<UInt32> (channels);
        for (int c = 0; c < channels; ++c)
            list->mBuffers[c] = { 1, 512 * sizeof (float), buffers[static_cast<size_t> (c)].data() };

        AudioUnitRenderActionFlags flags = 0;
        AudioTimeStamp time {};
        time.mSampleTime = b * 512.0;

        if (const auto status = render (unit.record, &flags, &time, 0, 512, list); status != noErr)
        {
            detail = "render returned " + juce::String (status);
            return false;
        }

        for (const auto& channel : buffers)
            for (auto v : channel)
                if (! std::isfinite (v))
                {
                    detail = "non-finite output";
                    return false;
                }
    }

    return true;
}

//==============================================================================
/** The checks of the rest of the surface: selectors, listeners, notifications, scheduled
    parameters, reported parameter changes, MIDI from other threads, non-finite values.
    `ids` are the parameters as the instance lists them; the instance is uninitialised,
    2 in and 2 out at 44100 Hz.
*/
void checkSelectors (Checker&, const Instance&);
void checkHostSurface (Checker&, const Instance&, const std::vector<AudioUnitParameterID>& ids);

} // namespace auval
