#include "HalvoraParameters.h"

#include <cmath>

namespace halvora
{
namespace
{
    /** Hands the parameter its default through the framework's own setter (private in the
        concrete classes, public on the base), which calls valueChanged once more with a
        finite value.
    */
    void holdDefault (juce::AudioProcessorParameter& parameter)
    {
        parameter.setValue (parameter.getDefaultValue());
    }
} // namespace

//==============================================================================
HeldFloatParameter::HeldFloatParameter (const ContinuousParameter& p)
    : juce::AudioParameterFloat (juce::ParameterID { p.id }, p.name,
                                 juce::NormalisableRange<float> { p.minimum, p.maximum, p.step, 1.0f }, p.defaultValue)
{
}

void HeldFloatParameter::valueChanged (float newValue)
{
    if (std::isnan (newValue))
        holdDefault (*this);
}

//==============================================================================
HeldChoiceParameter::HeldChoiceParameter (const ChoiceParameter& p)
    : juce::AudioParameterChoice (juce::ParameterID { p.id }, p.name, juce::StringArray (p.choices, p.numChoices), 0)
{
}

void HeldChoiceParameter::valueChanged (int)
{
    // The index the framework passes is already rounded (from NaN, to anything); the
    // normalised value still shows the NaN.
    const juce::AudioProcessorParameter& asParameter = *this;

    if (std::isnan (asParameter.getValue()))
        holdDefault (*this);
}

} // namespace halvora
