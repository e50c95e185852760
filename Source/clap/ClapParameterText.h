#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstddef>
#include <optional>
#include <string>

/** A parameter's value as a CLAP host shows it and reads it back: a choice by its entry's
    name ("D#", "Minor"), the others as a number in their unit ("-6.0 dB", "5.0 Hz",
    "30 %"). Both ways go through the host-value rule, so the text always names what the
    parameter would hold for that value.
*/
namespace halvora::clap::ParameterText
{
/** The unit shown after a continuous parameter's number ("dB", "Hz", "%"), or "" for none. */
const char* unitOf (std::size_t parameterIndex) noexcept;

/** The text for a plain value (a choice's index for a choice). */
std::string fromPlain (const juce::RangedAudioParameter&, std::size_t parameterIndex, double plain);

/** The plain value the parameter would hold for text a user typed: a choice's name (any
    case) or index; a number, with or without the unit. Nothing for text that is neither.
*/
std::optional<double> toPlain (const juce::RangedAudioParameter&, std::size_t parameterIndex, const char* text);
} // namespace halvora::clap::ParameterText
