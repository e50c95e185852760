// The .aupreset property-list reader: never crashes or hangs, and a refused dictionary
// changes nothing.

#include "FuzzProcessor.h"
#include "state/AUPresetState.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    auto& p = fuzzProcessor();
    const auto before = parameterValues (p);

    const auto status = AUPresetState::restoreFromPropertyList (p, AUPresetState::halvoraDescription(), data, size);

    const auto after = parameterValues (p);

    if (status != noErr && after != before)
        std::abort();

    for (auto value : after)
        if (! (value >= 0.0f && value <= 1.0f))
            std::abort();

    return 0;
}
