#include "Lv2ControlPorts.h"

#include <cmath>
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

float portValueAsHeld (const juce::RangedAudioParameter& parameter, float portValue) noexcept
{
    if (std::isnan (portValue))
        return parameter.convertFrom0to1 (parameter.getDefaultValue());

    const auto& range = parameter.getNormalisableRange();
    const auto clamped = juce::jlimit (range.start, range.end, portValue);

    // As a host's value travels through the parameter into its atomic handle: to the
    // normalised value, to the parameter's plain value on its step, and back once more.
    const auto stored = parameter.convertFrom0to1 (parameter.convertTo0to1 (clamped));
    return parameter.convertFrom0to1 (parameter.convertTo0to1 (stored));
}

Lv2ControlPorts::Lv2ControlPorts (juce::AudioProcessorValueTreeState& state)
{
    for (std::size_t i = 0; i < numParameters; ++i)
    {
        controls[i].parameter = state.getParameter (parameterIDs[i]);
        controls[i].heldValue = state.getRawParameterValue (parameterIDs[i]);
        jassert (controls[i].parameter != nullptr && controls[i].heldValue != nullptr);
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

float Lv2ControlPorts::currentValue (std::size_t parameterIndex) const noexcept
{
    return controls[parameterIndex].heldValue->load (std::memory_order_relaxed);
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
            control.heldValue->store (portValueAsHeld (*control.parameter, value), std::memory_order_relaxed);
    }
}

} // namespace halvora::lv2
