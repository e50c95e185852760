#pragma once

#include "Failure.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <functional>
#include <memory>
#include <optional>

namespace halvora
{

// Every file the renderer writes goes through writeAtomically: a failure never leaves a
// half-written file behind, nor spoils the one that was there.

/** Where the output format and its sample size come from: OUTPUT's extension and --bits. */
struct OutputFormat
{
    std::unique_ptr<juce::AudioFormat> format;
    int bits = 32;
};

/** The format OUTPUT's extension names, and the sample size --bits asks for (or the format's best). */
std::optional<Failure> chooseOutputFormat (const juce::File& target, std::optional<int> bits, OutputFormat& chosen);

/** Writes a block of bytes whole, or leaves the file as it was. */
std::optional<Failure> writeFile (const juce::File& target, const void* data, size_t size);

/** Fills an audio writer, flushing it at the end; returns a one-line error, or nothing. */
using AudioFiller = std::function<juce::String (juce::AudioFormatWriter&)>;

/** Writes an audio file through a writer of `format` that `fill` fills; `whenRefused` is the
    error when the format cannot write these channels at this rate and sample size.
*/
std::optional<Failure> writeAudioFile (const juce::File& target, juce::AudioFormat& format, double sampleRate, int channels,
                                       int bits, const juce::String& whenRefused, const AudioFiller& fill);

/** A buffer as a 32-bit float WAV file. */
std::optional<Failure> writeFloatWav (const juce::AudioBuffer<float>& buffer, double sampleRate, const juce::File& target);

} // namespace halvora
