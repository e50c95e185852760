#pragma once

#include "HalvoraVocabulary.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace halvora
{

//==============================================================================
/** A continuous parameter that never holds NaN.

    The framework's format wrappers hand a host's normalised value straight to setValue;
    a NaN there would be stored as it is, read by the voice chain as the default and saved
    as text no restore reads back. Here it becomes the default at once, as the host-value
    rule says for every other door, so what plays, what the host reads back and what is
    saved agree.
*/
class HeldFloatParameter final : public juce::AudioParameterFloat
{
public:
    explicit HeldFloatParameter (const ContinuousParameter&);

private:
    void valueChanged (float newValue) override;
};

//==============================================================================
/** A choice parameter that never holds NaN; see HeldFloatParameter. */
class HeldChoiceParameter final : public juce::AudioParameterChoice
{
public:
    explicit HeldChoiceParameter (const ChoiceParameter&);

private:
    void valueChanged (int newIndex) override;
};

} // namespace halvora
