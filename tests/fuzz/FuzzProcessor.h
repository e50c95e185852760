#pragma once

#include "PluginProcessor.h"

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
