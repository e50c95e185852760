// Format and streams: the one sample rate, each bus's channels, the supported configurations.

#include "AUProperty.h"
#include "HalvoraAudioUnit.h"

#include <algorithm>
#include <cstring>

bool HalvoraAudioUnit::channelCountSupported (AudioUnitScope scope, UInt32 channels) const noexcept
{
    return std::any_of (channelInfos.begin(), channelInfos.end(), [scope, channels] (const AUChannelInfo& info) {
        return static_cast<UInt32> (scope == kAudioUnitScope_Input ? info.inChannels : info.outChannels) == channels;
    });
}

int& HalvoraAudioUnit::channelsFor (AudioUnitScope scope) noexcept
{
    return scope == kAudioUnitScope_Input ? inputChannels : outputChannels;
}

OSStatus HalvoraAudioUnit::getFormatProperty (AudioUnitPropertyID id, AudioUnitScope scope, void* outData,
                                              UInt32* ioDataSize, UInt32 size)
{
    switch (id)
    {
        case kAudioUnitProperty_SampleRate: return AUProperty::write (outData, ioDataSize, sampleRate);
        case kAudioUnitProperty_ElementCount: return AUProperty::write (outData, ioDataSize, static_cast<UInt32> (1));

        case kAudioUnitProperty_SupportedNumChannels:
            std::memcpy (outData, channelInfos.data(), size);
            *ioDataSize = size;
            return noErr;

        case kAudioUnitProperty_StreamFormat:
        {
            const auto channels = static_cast<UInt32> (channelsFor (scope));
            const AudioStreamBasicDescription format { sampleRate, kAudioFormatLinearPCM,
                                                       kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved,
                                                       4, 1, 4, channels, 32, 0 };
            return AUProperty::write (outData, ioDataSize, format);
        }

        default:
            return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus HalvoraAudioUnit::setFormatProperty (AudioUnitPropertyID id, AudioUnitScope scope, const void* inData, UInt32 inDataSize)
{
    using AUProperty::Taken;

    switch (id)
    {
        case kAudioUnitProperty_SampleRate:
            return AUProperty::take<Float64> (
                inData, inDataSize, kAudioUnitErr_InvalidPropertyValue,
                [this] (Float64 rate) {
                    if (! (rate > 0.0 && rate <= 1536000.0))
                        return Taken::refusal (kAudioUnitErr_InvalidPropertyValue);

                    return AUProperty::storeUnlessInitialised (sampleRate, rate, initialised);
                },
                [this] {
                    // Both buses run at the one rate, so both stream formats change with it.
                    for (const auto changed : { kAudioUnitScope_Input, kAudioUnitScope_Output })
                    {
                        propertyChanged (kAudioUnitProperty_StreamFormat, changed, 0);
                        propertyChanged (kAudioUnitProperty_SampleRate, changed, 0);
                    }
                });

        case kAudioUnitProperty_StreamFormat:
        {
            auto channelsChanged = false, rateChanged = false;

            return AUProperty::take<AudioStreamBasicDescription> (
                inData, inDataSize, kAudio_ParamError,
                [&] (const AudioStreamBasicDescription& format) {
                    if (format.mFormatID != kAudioFormatLinearPCM || (format.mFormatFlags & kAudioFormatFlagIsFloat) == 0
                        || format.mBitsPerChannel != 32 || ! (format.mSampleRate > 0.0 && format.mSampleRate <= 1536000.0)
                        || ! channelCountSupported (scope, format.mChannelsPerFrame))
                        return Taken::refusal (kAudioUnitErr_FormatNotSupported);

                    channelsChanged = static_cast<int> (format.mChannelsPerFrame) != channelsFor (scope);
                    rateChanged = format.mSampleRate != sampleRate;

                    if (initialised && (channelsChanged || rateChanged))
                        return Taken::refusal (kAudioUnitErr_Initialized);

                    channelsFor (scope) = static_cast<int> (format.mChannelsPerFrame);
                    sampleRate = format.mSampleRate;
                    return channelsChanged || rateChanged ? Taken::change() : Taken::noChange();
                },
                [&] {
                    // A new rate changes both buses; new channels only the bus they are for.
                    for (const auto changed : { kAudioUnitScope_Input, kAudioUnitScope_Output })
                    {
                        if (rateChanged || (channelsChanged && changed == scope))
                            propertyChanged (kAudioUnitProperty_StreamFormat, changed, 0);

                        if (rateChanged)
                            propertyChanged (kAudioUnitProperty_SampleRate, changed, 0);
                    }
                });
        }

        default:
            return kAudioUnitErr_PropertyNotWritable;
    }
}
