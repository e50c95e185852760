#include "HalvoraAudioUnit.h"
#include "AUPresetState.h"
#include "PropertyList.h"

#include <cstring>

// The host's event-listener notification is the host's to provide; without one, parameter
// moves simply go unreported.
#pragma weak AUEventListenerNotify

namespace
{
/** The instance whose host is setting a parameter on this thread. The processor reports
    that change back like any other, and it must not be echoed to the host that made it.
*/
thread_local const void* parameterSetByHost = nullptr;

struct ScopedHostParameterChange
{
    explicit ScopedHostParameterChange (const void* unit) noexcept
        : previous (parameterSetByHost)
    {
        parameterSetByHost = unit;
    }
    ~ScopedHostParameterChange() { parameterSetByHost = previous; }

    const void* previous;
};

/** A ramp's value where it starts within the slice: at the slice's first frame if it
    began earlier, at its end if it is already over.
*/
template <typename Ramp>
float valueWhereItStarts (const Ramp& ramp) noexcept
{
    const auto start = static_cast<juce::int64> (ramp.startBufferOffset);
    const auto end = start + static_cast<juce::int64> (ramp.durationInFrames);

    if (end <= 0)
        return ramp.endValue;

    if (start >= 0)
        return ramp.startValue;

    return static_cast<float> (ramp.startValue + (static_cast<double> (ramp.endValue) - ramp.startValue) * static_cast<double> (-start) / static_cast<double> (ramp.durationInFrames));
}

juce::AudioChannelSet channelSetFor (int channels)
{
    if (channels == 0)
        return juce::AudioChannelSet::disabled();
    if (channels == 1)
        return juce::AudioChannelSet::mono();
    if (channels == 2)
        return juce::AudioChannelSet::stereo();
    return juce::AudioChannelSet::discreteChannels (channels);
}

template <typename T>
OSStatus writeValue (void* outData, UInt32* ioDataSize, const T& value)
{
    if (outData == nullptr || ioDataSize == nullptr || *ioDataSize < sizeof (T))
        return kAudio_ParamError;

    std::memcpy (outData, &value, sizeof (T));
    *ioDataSize = sizeof (T);
    return noErr;
}

template <typename T>
const T* readValue (const void* inData, UInt32 inDataSize)
{
    return inData != nullptr && inDataSize >= sizeof (T) ? static_cast<const T*> (inData) : nullptr;
}

/** Chosen once per process, as the Cocoa runtime wants unique class names. */
const juce::String& viewClassSuffix()
{
    static const auto suffix = juce::String::toHexString (juce::Random().nextInt64());
    return suffix;
}
}

//==============================================================================
HalvoraAudioUnit::HalvoraAudioUnit (const AudioComponentDescription& desc, AudioComponentInstance hostInstance)
    : description (desc),
      instance (hostInstance != nullptr ? hostInstance : reinterpret_cast<AudioComponentInstance> (this))
{
    juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_AudioUnit;
    processor.reset (createPluginFilter());
    processor->enableAllBuses();

    // Every pair of main-bus channel counts the processor accepts, and the current one.
    for (int in = 0; in <= 8; ++in)
    {
        for (int out = 1; out <= 8; ++out)
        {
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (channelSetFor (in));
            layout.outputBuses.add (channelSetFor (out));

            if (processor->checkBusesLayoutSupported (layout))
                channelInfos.push_back ({ static_cast<SInt16> (in), static_cast<SInt16> (out) });
        }
    }

    inputChannels = processor->getMainBusNumInputChannels();
    outputChannels = processor->getMainBusNumOutputChannels();

    const auto current = std::find_if (channelInfos.begin(), channelInfos.end(), [this] (const AUChannelInfo& info) { return info.inChannels == inputChannels && info.outChannels == outputChannels; });
    if (current == channelInfos.end())
        channelInfos.push_back ({ static_cast<SInt16> (inputChannels), static_cast<SInt16> (outputChannels) });

    // Published in the order of their identifiers, which depend on the ID strings alone.
    for (auto* p : processor->getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p);

        if (ranged == nullptr)
            continue;

        PublishedParameter published;
        published.id = parameterIdFor (ranged->getParameterID());
        published.parameter = ranged;
        published.name = ranged->getName (512).toStdString();

        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (ranged))
        {
            published.numChoices = choice->choices.size();

            for (const auto& text : choice->choices)
                published.valueStrings.push_back (text.toStdString());
        }

        parameters.push_back (std::move (published));
    }

    std::stable_sort (parameters.begin(), parameters.end(), [] (const PublishedParameter& a, const PublishedParameter& b) { return a.id < b.id; });

    idByIndex.resize (static_cast<size_t> (processor->getParameters().size()));

    for (auto& p : parameters)
    {
        for (const auto& text : p.valueStrings)
            p.valueStringPointers.push_back (text.c_str());

        p.valueStringArray = { static_cast<UInt32> (p.valueStringPointers.size()), p.valueStringPointers.data() };
        parameterIds.push_back (p.id);

        if (juce::isPositiveAndBelow (p.parameter->getParameterIndex(), static_cast<int> (idByIndex.size())))
            idByIndex[static_cast<size_t> (p.parameter->getParameterIndex())] = p.id;
    }

    // Room for every event the queue can hold, so that handing them over never allocates.
    midi.ensureSize (MidiEventQueue::capacity);
    processor->addListener (this);

    const auto library = juce::File::getSpecialLocation (juce::File::currentExecutableFile);
    bundleLocation = library.getParentDirectory().getParentDirectory().getParentDirectory().getFullPathName().toStdString();
    viewClassName = ("JUCE_AUCocoaViewClass_" + viewClassSuffix()).toStdString();
}

HalvoraAudioUnit::~HalvoraAudioUnit()
{
    processor->removeListener (this);
    cancelPendingUpdate();

    if (initialised)
        processor->releaseResources();
}

AudioUnitParameterID HalvoraAudioUnit::parameterIdFor (const juce::String& parameterID) noexcept
{
    return static_cast<AudioUnitParameterID> (parameterID.hashCode()) & 0x7fffffffU;
}

//==============================================================================
OSStatus HalvoraAudioUnit::initialize()
{
    if (initialised)
        return noErr;

    const auto supported = std::any_of (channelInfos.begin(), channelInfos.end(), [this] (const AUChannelInfo& info) { return info.inChannels == inputChannels && info.outChannels == outputChannels; });

    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (channelSetFor (inputChannels));
    layout.outputBuses.add (channelSetFor (outputChannels));

    if (! supported || ! processor->setBusesLayout (layout))
        return kAudioUnitErr_FormatNotSupported;

    const auto maxFrames = static_cast<int> (maxFramesPerSlice);
    processor->setRateAndBufferSizeDetails (sampleRate, maxFrames);
    processor->prepareToPlay (sampleRate, maxFrames);

    renderBuffer.setSize (juce::jmax (inputChannels, outputChannels, 1), maxFrames);
    inputListStorage.calloc (sizeof (AudioBufferList) + sizeof (AudioBuffer) * static_cast<size_t> (juce::jmax (1, inputChannels)));

    // MIDI sent before the host started belongs to no block. Nothing renders before this
    // returns, so this thread may empty the queue in the render thread's place.
    midiQueue.discardAll();
    midiDiscardRequested = false;

    initialised = true;
    return noErr;
}

OSStatus HalvoraAudioUnit::uninitialize()
{
    if (initialised)
        processor->releaseResources();

    initialised = false;
    return noErr;
}

//==============================================================================
HalvoraAudioUnit::PublishedParameter* HalvoraAudioUnit::findParameter (AudioUnitParameterID id) noexcept
{
    const auto found = std::lower_bound (parameters.begin(), parameters.end(), id,
                                         [] (const PublishedParameter& p, AudioUnitParameterID value) { return p.id < value; });

    return found != parameters.end() && found->id == id ? &*found : nullptr;
}

float HalvoraAudioUnit::toHostValue (const PublishedParameter& p, float normalised) const noexcept
{
    normalised = std::isnan (normalised) ? 0.0f : juce::jlimit (0.0f, 1.0f, normalised);

    if (p.numChoices > 1)
        return static_cast<float> (juce::roundToInt (normalised * static_cast<float> (p.numChoices - 1)));

    return normalised;
}

std::optional<float> HalvoraAudioUnit::fromHostValue (const PublishedParameter& p, float hostValue) const noexcept
{
    // NaN names no value at all and is ignored; the infinities are out of range like any
    // other value and clamp to the ends.
    if (std::isnan (hostValue))
        return std::nullopt;

    if (p.numChoices > 1)
        return juce::jlimit (0.0f, static_cast<float> (p.numChoices - 1), hostValue) / static_cast<float> (p.numChoices - 1);

    return juce::jlimit (0.0f, 1.0f, hostValue);
}

void HalvoraAudioUnit::applyHostValue (PublishedParameter& p, float hostValue)
{
    const auto normalised = fromHostValue (p, hostValue);

    if (! normalised || *normalised == p.parameter->getValue())
        return;

    const ScopedHostParameterChange fromHost (this);
    p.parameter->setValueNotifyingHost (*normalised);
}

OSStatus HalvoraAudioUnit::getParameter (AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                         AudioUnitParameterValue* outValue)
{
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidScope;

    auto* p = findParameter (id);

    if (p == nullptr)
        return kAudioUnitErr_InvalidParameter;

    if (outValue == nullptr)
        return kAudio_ParamError;

    *outValue = toHostValue (*p, p->parameter->getValue());
    return noErr;
}

OSStatus HalvoraAudioUnit::setParameter (AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                         AudioUnitParameterValue value)
{
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidScope;

    auto* p = findParameter (id);

    if (p == nullptr)
        return kAudioUnitErr_InvalidParameter;

    applyHostValue (*p, value);
    return noErr;
}

OSStatus HalvoraAudioUnit::scheduleParameters (const AudioUnitParameterEvent* events, UInt32 numEvents)
{
    if (numEvents == 0)
        return noErr;

    if (events == nullptr)
        return kAudio_ParamError;

    // All or nothing: one bad event refuses the whole batch before anything moves.
    std::vector<const AudioUnitParameterEvent*> ordered;
    ordered.reserve (numEvents);

    for (UInt32 i = 0; i < numEvents; ++i)
    {
        const auto& event = events[i];

        if (event.scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;

        if (findParameter (event.parameter) == nullptr)
            return kAudioUnitErr_InvalidParameter;

        if (event.eventType != kParameterEvent_Immediate && event.eventType != kParameterEvent_Ramped)
            return kAudio_ParamError;

        ordered.push_back (&event);
    }

    // The block reads each parameter once, at its start. So the events take effect when
    // they are scheduled, before the slice they belong to renders, in the order of the
    // frames they start at: an immediate event sets its value, and a ramp the value it has
    // where it starts within the slice (its value at the slice's first frame if it began
    // earlier, its end value if it is already over). The last one for a parameter wins.
    const auto startFrame = [] (const AudioUnitParameterEvent* e) -> juce::int64 {
        return e->eventType == kParameterEvent_Immediate ? static_cast<juce::int64> (e->eventValues.immediate.bufferOffset)
                                                         : juce::jmax<juce::int64> (0, e->eventValues.ramp.startBufferOffset);
    };

    std::stable_sort (ordered.begin(), ordered.end(), [&] (const AudioUnitParameterEvent* a, const AudioUnitParameterEvent* b) { return startFrame (a) < startFrame (b); });

    for (const auto* event : ordered)
        applyHostValue (*findParameter (event->parameter), event->eventType == kParameterEvent_Immediate
                                                               ? event->eventValues.immediate.value
                                                               : valueWhereItStarts (event->eventValues.ramp));

    return noErr;
}

//==============================================================================
bool HalvoraAudioUnit::channelCountSupported (AudioUnitScope scope, UInt32 channels) const noexcept
{
    return std::any_of (channelInfos.begin(), channelInfos.end(), [scope, channels] (const AUChannelInfo& info) { return static_cast<UInt32> (scope == kAudioUnitScope_Input ? info.inChannels : info.outChannels) == channels; });
}

int& HalvoraAudioUnit::channelsFor (AudioUnitScope scope) noexcept
{
    return scope == kAudioUnitScope_Input ? inputChannels : outputChannels;
}

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
        case kAudioUnitProperty_ParameterList: size = scope == kAudioUnitScope_Global ? static_cast<UInt32> (parameterIds.size() * sizeof (AudioUnitParameterID)) : 0; break;
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

//==============================================================================
// Format and streams: the one sample rate, each bus's channels, the supported configurations.

OSStatus HalvoraAudioUnit::getFormatProperty (AudioUnitPropertyID id, AudioUnitScope scope, void* outData,
                                              UInt32* ioDataSize, UInt32 size)
{
    switch (id)
    {
        case kAudioUnitProperty_SampleRate: return writeValue (outData, ioDataSize, sampleRate);
        case kAudioUnitProperty_ElementCount: return writeValue (outData, ioDataSize, static_cast<UInt32> (1));

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
            return writeValue (outData, ioDataSize, format);
        }

        default:
            return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus HalvoraAudioUnit::setFormatProperty (AudioUnitPropertyID id, AudioUnitScope scope, const void* inData, UInt32 inDataSize)
{
    switch (id)
    {
        case kAudioUnitProperty_SampleRate:
        {
            const auto* rate = readValue<Float64> (inData, inDataSize);

            if (rate == nullptr || ! (*rate > 0.0 && *rate <= 1536000.0))
                return kAudioUnitErr_InvalidPropertyValue;

            if (initialised && *rate != sampleRate)
                return kAudioUnitErr_Initialized;

            if (*rate != sampleRate)
            {
                // Both buses run at the one rate, so both stream formats change with it.
                sampleRate = *rate;

                for (const auto changed : { kAudioUnitScope_Input, kAudioUnitScope_Output })
                {
                    propertyChanged (kAudioUnitProperty_StreamFormat, changed, 0);
                    propertyChanged (kAudioUnitProperty_SampleRate, changed, 0);
                }
            }

            return noErr;
        }

        case kAudioUnitProperty_StreamFormat:
        {
            const auto* format = readValue<AudioStreamBasicDescription> (inData, inDataSize);

            if (format == nullptr)
                return kAudio_ParamError;

            if (format->mFormatID != kAudioFormatLinearPCM || (format->mFormatFlags & kAudioFormatFlagIsFloat) == 0
                || format->mBitsPerChannel != 32 || ! (format->mSampleRate > 0.0 && format->mSampleRate <= 1536000.0)
                || ! channelCountSupported (scope, format->mChannelsPerFrame))
                return kAudioUnitErr_FormatNotSupported;

            if (initialised && (static_cast<int> (format->mChannelsPerFrame) != channelsFor (scope) || format->mSampleRate != sampleRate))
                return kAudioUnitErr_Initialized;

            const auto channelsChanged = static_cast<int> (format->mChannelsPerFrame) != channelsFor (scope);
            const auto rateChanged = format->mSampleRate != sampleRate;
            channelsFor (scope) = static_cast<int> (format->mChannelsPerFrame);
            sampleRate = format->mSampleRate;

            for (const auto changed : { kAudioUnitScope_Input, kAudioUnitScope_Output })
            {
                if (rateChanged || (channelsChanged && changed == scope))
                    propertyChanged (kAudioUnitProperty_StreamFormat, changed, 0);

                if (rateChanged)
                    propertyChanged (kAudioUnitProperty_SampleRate, changed, 0);
            }

            return noErr;
        }

        default:
            return kAudioUnitErr_PropertyNotWritable;
    }
}

//==============================================================================
// Parameters: the list, each one's info and value strings, and values to and from text.

AudioUnitParameterInfo HalvoraAudioUnit::parameterInfoFor (const PublishedParameter& p) const noexcept
{
    AudioUnitParameterInfo info {};
    std::strncpy (info.name, p.name.c_str(), sizeof (info.name) - 1);
    info.cfNameString = p.name.c_str();
    info.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable
               | kAudioUnitParameterFlag_IsHighResolution | kAudioUnitParameterFlag_HasCFNameString
               | kAudioUnitParameterFlag_ValuesHaveStrings;

    if (p.numChoices > 0)
    {
        info.unit = kAudioUnitParameterUnit_Indexed;
        info.maxValue = static_cast<float> (p.numChoices - 1);
        info.defaultValue = toHostValue (p, p.parameter->getDefaultValue());
    }
    else
    {
        info.unit = kAudioUnitParameterUnit_Generic;
        info.maxValue = 1.0f;
        info.defaultValue = p.parameter->getDefaultValue();
        info.flags |= kAudioUnitParameterFlag_CanRamp;
    }

    return info;
}

OSStatus HalvoraAudioUnit::getParameterProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                                 void* outData, UInt32* ioDataSize, UInt32 size)
{
    switch (id)
    {
        case kAudioUnitProperty_ParameterList:
            std::memcpy (outData, parameterIds.data(), size);
            *ioDataSize = size;
            return noErr;

        case kAudioUnitProperty_ParameterInfo:
        {
            if (scope != kAudioUnitScope_Global)
                return kAudioUnitErr_InvalidScope;

            auto* p = findParameter (element);

            if (p == nullptr)
                return kAudioUnitErr_InvalidParameter;

            return writeValue (outData, ioDataSize, parameterInfoFor (*p));
        }

        case kAudioUnitProperty_ParameterValueStrings:
            return writeValue (outData, ioDataSize, static_cast<const AUStringArray*> (&findParameter (element)->valueStringArray));

        case kAudioUnitProperty_ParameterStringFromValue:
        {
            auto request = *static_cast<AudioUnitParameterStringFromValue*> (outData);
            auto* p = findParameter (request.inParamID);

            if (p == nullptr)
                return kAudioUnitErr_InvalidParameter;

            const auto normalised = request.inValue != nullptr ? fromHostValue (*p, *request.inValue).value_or (p->parameter->getValue())
                                                               : p->parameter->getValue();
            textScratch = p->parameter->getText (normalised, 256).toStdString();
            request.outString = textScratch.c_str();
            return writeValue (outData, ioDataSize, request);
        }

        case kAudioUnitProperty_ParameterValueFromString:
        {
            auto request = *static_cast<AudioUnitParameterValueFromString*> (outData);
            auto* p = findParameter (request.inParamID);

            if (p == nullptr)
                return kAudioUnitErr_InvalidParameter;

            if (request.inString == nullptr)
                return kAudio_ParamError;

            request.outValue = toHostValue (*p, p->parameter->getValueForText (juce::String::fromUTF8 (request.inString)));
            return writeValue (outData, ioDataSize, request);
        }

        default:
            return kAudioUnitErr_InvalidProperty;
    }
}

//==============================================================================
// Presets and state: the factory preset, the present one, and the saved-state dictionary.

OSStatus HalvoraAudioUnit::getPresetProperty (AudioUnitPropertyID id, void* outData, UInt32* ioDataSize)
{
    switch (id)
    {
        case kAudioUnitProperty_PresentPreset: return writeValue (outData, ioDataSize, currentPreset);
        case kAudioUnitProperty_FactoryPresets: return writeValue (outData, ioDataSize, &factoryPresetArray);

        case kAudioUnitProperty_ClassInfo:
        {
            const auto dictionary = AUPresetState::makeDictionary (*processor, description, presetName);
            classInfoText = PropertyList::write (dictionary).toStdString();
            classInfoData = { classInfoText.data(), static_cast<UInt32> (classInfoText.size()) };
            return writeValue (outData, ioDataSize, classInfoData);
        }

        default:
            return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus HalvoraAudioUnit::setPresetProperty (AudioUnitPropertyID id, const void* inData, UInt32 inDataSize)
{
    switch (id)
    {
        case kAudioUnitProperty_ClassInfo:
        {
            const auto* list = readValue<AUPropertyListData> (inData, inDataSize);

            if (list == nullptr || list->bytes == nullptr)
                return kAudio_ParamError;

            auto name = presetName;
            const auto status = AUPresetState::restoreFromPropertyList (*processor, description, list->bytes, list->size, &name);

            if (status == noErr)
            {
                presetName = name;
                presetNameUtf8 = name.toStdString();
                currentPreset = { -1, presetNameUtf8.c_str() };

                // The parameters the restore moved were reported one by one as they moved;
                // the preset's name and the saved state changed as a whole.
                propertyChanged (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);
                propertyChanged (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0);
            }

            return status;
        }

        case kAudioUnitProperty_PresentPreset:
        {
            const auto* preset = readValue<AUPreset> (inData, inDataSize);

            if (preset == nullptr)
                return kAudio_ParamError;

            // One factory preset, number 0; negative numbers name the host's own presets.
            if (preset->presetNumber >= processor->getNumPrograms())
                return kAudioUnitErr_InvalidPropertyValue;

            if (preset->presetNumber >= 0)
            {
                processor->setCurrentProgram (preset->presetNumber);
                currentPreset = factoryPreset;
                presetName = factoryPreset.presetName;
            }
            else
            {
                // A host's own preset is known by its name.
                if (preset->presetName == nullptr)
                    return kAudioUnitErr_InvalidPropertyValue;

                presetName = juce::String::fromUTF8 (preset->presetName);
                presetNameUtf8 = presetName.toStdString();
                currentPreset = { preset->presetNumber, presetNameUtf8.c_str() };
            }

            propertyChanged (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);
            return noErr;
        }

        default:
            return kAudioUnitErr_PropertyNotWritable;
    }
}

//==============================================================================
// Rendering and callbacks: latency, tail, the largest slice, bypass and the input callback.

OSStatus HalvoraAudioUnit::getRenderingProperty (AudioUnitPropertyID id, void* outData, UInt32* ioDataSize)
{
    switch (id)
    {
        case kAudioUnitProperty_Latency: return writeValue (outData, ioDataSize, processor->getLatencySamples() / sampleRate);
        case kAudioUnitProperty_TailTime: return writeValue (outData, ioDataSize, processor->getTailLengthSeconds());
        case kAudioUnitProperty_MaximumFramesPerSlice: return writeValue (outData, ioDataSize, maxFramesPerSlice);
        case kAudioUnitProperty_BypassEffect: return writeValue (outData, ioDataSize, bypass.load());
        default: return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus HalvoraAudioUnit::setRenderingProperty (AudioUnitPropertyID id, AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
    switch (id)
    {
        case kAudioUnitProperty_MaximumFramesPerSlice:
        {
            const auto* frames = readValue<UInt32> (inData, inDataSize);

            if (frames == nullptr || *frames == 0 || *frames > 65536)
                return kAudioUnitErr_InvalidPropertyValue;

            if (initialised && *frames != maxFramesPerSlice)
                return kAudioUnitErr_Initialized;

            if (*frames != maxFramesPerSlice)
            {
                maxFramesPerSlice = *frames;
                propertyChanged (kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0);
            }

            return noErr;
        }

        case kAudioUnitProperty_BypassEffect:
        {
            const auto* value = readValue<UInt32> (inData, inDataSize);

            if (value == nullptr)
                return kAudio_ParamError;

            bypass = *value != 0 ? 1 : 0;
            propertyChanged (kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0);
            return noErr;
        }

        case kAudioUnitProperty_SetRenderCallback:
        {
            const auto* callback = readValue<AURenderCallbackStruct> (inData, inDataSize);

            if (callback == nullptr)
                return kAudio_ParamError;

            inputCallback = *callback;
            propertyChanged (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, element);
            return noErr;
        }

        default:
            return kAudioUnitErr_PropertyNotWritable;
    }
}

//==============================================================================
// The view: where the editor's factory lives, and what it calls itself.

OSStatus HalvoraAudioUnit::getViewProperty (void* outData, UInt32* ioDataSize)
{
    const AudioUnitCocoaViewInfo info { bundleLocation.c_str(), { viewClassName.c_str() }, 0, JucePlugin_Name };
    return writeValue (outData, ioDataSize, info);
}

//==============================================================================
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
    midiQueue.popSome ([this, lastFrame] (const juce::uint8* data, int size, UInt32 offset) { midi.addEvent (data, size, static_cast<int> (juce::jmin<UInt32> (offset, static_cast<UInt32> (lastFrame)))); });

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
    propertyListeners.erase (std::remove_if (propertyListeners.begin(), propertyListeners.end(), [&] (const PropertyListener& l) { return l.id == id && l.proc == proc && (! userDataGiven || l.userData == userData); }),
                             propertyListeners.end());
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

OSStatus HalvoraAudioUnit::addRenderNotify (AURenderCallback proc, void* userData)
{
    return renderNotifies.add (proc, userData);
}

OSStatus HalvoraAudioUnit::removeRenderNotify (AURenderCallback proc, void* userData)
{
    return renderNotifies.remove (proc, userData);
}

//==============================================================================
void HalvoraAudioUnit::sendParameterEvent (AudioUnitEventType type, int parameterIndex)
{
    if (AUEventListenerNotify == nullptr || ! juce::isPositiveAndBelow (parameterIndex, static_cast<int> (idByIndex.size())))
        return;

    AudioUnitEvent event {};
    event.mEventType = type;
    event.mArgument.mParameter = { instance, idByIndex[static_cast<size_t> (parameterIndex)], kAudioUnitScope_Global, 0 };
    AUEventListenerNotify (nullptr, nullptr, &event);
}

void HalvoraAudioUnit::audioProcessorParameterChanged (juce::AudioProcessor*, int parameterIndex, float)
{
    // The host knows about the values it set itself.
    if (parameterSetByHost != this)
        sendParameterEvent (kAudioUnitEvent_ParameterValueChange, parameterIndex);
}

void HalvoraAudioUnit::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int parameterIndex)
{
    sendParameterEvent (kAudioUnitEvent_BeginParameterChangeGesture, parameterIndex);
}

void HalvoraAudioUnit::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int parameterIndex)
{
    sendParameterEvent (kAudioUnitEvent_EndParameterChangeGesture, parameterIndex);
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

//==============================================================================
OSStatus HalvoraAudioUnit::addMidi (const juce::uint8* data, int size, UInt32 offsetSampleFrame)
{
    // Accepted and handed to processBlock with the next block, which ignores it. A full
    // queue (the host sends and nothing renders) takes nothing more until a render.
    return midiQueue.push (data, size, offsetSampleFrame) ? noErr : kAudio_MemFullError;
}

OSStatus HalvoraAudioUnit::midiEvent (UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame)
{
    // Only status bytes start a message; anything else is not one and is passed over.
    if ((status & 0x80) == 0 || (status & 0xff) == 0xf0 || (status & 0xff) == 0xf7)
        return noErr;

    const juce::uint8 bytes[] { static_cast<juce::uint8> (status & 0xff), static_cast<juce::uint8> (data1 & 0x7f),
                                static_cast<juce::uint8> (data2 & 0x7f) };
    const auto size = juce::MidiMessage::getMessageLengthFromFirstByte (bytes[0]);
    return addMidi (bytes, size, offsetSampleFrame);
}

OSStatus HalvoraAudioUnit::midiEventList (UInt32 offsetSampleFrame, const MIDIEventList* list)
{
    if (list == nullptr)
        return kAudio_ParamError;

    // Universal MIDI Packets: MIDI 1.0 channel voice messages (type 2) are passed on.
    const auto* packet = list->packet;
    OSStatus result = noErr;

    for (UInt32 i = 0; i < list->numPackets && i < 1024; ++i)
    {
        const auto words = juce::jmin<UInt32> (packet->wordCount, 64);

        for (UInt32 w = 0; w < words; ++w)
        {
            const auto word = packet->words[w];

            if ((word >> 28) == 2)
                if (const auto status = midiEvent ((word >> 16) & 0xff, (word >> 8) & 0x7f, word & 0x7f, offsetSampleFrame); status != noErr)
                    result = status;
        }

        packet = reinterpret_cast<const MIDIEventPacket*> (packet->words + words);
    }

    return result;
}

OSStatus HalvoraAudioUnit::sysEx (const UInt8* data, UInt32 length)
{
    if (data == nullptr || length == 0 || length > static_cast<UInt32> (MidiEventQueue::maxEventSize))
        return kAudio_ParamError;

    return addMidi (data, static_cast<int> (length), 0);
}

OSStatus HalvoraAudioUnit::startNote (MusicDeviceGroupID group, NoteInstanceID* outNoteID, UInt32 offsetSampleFrame,
                                      const MusicDeviceNoteParams* params)
{
    if (params == nullptr)
        return kAudio_ParamError;

    // NaN or out-of-range pitches and velocities clamp to the MIDI range; NaN reads as 0.
    const auto toMidiRange = [] (Float32 value) {
        return std::isnan (value) ? 0 : static_cast<int> (juce::jlimit (0.0f, 127.0f, value));
    };

    const auto note = toMidiRange (params->mPitch);
    const auto velocity = toMidiRange (params->mVelocity);
    const auto message = juce::MidiMessage::noteOn (static_cast<int> (group % 16) + 1, note, static_cast<juce::uint8> (velocity));
    const auto status = addMidi (message.getRawData(), message.getRawDataSize(), offsetSampleFrame);

    if (status == noErr && outNoteID != nullptr)
        *outNoteID = static_cast<NoteInstanceID> (note);

    return status;
}

OSStatus HalvoraAudioUnit::stopNote (MusicDeviceGroupID group, NoteInstanceID noteID, UInt32 offsetSampleFrame)
{
    const auto message = juce::MidiMessage::noteOff (static_cast<int> (group % 16) + 1, static_cast<int> (noteID & 0x7f));
    return addMidi (message.getRawData(), message.getRawDataSize(), offsetSampleFrame);
}
