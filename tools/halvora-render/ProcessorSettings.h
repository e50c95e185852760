#pragma once

#include "Failure.h"
#include "RenderOptions.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>
#include <utility>
#include <vector>

namespace halvora
{

/** The parameter with this ID, or null. */
juce::RangedAudioParameter* findParameter (juce::AudioProcessor& processor, const juce::String& id);

/** A table of the eleven parameters: ID, name, range, step, default, choices. */
juce::String describeParameters (juce::AudioProcessor& processor);

/** Sets one parameter from "-p ID=VALUE" text. Returns an error (usage) or empty;
    a value outside the range is clamped and a warning is added.
*/
juce::String applyParameterSetting (juce::AudioProcessor& processor, const ParamSetting& setting,
                                    juce::StringArray& warnings);

/** Every -p setting as the normalised value it gave its parameter. */
using CheckedSettings = std::vector<std::pair<juce::RangedAudioParameter*, float>>;

/** Checks every -p setting on the processor itself, before any file is touched, and keeps
    the normalised values to apply again after a restored state, which they override:
    they land on the same values both times.
*/
std::optional<Failure> checkSettings (juce::AudioProcessor& processor, const RenderOptions& options,
                                      CheckedSettings& settings, juce::StringArray& warnings);

/** The saved state if asked for, the settings on top, the ON button; then saves the state if asked. */
std::optional<Failure> applyStateAndSettings (juce::AudioProcessor& processor, const RenderOptions& options,
                                              const CheckedSettings& settings);

/** The range the detector will search, as the state and the settings left it. */
int chosenRange (juce::AudioProcessor& processor);

} // namespace halvora
