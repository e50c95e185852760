// The standalone app's settings file: any bytes go through the check, and whatever it
// accepts is loaded as the app loads it (juce::PropertiesFile, then the holder's reads of
// the device setup and of the effect state, which is restored) without harm: only the
// app's own keys, a state no larger than the file that held it, device numbers within
// their bounds. The check itself is one linear pass plus a parse its limits keep small;
// the runner's per-input timeout catches a slow input.

#include "FuzzProcessor.h"
#include "standalone/SettingsCheck.h"

#include <cstdint>
#include <cstdlib>

namespace
{
const juce::File& settingsFile()
{
    static const juce::TemporaryFile temporary (".settings");
    return temporary.getFile();
}

void require (bool condition)
{
    if (! condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    auto& processor = fuzzProcessor();

    if (findSettingsProblem (data, size).isNotEmpty())
        return 0;

    require (settingsFile().replaceWithData (data, size));

    juce::PropertiesFile::Options options;
    options.applicationName = "Halvora";
    juce::PropertiesFile settings (settingsFile(), options);
    require (settings.isValidFile());

    for (auto& key : settings.getAllProperties().getAllKeys())
        require (juce::StringArray { "audioSetup", "filterState", "shouldMuteInput", "lastStateFile", "windowX", "windowY" }.contains (key));

    if (auto setup = settings.getXmlValue ("audioSetup"))
    {
        const auto rate = setup->getDoubleAttribute ("audioDeviceRate", 48000.0);
        const auto bufferSize = setup->getIntAttribute ("audioDeviceBufferSize", 512);
        require (std::isfinite (rate) && rate > 0.0 && rate <= SettingsLimits::maxSampleRate);
        require (bufferSize > 0 && bufferSize <= SettingsLimits::maxBufferSize);
    }

    if (settings.containsKey ("filterState"))
    {
        juce::MemoryBlock state;
        require (state.fromBase64Encoding (settings.getValue ("filterState")));
        require (state.getSize() <= size);

        if (state.getSize() > 0)
            processor.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    }

    return 0;
}
