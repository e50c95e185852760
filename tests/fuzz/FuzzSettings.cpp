// The standalone app's settings file: any bytes go through the check, and whatever it
// accepts is loaded as the app loads it (juce::PropertiesFile, then the holder's reads of
// the device setup and of the effect state, which is restored) without harm: only the
// app's own keys, a state no larger than the file that held it, device numbers within
// their bounds. The check itself is one linear pass plus a parse its limits keep small;
// the runner's per-input timeout catches a slow input.

#include "FuzzProcessor.h"
#include "standalone/SettingsCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{
const juce::File& settingsFile()
{
    static const juce::TemporaryFile temporary (".settings");
    return temporary.getFile();
}

/** A broken promise of the check: says which before the runner keeps the input. */
void require (bool condition, const char* promise)
{
    if (condition)
        return;

    std::fprintf (stderr, "settings accepted by the check, but not %s\n", promise);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    auto& processor = fuzzProcessor();

    if (findSettingsProblem (data, size).isNotEmpty())
        return 0;

    require (settingsFile().replaceWithData (data, size), "written to a file");

    juce::PropertiesFile::Options options;
    options.applicationName = "Halvora";
    juce::PropertiesFile settings (settingsFile(), options);
    require (settings.isValidFile(), "loaded by PropertiesFile");

    const juce::StringArray ownKeys { "audioSetup", "filterState", "shouldMuteInput", "lastStateFile", "windowX", "windowY" };
    for (auto& key : settings.getAllProperties().getAllKeys())
        require (ownKeys.contains (key), "only the app's own keys");

    if (auto setup = settings.getXmlValue ("audioSetup"))
    {
        const auto rate = setup->getDoubleAttribute ("audioDeviceRate", 48000.0);
        const auto bufferSize = setup->getIntAttribute ("audioDeviceBufferSize", 512);
        require (std::isfinite (rate) && rate > 0.0 && rate <= SettingsLimits::maxSampleRate, "a sample rate in range");
        require (bufferSize > 0 && bufferSize <= SettingsLimits::maxBufferSize, "a buffer size in range");
    }

    if (settings.containsKey ("filterState"))
    {
        juce::MemoryBlock state;
        require (state.fromBase64Encoding (settings.getValue ("filterState")), "a filter state the decoder reads");
        require (state.getSize() <= size, "a filter state no larger than the file");

        if (state.getSize() > 0)
            processor.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    }

    return 0;
}
