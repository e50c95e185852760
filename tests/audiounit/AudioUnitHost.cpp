#include "audiounit/AudioUnitHost.h"
#include "helpers/TestHelpers.h"

#include <algorithm>

// The host's event-listener notification: the instances of this process find it here, as a
// component finds the system's on a Mac.
extern "C" OSStatus AUEventListenerNotify (AUEventListenerRef, void*, const AudioUnitEvent* event)
{
    return HostEventLog::add (event);
}

namespace testhost
{

//==============================================================================
HostedUnit::HostedUnit()
    : record (halvora::AUDispatch::makeRecord()),
      signal (testutil::makeTestSignal (2, 44100, 44100.0, 7))
{
    if (record->Open (record, instance()) != noErr)
        throw std::runtime_error ("the instance does not open");
}

HostedUnit::~HostedUnit()
{
    record->Close (record);
}

HalvoraAudioUnit& HostedUnit::object() const
{
    return *reinterpret_cast<halvora::AUDispatch::PlugInRecord*> (record)->unit;
}

OSStatus HostedUnit::getProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* data, UInt32 size) const
{
    return method<AudioUnitGetPropertyProc> (kAudioUnitGetPropertySelect) (record, id, scope, element, data, &size);
}

OSStatus HostedUnit::setProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, const void* data, UInt32 size) const
{
    return method<AudioUnitSetPropertyProc> (kAudioUnitSetPropertySelect) (record, id, scope, element, data, size);
}

OSStatus HostedUnit::setParameter (const char* id, float hostValue) const
{
    return method<AudioUnitSetParameterProc> (kAudioUnitSetParameterSelect) (record, HalvoraAudioUnit::parameterIdFor (id),
                                                                             kAudioUnitScope_Global, 0, hostValue, 0);
}

float HostedUnit::getParameter (const char* id) const
{
    float value = -1.0f;
    method<AudioUnitGetParameterProc> (kAudioUnitGetParameterSelect) (record, HalvoraAudioUnit::parameterIdFor (id),
                                                                      kAudioUnitScope_Global, 0, &value);
    return value;
}

std::string HostedUnit::savePreset() const
{
    AUPropertyListData data {};
    getProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &data, sizeof (data));
    return { static_cast<const char*> (data.bytes), data.size };
}

OSStatus HostedUnit::restorePreset (const std::string& text) const
{
    const AUPropertyListData data { text.data(), static_cast<UInt32> (text.size()) };
    return setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &data, sizeof (data));
}

OSStatus HostedUnit::start (int numChannels, UInt32 maxFrames)
{
    channels = numChannels;
    AudioStreamBasicDescription format { 44100.0, kAudioFormatLinearPCM, kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved,
                                         4, 1, 4, static_cast<UInt32> (channels), 32, 0 };

    for (const auto scope : { kAudioUnitScope_Input, kAudioUnitScope_Output })
        if (const auto status = setProperty (kAudioUnitProperty_StreamFormat, scope, 0, &format, sizeof (format)))
            return status;

    if (const auto status = setProperty (kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &maxFrames, sizeof (maxFrames)))
        return status;

    const AURenderCallbackStruct callback { &HostedUnit::pull, this };
    setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof (callback));

    buffers.assign (static_cast<size_t> (channels), std::vector<float> (maxFrames));
    listStorage.assign (sizeof (AudioBufferList) + sizeof (AudioBuffer) * static_cast<size_t> (channels), 0);
    return method<AudioUnitInitializeProc> (kAudioUnitInitializeSelect) (record);
}

OSStatus HostedUnit::pull (void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames, AudioBufferList* data)
{
    auto& self = *static_cast<HostedUnit*> (refCon);

    for (UInt32 i = 0; i < frames; ++i, self.signalPosition = (self.signalPosition + 1) % self.signal.getNumSamples())
        for (UInt32 b = 0; b < data->mNumberBuffers; ++b)
            static_cast<float*> (data->mBuffers[b].mData)[i] = self.signal.getSample (static_cast<int> (b % 2), self.signalPosition);

    return noErr;
}

OSStatus HostedUnit::render (UInt32 frames, Float64 sampleTime)
{
    auto* list = outputList();
    list->mNumberBuffers = static_cast<UInt32> (channels);

    for (size_t c = 0; c < buffers.size(); ++c)
        list->mBuffers[c] = { 1, static_cast<UInt32> (buffers[c].size() * sizeof (float)), buffers[c].data() };

    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp time {};
    time.mSampleTime = sampleTime;
    return method<AudioUnitRenderProc> (kAudioUnitRenderSelect) (record, &flags, &time, 0, frames, list);
}

bool HostedUnit::renderFinite (int blocks, juce::String& detail)
{
    for (int b = 0; b < blocks; ++b)
    {
        if (const auto status = render (512, b * 512.0); status != noErr)
        {
            detail = "render returned " + juce::String (status);
            return false;
        }

        for (const auto& channel : buffers)
            if (! std::all_of (channel.begin(), channel.begin() + 512, [] (float v) { return std::isfinite (v); }))
            {
                detail = "non-finite output in block " + juce::String (b);
                return false;
            }
    }

    return true;
}

} // namespace testhost
