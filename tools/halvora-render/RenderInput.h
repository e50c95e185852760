#pragma once

#include "DemoVocal.h"
#include "Failure.h"
#include "RenderOptions.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>
#include <optional>

namespace halvora
{

/** What is rendered: an audio file, or the demo vocal. */
struct RenderInput
{
    std::unique_ptr<juce::AudioFormatReader> reader; // null for the demo vocal
    juce::AudioBuffer<float> demo;
    juce::String name; // as error messages name it
    int channels = 1;
    double sampleRate = DemoVocal::sampleRate;
    juce::int64 length = 0;

    /** Reads the next block of the input. */
    bool read (juce::AudioBuffer<float>& block, juce::int64 position, int n) const;
};

/** The demo vocal as the input. */
void openDemoVocal (RenderInput& input);

/** The input file, if it is audio Halvora can take: WAV, AIFF or FLAC, mono or stereo. */
std::optional<Failure> openInputFile (const RenderOptions& options, RenderInput& input);

} // namespace halvora
