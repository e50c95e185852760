#include "OutputFiles.h"

#include "AtomicWrite.h"

namespace halvora
{

std::optional<Failure> chooseOutputFormat (const juce::File& target, std::optional<int> bits, OutputFormat& chosen)
{
    const auto ext = target.getFileExtension().toLowerCase();

    if (ext == ".wav")
        chosen.format = std::make_unique<juce::WavAudioFormat>();
    else if (ext == ".aif" || ext == ".aiff")
        chosen.format = std::make_unique<juce::AiffAudioFormat>();
    else if (ext == ".flac")
        chosen.format = std::make_unique<juce::FlacAudioFormat>();
    else
        return Failure { exitUsageError, "cannot tell the output format of '" + target.getFileName()
                                             + "': use .wav, .aif, .aiff or .flac" };

    const auto floatCapable = ext == ".wav";
    chosen.bits = bits.value_or (floatCapable ? 32 : 24);

    if (chosen.bits == 32 && ! floatCapable)
        return Failure { exitUsageError, chosen.format->getFormatName() + " cannot hold 32-bit float samples: use --bits 16 or 24" };

    return std::nullopt;
}

std::optional<Failure> writeFile (const juce::File& target, const void* data, size_t size)
{
    return fileFailure (writeAtomically (target, data, size));
}

std::optional<Failure> writeAudioFile (const juce::File& target, juce::AudioFormat& format, double sampleRate, int channels,
                                       int bits, const juce::String& whenRefused, const AudioFiller& fill)
{
    return fileFailure (writeAtomically (target, [&] (std::unique_ptr<juce::FileOutputStream> stream) -> juce::String {
        std::unique_ptr<juce::AudioFormatWriter> writer (
            format.createWriterFor (stream.get(), sampleRate, static_cast<unsigned int> (channels), bits, {}, 0));

        if (writer == nullptr)
            return whenRefused;

        stream.release(); // the writer owns it now
        return fill (*writer);
    }));
}

std::optional<Failure> writeFloatWav (const juce::AudioBuffer<float>& buffer, double sampleRate, const juce::File& target)
{
    const auto cannotWrite = "cannot write '" + target.getFullPathName() + "'";
    juce::WavAudioFormat wav;

    return writeAudioFile (target, wav, sampleRate, buffer.getNumChannels(), 32, cannotWrite, [&] (juce::AudioFormatWriter& writer) {
        if (! writer.writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples()) || ! writer.flush())
            return cannotWrite;

        return juce::String();
    });
}

} // namespace halvora
