#pragma once

#include "OutputFiles.h"
#include "PitchLog.h"
#include "RenderInput.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <iosfwd>
#include <optional>
#include <vector>

namespace halvora
{

/** Prepares the processor as a host would for this input and block size, then runs the whole
    input through it block by block into `target`, written atomically in the chosen format.
    With `pitchRows`, each block's pitch report is kept there; with `showProgress`, a
    progress bar runs on `err`.
*/
std::optional<Failure> renderToFile (juce::AudioProcessor& processor, const RenderInput& input, int blockSize,
                                     const juce::File& target, const OutputFormat& output, bool showProgress,
                                     std::ostream& err, std::vector<PitchRow>* pitchRows);

} // namespace halvora
