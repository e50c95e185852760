// setStateInformation with arbitrary bytes: never crashes or hangs, every parameter stays
// within its range and on its step, and bytes that are not a valid state change nothing.

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
