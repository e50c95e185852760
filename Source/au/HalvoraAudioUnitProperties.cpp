// Properties: which ones there are, their sizes and who may write them, each answered by
// its family; the host's property listeners, and what the processor's changes tell them.

#include "AUProperty.h"
#include "HalvoraAudioUnit.h"

#include <algorithm>
#include <iterator>

OSStatus HalvoraAudioUnit::getPropertyInfo (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                            UInt32* outDataSize, Boolean* outWritable)
{
    UInt32 size = 0;
    Boolean writable = 0;

    switch (id)
    {
        case kAudioUnitProperty_ClassInfo:
            size = sizeof (AUPropertyListData);
            writable = 1;
            break;
        case kAudioUnitProperty_SampleRate:
            size = sizeof (Float64);
            writable = 1;
            break;
        case kAudioUnitProperty_ParameterList:
            size = scope == kAudioUnitScope_Global ? static_cast<UInt32> (parameterIds.size() * sizeof (AudioUnitParameterID)) : 0;
            break;
        case kAudioUnitProperty_ParameterInfo: size = sizeof (AudioUnitParameterInfo); break;
        case kAudioUnitProperty_ElementCount: size = sizeof (UInt32); break;
        case kAudioUnitProperty_Latency: size = sizeof (Float64); break;
        case kAudioUnitProperty_TailTime: size = sizeof (Float64); break;
        case kAudioUnitProperty_SupportedNumChannels: size = static_cast<UInt32> (channelInfos.size() * sizeof (AUChannelInfo)); break;
        case kAudioUnitProperty_MaximumFramesPerSlice:
            size = sizeof (UInt32);
            writable = 1;
            break;
        case kAudioUnitProperty_BypassEffect:
            size = sizeof (UInt32);
            writable = 1;
            break;
        case kAudioUnitProperty_FactoryPresets: size = sizeof (const AUPresetArray*); break;
        case kAudioUnitProperty_PresentPreset:
            size = sizeof (AUPreset);
            writable = 1;
            break;
        case kAudioUnitProperty_CocoaUI: size = sizeof (AudioUnitCocoaViewInfo); break;
        case kAudioUnitProperty_ParameterStringFromValue: size = sizeof (AudioUnitParameterStringFromValue); break;
        case kAudioUnitProperty_ParameterValueFromString: size = sizeof (AudioUnitParameterValueFromString); break;

        case kAudioUnitProperty_StreamFormat:
            if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
                return kAudioUnitErr_InvalidScope;
            if (element != 0)
                return kAudioUnitErr_InvalidElement;
            size = sizeof (AudioStreamBasicDescription);
            writable = 1;
            break;

        case kAudioUnitProperty_SetRenderCallback:
            if (scope != kAudioUnitScope_Input)
                return kAudioUnitErr_InvalidScope;
            size = sizeof (AURenderCallbackStruct);
            writable = 1;
            break;

        case kAudioUnitProperty_ParameterValueStrings:
        {
            auto* p = findParameter (element);
            if (p == nullptr || p->numChoices == 0)
                return kAudioUnitErr_InvalidProperty;
            size = sizeof (const AUStringArray*);
            break;
        }

        default:
            return kAudioUnitErr_InvalidProperty;
    }

    if (outDataSize != nullptr)
        *outDataSize = size;

    if (outWritable != nullptr)
        *outWritable = writable;

    return noErr;
}

HalvoraAudioUnit::PropertyFamily HalvoraAudioUnit::familyOf (AudioUnitPropertyID id) noexcept
{
    switch (id)
    {
        case kAudioUnitProperty_SampleRate:
        case kAudioUnitProperty_StreamFormat:
        case kAudioUnitProperty_SupportedNumChannels:
        case kAudioUnitProperty_ElementCount: return PropertyFamily::format;

        case kAudioUnitProperty_ParameterList:
        case kAudioUnitProperty_ParameterInfo:
        case kAudioUnitProperty_ParameterValueStrings:
        case kAudioUnitProperty_ParameterStringFromValue:
        case kAudioUnitProperty_ParameterValueFromString: return PropertyFamily::parameters;

        case kAudioUnitProperty_ClassInfo:
        case kAudioUnitProperty_PresentPreset:
        case kAudioUnitProperty_FactoryPresets: return PropertyFamily::presets;

        case kAudioUnitProperty_Latency:
        case kAudioUnitProperty_TailTime:
        case kAudioUnitProperty_MaximumFramesPerSlice:
        case kAudioUnitProperty_BypassEffect:
        case kAudioUnitProperty_SetRenderCallback: return PropertyFamily::rendering;

        case kAudioUnitProperty_CocoaUI: return PropertyFamily::view;

        default: return PropertyFamily::unknown;
    }
}

OSStatus HalvoraAudioUnit::getProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                        void* outData, UInt32* ioDataSize)
{
    UInt32 size = 0;
    Boolean writable = 0;

    if (const auto status = getPropertyInfo (id, scope, element, &size, &writable); status != noErr)
        return status;

    if (outData == nullptr || ioDataSize == nullptr || *ioDataSize < size)
        return kAudio_ParamError;

    switch (familyOf (id))
    {
        case PropertyFamily::format: return getFormatProperty (id, scope, outData, ioDataSize, size);
        case PropertyFamily::parameters: return getParameterProperty (id, scope, element, outData, ioDataSize, size);
        case PropertyFamily::presets: return getPresetProperty (id, outData, ioDataSize);
        case PropertyFamily::rendering: return getRenderingProperty (id, outData, ioDataSize);
        case PropertyFamily::view: return getViewProperty (outData, ioDataSize);
        case PropertyFamily::unknown: break;
    }

    return kAudioUnitErr_InvalidProperty;
}

OSStatus HalvoraAudioUnit::setProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                        const void* inData, UInt32 inDataSize)
{
    UInt32 size = 0;
    Boolean writable = 0;

    if (const auto status = getPropertyInfo (id, scope, element, &size, &writable); status != noErr)
        return status;

    if (! writable)
        return kAudioUnitErr_PropertyNotWritable;

    switch (familyOf (id))
    {
        case PropertyFamily::format: return setFormatProperty (id, scope, inData, inDataSize);
        case PropertyFamily::presets: return setPresetProperty (id, inData, inDataSize);
        case PropertyFamily::rendering: return setRenderingProperty (id, element, inData, inDataSize);
        case PropertyFamily::parameters:
        case PropertyFamily::view:
        case PropertyFamily::unknown: break;
    }

    return kAudioUnitErr_PropertyNotWritable;
}

// The view: where the editor's factory lives, and what it calls itself.

OSStatus HalvoraAudioUnit::getViewProperty (void* outData, UInt32* ioDataSize)
{
    const AudioUnitCocoaViewInfo info { bundleLocation.c_str(), { viewClassName.c_str() }, 0, JucePlugin_Name };
    return AUProperty::write (outData, ioDataSize, info);
}

//==============================================================================
OSStatus HalvoraAudioUnit::addPropertyListener (AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* userData)
{
    if (proc == nullptr)
        return kAudio_ParamError;

    const std::lock_guard<std::mutex> lock (propertyListenerLock);
    propertyListeners.push_back ({ id, proc, userData });
    return noErr;
}

OSStatus HalvoraAudioUnit::removePropertyListener (AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* userData,
                                                   bool userDataGiven)
{
    const std::lock_guard<std::mutex> lock (propertyListenerLock);
    const auto matches = [&] (const PropertyListener& l) { return l.id == id && l.proc == proc && (! userDataGiven || l.userData == userData); };
    propertyListeners.erase (std::remove_if (propertyListeners.begin(), propertyListeners.end(), matches), propertyListeners.end());
    return noErr;
}

void HalvoraAudioUnit::propertyChanged (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)
{
    // Called outside the lock, so that a listener may add or remove listeners itself.
    std::vector<PropertyListener> toCall;

    {
        const std::lock_guard<std::mutex> lock (propertyListenerLock);
        std::copy_if (propertyListeners.begin(), propertyListeners.end(), std::back_inserter (toCall),
                      [id] (const PropertyListener& l) { return l.id == id; });
    }

    for (const auto& l : toCall)
        l.proc (l.userData, instance, id, scope, element);
}

void HalvoraAudioUnit::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details)
{
    // Any change may show in the saved state; the rest only when the details say so.
    auto changes = static_cast<int> (stateChange);

    if (details.latencyChanged)
        changes |= latencyChange;
    if (details.parameterInfoChanged)
        changes |= parameterInfoChange;
    if (details.programChanged)
        changes |= programChange;

    pendingProcessorChanges.fetch_or (changes);

    // Listeners run on the message thread, never on the audio thread that may have caused this.
    if (juce::MessageManager::existsAndIsCurrentThread())
        handleAsyncUpdate();
    else
        triggerAsyncUpdate();
}

void HalvoraAudioUnit::handleAsyncUpdate()
{
    const auto changes = pendingProcessorChanges.exchange (0);

    if ((changes & latencyChange) != 0)
        propertyChanged (kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0);

    if ((changes & parameterInfoChange) != 0)
    {
        propertyChanged (kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0);
        propertyChanged (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 0);
    }

    if ((changes & stateChange) != 0)
        propertyChanged (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0);

    if ((changes & programChange) != 0)
        propertyChanged (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);
}
