#pragma once

#include "PluginProcessor.h"

#include <cstdlib>
#include <vector>

/** One processor for a whole fuzzing run, made once and never destroyed at exit (as
    fuzzers expect), with JUCE initialised for it.
*/
inline HalvoraAudioProcessor& fuzzProcessor()
{
    static const auto initialised = [] { juce::initialiseJuce_GUI(); return true; }();
    static auto* instance = new HalvoraAudioProcessor();
    juce::ignoreUnused (initialised);
    return *instance;
}

/** Every parameter's normalised value, in registration order. */
inline std::vector<float> parameterValues (juce::AudioProcessor& processor)
{
    std::vector<float> values;
    for (auto* param : processor.getParameters())
        values.push_back (param->getValue());
    return values;
}

/** Aborts unless every parameter is finite, within its range and on its step. */
inline void checkEveryParameterIsValid (juce::AudioProcessor& processor)
{
    for (auto* param : processor.getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (param);
        const auto& range = ranged->getNormalisableRange();
        const auto plain = ranged->convertFrom0to1 (ranged->getValue());

        if (! std::isfinite (plain) || plain < range.start || plain > range.end || range.snapToLegalValue (plain) != plain)
            std::abort();
    }
}

/** Aborts unless what the processor saves now restores the same parameters elsewhere. */
inline void checkStateSurvivesASaveAndRestore (juce::AudioProcessor& processor)
{
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    static auto* other = new HalvoraAudioProcessor();
    other->setStateInformation (saved.getData(), static_cast<int> (saved.getSize()));

    if (parameterValues (*other) != parameterValues (processor))
        std::abort();
}
