#pragma once

#include "Failure.h"
#include "RenderOptions.h"

#include "PluginProcessor.h"

#include <juce_graphics/juce_graphics.h>

#include <optional>
#include <vector>

namespace halvora
{

/** What the pitch stages did in one block, and when the block began. */
struct PitchRow
{
    double timeSeconds = 0.0;
    HalvoraAudioProcessor::PitchReport pitch;
};

/** The settings a pitch plot names in its title and draws its note lines from. */
struct PitchPlotSettings
{
    int keyIndex = 0;
    int scaleIndex = 0;
    juce::String title;
};

juce::String pitchRowsAsCsv (const std::vector<PitchRow>& rows);

/** Time across, pitch up on a note axis with the key's scale notes as labelled lines;
    detected, smoothed and corrected pitch as three lines.
*/
juce::Image drawPitchPlot (const std::vector<PitchRow>& rows, double durationSeconds,
                           const PitchPlotSettings& settings, int width = 1600, int height = 600);

/** Writes the pitch log (--pitch-csv) and its picture (--pitch-plot), if asked for, once the
    audio is done; the picture's title names the settings the processor rendered with.
*/
std::optional<Failure> writePitchFiles (const RenderOptions& options, juce::AudioProcessor& processor,
                                        const std::vector<PitchRow>& rows, double durationSeconds);

} // namespace halvora
