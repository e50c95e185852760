#pragma once

#include "Failure.h"
#include "ProcessorSettings.h"
#include "RenderOptions.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <iosfwd>

namespace halvora
{

// The exit statuses (Failure.h) and the parameter table and settings (ProcessorSettings.h)
// come with this header, as halvora-render's interface.

/** Runs the processor over the input exactly as a host would, block by block,
    and writes the result. Messages go to the two streams; returns the exit status.
*/
int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err);

} // namespace halvora
