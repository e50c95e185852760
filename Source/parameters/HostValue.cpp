#include "HostValue.h"

#include <cmath>
#include <limits>

namespace halvora::HostValue
{

bool isChoice (const juce::RangedAudioParameter& parameter) noexcept
{
    return dynamic_cast<const juce::AudioParameterChoice*> (&parameter) != nullptr;
}

float fromNormalised (const juce::RangedAudioParameter& parameter, float normalised) noexcept
{
    if (std::isnan (normalised))
        return parameter.getDefaultValue();

    return juce::jlimit (0.0f, 1.0f, normalised);
}

float fromPlain (const juce::RangedAudioParameter& parameter, double plain) noexcept
{
    if (std::isnan (plain))
        return parameter.getDefaultValue();

    const auto& range = parameter.getNormalisableRange();
    const auto clamped = juce::jlimit (static_cast<double> (range.start), static_cast<double> (range.end), plain);

    // The index is rounded here, as the framework's choice lists round (halves to the even
    // entry), rather than left to the normalised value's trip through the float range,
    // where 3.5 could land a hair below and round down.
    if (isChoice (parameter))
        return parameter.convertTo0to1 (static_cast<float> (std::nearbyint (clamped)));

    return parameter.convertTo0to1 (static_cast<float> (clamped));
}

float heldValue (const juce::RangedAudioParameter& parameter, float normalised) noexcept
{
    return parameter.convertFrom0to1 (fromNormalised (parameter, normalised));
}

} // namespace halvora::HostValue
