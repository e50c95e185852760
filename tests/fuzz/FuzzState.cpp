// setStateInformation with arbitrary bytes: never crashes or hangs, every parameter stays
// within its range and on its step, bytes that are not a valid state change nothing, and
// an accepted state keeps its parameters through a save and a restore elsewhere.

#include "FuzzProcessor.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    auto& p = fuzzProcessor();
    const auto before = parameterValues (p);
    const auto valid = HalvoraAudioProcessor::isReadableState (data, static_cast<int> (size));

    p.setStateInformation (data, static_cast<int> (size));

    if (! valid && parameterValues (p) != before)
        std::abort();

    checkEveryParameterIsValid (p);

    for (auto* param : p.getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (param);
        const auto& range = ranged->getNormalisableRange();
        const auto raw = p.apvts.getRawParameterValue (ranged->getParameterID())->load();

        if (! std::isfinite (raw) || raw < range.start || raw > range.end)
            std::abort();
    }

    if (valid)
        checkStateSurvivesASaveAndRestore (p);

    return 0;
}
