// Rendering: the slice itself, the host's notifications around it, and the properties that
// shape it (latency, tail, the largest slice, bypass and the input callback).

#include "AUProperty.h"
#include "HalvoraAudioUnit.h"

#include <cstring>

OSStatus HalvoraAudioUnit::render (AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* timeStamp,
                                   UInt32 outputBus, UInt32 numFrames, AudioBufferList* ioData)
{
    // A call the unit cannot take at all is refused before any notification, as in the base.
    if (! initialised)
        return kAudioUnitErr_Uninitialized;

    if (outputBus != 0)
        return kAudioUnitErr_InvalidElement;

    if (numFrames > maxFramesPerSlice)
        return kAudioUnitErr_TooManyFramesToProcess;

    if (ioData == nullptr || ioData->mNumberBuffers != static_cast<UInt32> (outputChannels))
        return kAudio_ParamError;

    AudioUnitRenderActionFlags noFlags = 0;
    auto& flags = ioActionFlags != nullptr ? *ioActionFlags : noFlags;

    renderNotifies.refresh();
    renderNotifies.notify (flags | kAudioUnitRenderAction_PreRender, timeStamp, outputBus, numFrames, ioData);

    const auto status = renderSlice (timeStamp, numFrames, ioData);

    if (status == noErr)
        flags &= ~static_cast<AudioUnitRenderActionFlags> (kAudioUnitRenderAction_OutputIsSilence);

    renderNotifies.notify (flags | kAudioUnitRenderAction_PostRender | (status != noErr ? kAudioUnitRenderAction_PostRenderError : 0U),
                           timeStamp, outputBus, numFrames, ioData);
    return status;
}

OSStatus HalvoraAudioUnit::renderSlice (const AudioTimeStamp* timeStamp, UInt32 numFrames, AudioBufferList* ioData)
{
    if (inputCallback.inputProc == nullptr)
        return kAudioUnitErr_NoConnection;

    const auto frames = static_cast<int> (numFrames);
    const auto bytes = numFrames * sizeof (float);

    // Pull the input into our own buffers; the host may hand back buffers of its own.
    auto* input = reinterpret_cast<AudioBufferList*> (inputListStorage.get());
    input->mNumberBuffers = static_cast<UInt32> (inputChannels);

    for (int c = 0; c < inputChannels; ++c)
        input->mBuffers[c] = { 1, static_cast<UInt32> (bytes), renderBuffer.getWritePointer (c) };

    AudioUnitRenderActionFlags pullFlags = 0;

    if (const auto status = inputCallback.inputProc (inputCallback.inputProcRefCon, &pullFlags, timeStamp, 0, numFrames, input);
        status != noErr)
        return status;

    for (int c = 0; c < inputChannels; ++c)
    {
        const auto* data = static_cast<const float*> (input->mBuffers[c].mData);

        if (data == nullptr || input->mBuffers[c].mDataByteSize < bytes)
            return kAudio_ParamError;

        if (data != renderBuffer.getReadPointer (c))
            std::memcpy (renderBuffer.getWritePointer (c), data, bytes);
    }

    for (int c = inputChannels; c < renderBuffer.getNumChannels(); ++c)
        juce::FloatVectorOperations::clear (renderBuffer.getWritePointer (c), frames);

    // What the host sent since the last render goes with this block. The buffer has room
    // for a full queue, so this allocates nothing.
    midi.clear();

    if (midiDiscardRequested.exchange (false))
        midiQueue.discardAll();

    const auto lastFrame = juce::jmax (0, frames - 1);
    midiQueue.popSome ([this, lastFrame] (const juce::uint8* data, int size, UInt32 offset) {
        midi.addEvent (data, size, static_cast<int> (juce::jmin<UInt32> (offset, static_cast<UInt32> (lastFrame))));
    });

    juce::AudioBuffer<float> block (renderBuffer.getArrayOfWritePointers(), renderBuffer.getNumChannels(), frames);

    if (bypass.load (std::memory_order_relaxed) == 0)
        processor->processBlock (block, midi);

    for (int c = 0; c < outputChannels; ++c)
    {
        auto& out = ioData->mBuffers[c];

        if (out.mData == nullptr)
            out.mData = renderBuffer.getWritePointer (c);
        else if (out.mData != renderBuffer.getReadPointer (c))
            std::memcpy (out.mData, renderBuffer.getReadPointer (c), bytes);

        out.mNumberChannels = 1;
        out.mDataByteSize = static_cast<UInt32> (bytes);
    }

    return noErr;
}

OSStatus HalvoraAudioUnit::reset (AudioUnitScope, AudioUnitElement)
{
    processor->reset();

    // The render thread owns the waiting events; it drops them before its next block.
    midiDiscardRequested = true;
    return noErr;
}

OSStatus HalvoraAudioUnit::addRenderNotify (AURenderCallback proc, void* userData)
{
    return renderNotifies.add (proc, userData);
}

OSStatus HalvoraAudioUnit::removeRenderNotify (AURenderCallback proc, void* userData)
{
    return renderNotifies.remove (proc, userData);
}

//==============================================================================
OSStatus HalvoraAudioUnit::getRenderingProperty (AudioUnitPropertyID id, void* outData, UInt32* ioDataSize)
{
    switch (id)
    {
        case kAudioUnitProperty_Latency: return AUProperty::write (outData, ioDataSize, processor->getLatencySamples() / sampleRate);
        case kAudioUnitProperty_TailTime: return AUProperty::write (outData, ioDataSize, processor->getTailLengthSeconds());
        case kAudioUnitProperty_MaximumFramesPerSlice: return AUProperty::write (outData, ioDataSize, maxFramesPerSlice);
        case kAudioUnitProperty_BypassEffect: return AUProperty::write (outData, ioDataSize, bypass.load());
        default: return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus HalvoraAudioUnit::setRenderingProperty (AudioUnitPropertyID id, AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
    using AUProperty::Taken;

    switch (id)
    {
        case kAudioUnitProperty_MaximumFramesPerSlice:
            return AUProperty::take<UInt32> (
                inData, inDataSize, kAudioUnitErr_InvalidPropertyValue,
                [this] (UInt32 frames) {
                    if (frames == 0 || frames > 65536)
                        return Taken::refusal (kAudioUnitErr_InvalidPropertyValue);

                    return AUProperty::storeUnlessInitialised (maxFramesPerSlice, frames, initialised);
                },
                [this] { propertyChanged (kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0); });

        case kAudioUnitProperty_BypassEffect:
            return AUProperty::take<UInt32> (
                inData, inDataSize, kAudio_ParamError,
                [this] (UInt32 value) {
                    bypass = value != 0 ? 1 : 0;
                    return Taken::change();
                },
                [this] { propertyChanged (kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0); });

        case kAudioUnitProperty_SetRenderCallback:
            return AUProperty::take<AURenderCallbackStruct> (
                inData, inDataSize, kAudio_ParamError,
                [this] (const AURenderCallbackStruct& callback) {
                    inputCallback = callback;
                    return Taken::change();
                },
                [this, element] { propertyChanged (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, element); });

        default:
            return kAudioUnitErr_PropertyNotWritable;
    }
}
