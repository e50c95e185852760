// halvora-render's command line: option parsing and the -p values and choice names,
// applied to a processor. Never crashes; a parameter is always left in its range.

#include "FuzzProcessor.h"
#include "Renderer.h"
#include "state/Utf8.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    // Arguments separated by newlines, as a shell would hand them over; like the
    // program, take only valid UTF-8.
    if (! isWellFormedUtf8 (reinterpret_cast<const char*> (data), size))
        return 0;

    const auto text = juce::String::fromUTF8 (reinterpret_cast<const char*> (data), static_cast<int> (size));
    const auto args = juce::StringArray::fromLines (text);
    const auto parsed = halvora::parseCommandLine (args);

    if (! parsed.ok())
        return 0;

    juce::StringArray warnings;

    for (const auto& setting : parsed.options.params)
        halvora::applyParameterSetting (fuzzProcessor(), setting, warnings);

    for (auto* param : fuzzProcessor().getParameters())
        if (! (param->getValue() >= 0.0f && param->getValue() <= 1.0f))
            std::abort();

    return 0;
}
