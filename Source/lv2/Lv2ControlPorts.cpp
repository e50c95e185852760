#include "Lv2ControlPorts.h"

#include "parameters/HostValue.h"

#include <cstring>

namespace halvora::lv2
{
namespace
{
    std::uint32_t bitsOf (float value) noexcept
    {
        std::uint32_t bits;
        std::memcpy (&bits, &value, sizeof bits);
        return bits;
    }
} // namespace

Lv2ControlPorts::Lv2ControlPorts (juce::AudioProcessorValueTreeState& state)
{
    for (std::size_t i = 0; i < numParameters; ++i)
    {
        controls[i].parameter = state.getParameter (parameterIDs[i]);
        jassert (controls[i].parameter != nullptr);
    }
}

void Lv2ControlPorts::connect (std::size_t parameterIndex, const float* port) noexcept
{
    if (parameterIndex < numParameters)
        controls[parameterIndex].port = port;
}

void Lv2ControlPorts::takePortValuesAsApplied() noexcept
{
    for (auto& control : controls)
    {
        control.takeNextAsApplied = control.port == nullptr;

        if (control.port != nullptr)
        {
            control.lastSeenBits = bitsOf (*control.port);
            control.seen = true;
        }
    }
}

void Lv2ControlPorts::publishChanges()
{
    for (auto& control : controls)
        if (control.unpublished.exchange (false))
            control.parameter->sendValueChangedMessageToListeners (control.parameter->getValue());
}

void Lv2ControlPorts::apply() noexcept
{
    for (std::size_t i = 0; i < numParameters; ++i)
    {
        auto& control = controls[i];

        if (control.port == nullptr)
            continue;

        const auto value = *control.port;
        const auto bits = bitsOf (value);

        if (control.seen && bits == control.lastSeenBits && ! control.takeNextAsApplied)
            continue;

        const auto apply = ! control.takeNextAsApplied;
        control.seen = true;
        control.lastSeenBits = bits;
        control.takeNextAsApplied = false;

        if (apply)
        {
            // The framework's setter is public on the base class; it only stores.
            juce::AudioProcessorParameter& parameter = *control.parameter;
            parameter.setValue (HostValue::fromPlain (*control.parameter, value));
            control.unpublished.store (true);
        }
    }
}

} // namespace halvora::lv2
