#pragma once

#include "RenderOptions.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <iosfwd>

namespace halvora
{

/** Exit statuses of halvora-render. */
enum ExitStatus
{
    exitOk = 0,
    exitFileError = 1,
    exitUsageError = 2
};

/** Runs the processor over the input exactly as a host would, block by block,
    and writes the result. Messages go to the two streams; returns the exit status.
*/
int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err);

/** A table of the eleven parameters: ID, name, range, step, default, choices. */
juce::String describeParameters (juce::AudioProcessor& processor);

/** Sets one parameter from "-p ID=VALUE" text. Returns an error (usage) or empty;
    a value outside the range is clamped and a warning is added.
*/
juce::String applyParameterSetting (juce::AudioProcessor& processor, const ParamSetting& setting,
                                    juce::StringArray& warnings);

} // namespace halvora
