// setStateInformation with arbitrary bytes: never crashes or hangs, every parameter stays
// within its range and on its step, and bytes that are not a valid state change nothing.

#include "PluginProcessor.h"

#include <cstdint>
#include <cstdlib>

namespace
{
    // Made once and kept for the whole run (never destroyed at exit, as fuzzers expect).
    HalvoraAudioProcessor& processor()
    {
        static const auto initialised = [] { juce::initialiseJuce_GUI(); return true; }();
        static auto* instance = new HalvoraAudioProcessor();
        juce::ignoreUnused (initialised);
        return *instance;
    }

    std::vector<float> values (juce::AudioProcessor& p)
    {
        std::vector<float> result;
        for (auto* param : p.getParameters())
            result.push_back (param->getValue());
        return result;
    }
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    auto& p = processor();
    const auto before = values (p);
    const auto valid = HalvoraAudioProcessor::isReadableState (data, static_cast<int> (size));

    p.setStateInformation (data, static_cast<int> (size));

    if (! valid && values (p) != before)
        std::abort();

    for (auto* param : p.getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (param);
        const auto& range = ranged->getNormalisableRange();
        const auto plain = ranged->convertFrom0to1 (ranged->getValue());

        if (! std::isfinite (plain) || plain < range.start || plain > range.end || range.snapToLegalValue (plain) != plain)
            std::abort();

        const auto raw = p.apvts.getRawParameterValue (ranged->getParameterID())->load();

        if (! std::isfinite (raw) || raw < range.start || raw > range.end)
            std::abort();
    }

    return 0;
}
