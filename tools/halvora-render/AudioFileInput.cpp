#include "AudioFileInput.h"

namespace halvora
{

namespace
{
    /** The map of the file, if it holds every sample the streamed reader found and agrees with
        it on how they are laid out; otherwise null, and the stream stays.
    */
    std::unique_ptr<juce::AudioFormatReader> mapWhole (juce::AudioFormat& format, const juce::File& file,
                                                       const juce::AudioFormatReader& streamed)
    {
        std::unique_ptr<juce::MemoryMappedAudioFormatReader> mapped (format.createMemoryMappedReader (file));

        if (mapped == nullptr || ! mapped->mapEntireFile())
            return nullptr;

        const auto sameLayout = mapped->sampleRate == streamed.sampleRate && mapped->numChannels == streamed.numChannels
                             && mapped->bitsPerSample == streamed.bitsPerSample
                             && mapped->usesFloatingPointData == streamed.usesFloatingPointData
                             && mapped->lengthInSamples == streamed.lengthInSamples;

        // A truncated file maps only as far as it goes; the stream reads its missing end as silence.
        if (! sameLayout || mapped->getMappedSection() != juce::Range<juce::int64> (0, streamed.lengthInSamples))
            return nullptr;

        return mapped;
    }
} // namespace

std::unique_ptr<juce::AudioFormatReader> openAudioFile (const juce::File& file)
{
    juce::AudioFormatManager formats;
    formats.registerFormat (new juce::WavAudioFormat(), true);
    formats.registerFormat (new juce::AiffAudioFormat(), false);
    formats.registerFormat (new juce::FlacAudioFormat(), false);

    // The streamed reader decides what the file is and whether it is readable at all, so a
    // file is accepted or refused exactly as before; the map only changes how samples arrive.
    std::unique_ptr<juce::AudioFormatReader> streamed (formats.createReaderFor (file));

    if (streamed == nullptr)
        return nullptr;

    for (auto* format : formats)
        if (format->getFormatName() == streamed->getFormatName())
            if (auto mapped = mapWhole (*format, file, *streamed))
                return mapped;

    return streamed;
}

} // namespace halvora
