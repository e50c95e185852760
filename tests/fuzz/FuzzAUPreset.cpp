// The .aupreset property-list reader: never crashes or hangs, and a refused dictionary
// changes nothing.

#include "PluginProcessor.h"
#include "au/AUPresetState.h"

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
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    auto& p = processor();
    std::vector<float> before;
    for (auto* param : p.getParameters())
        before.push_back (param->getValue());

    const auto status = AUPresetState::restoreFromPropertyList (p, AUPresetState::halvoraDescription(), data, size);

    std::vector<float> after;
    for (auto* param : p.getParameters())
        after.push_back (param->getValue());

    if (status != noErr && after != before)
        std::abort();

    for (auto value : after)
        if (! (value >= 0.0f && value <= 1.0f))
            std::abort();

    return 0;
}
