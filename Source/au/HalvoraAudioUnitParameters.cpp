// Parameters: the published list, values to and from the host's scale, values set now and
// scheduled for the next slice, each one's info and value strings, and the parameter
// events the host hears of when something else moves them.

#include "AUProperty.h"
#include "HalvoraAudioUnit.h"
#include "parameters/HostValue.h"

#include <algorithm>
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

    const auto span = static_cast<double> (ramp.endValue) - ramp.startValue;
    const auto framesIn = static_cast<double> (-start);
    return static_cast<float> (ramp.startValue + span * framesIn / static_cast<double> (ramp.durationInFrames));
}
} // namespace

AudioUnitParameterID HalvoraAudioUnit::parameterIdFor (const juce::String& parameterID) noexcept
{
    return static_cast<AudioUnitParameterID> (parameterID.hashCode()) & 0x7fffffffU;
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

float HalvoraAudioUnit::fromHostValue (const PublishedParameter& p, float hostValue) const noexcept
{
    // A choice travels as its index, the others as the normalised value; either way the
    // host-value rule says what the parameter holds (NaN its default, the rest clamped).
    if (p.numChoices > 1)
        return halvora::HostValue::fromPlain (*p.parameter, hostValue);

    return halvora::HostValue::fromNormalised (*p.parameter, hostValue);
}

void HalvoraAudioUnit::applyHostValue (PublishedParameter& p, float hostValue)
{
    const auto normalised = fromHostValue (p, hostValue);

    if (normalised == p.parameter->getValue())
        return;

    const ScopedHostParameterChange fromHost (this);
    p.parameter->setValueNotifyingHost (normalised);
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

    std::stable_sort (ordered.begin(), ordered.end(), [&] (const AudioUnitParameterEvent* a, const AudioUnitParameterEvent* b) {
        return startFrame (a) < startFrame (b);
    });

    for (const auto* event : ordered)
        applyHostValue (*findParameter (event->parameter), event->eventType == kParameterEvent_Immediate
                                                               ? event->eventValues.immediate.value
                                                               : valueWhereItStarts (event->eventValues.ramp));

    return noErr;
}

//==============================================================================
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

            return AUProperty::write (outData, ioDataSize, parameterInfoFor (*p));
        }

        case kAudioUnitProperty_ParameterValueStrings:
            return AUProperty::write (outData, ioDataSize, static_cast<const AUStringArray*> (&findParameter (element)->valueStringArray));

        case kAudioUnitProperty_ParameterStringFromValue:
        {
            auto request = *static_cast<AudioUnitParameterStringFromValue*> (outData);
            auto* p = findParameter (request.inParamID);

            if (p == nullptr)
                return kAudioUnitErr_InvalidParameter;

            const auto normalised = request.inValue != nullptr ? fromHostValue (*p, *request.inValue)
                                                               : p->parameter->getValue();
            textScratch = p->parameter->getText (normalised, 256).toStdString();
            request.outString = textScratch.c_str();
            return AUProperty::write (outData, ioDataSize, request);
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
            return AUProperty::write (outData, ioDataSize, request);
        }

        default:
            return kAudioUnitErr_InvalidProperty;
    }
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
