#include "RenderInput.h"
#include "AudioFileInput.h"

namespace halvora
{

bool RenderInput::read (juce::AudioBuffer<float>& block, juce::int64 position, int n) const
{
    if (reader != nullptr)
        return reader->read (&block, 0, n, position, true, true);

    block.copyFrom (0, 0, demo, 0, static_cast<int> (position), n);
    return true;
}

void openDemoVocal (RenderInput& input)
{
    input.demo = DemoVocal::generate();
    input.name = "demo vocal";
    input.channels = 1;
    input.sampleRate = DemoVocal::sampleRate;
    input.length = input.demo.getNumSamples();
}

std::optional<Failure> openInputFile (const RenderOptions& options, RenderInput& input)
{
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (options.inputPath);

    if (! file.existsAsFile())
        return Failure { exitFileError, "cannot open '" + options.inputPath + "': no such file" };

    input.reader = openAudioFile (file);

    if (input.reader == nullptr)
        return Failure { exitFileError, "cannot read '" + options.inputPath + "': not a WAV, AIFF or FLAC file" };

    input.channels = static_cast<int> (input.reader->numChannels);

    if (input.channels != 1 && input.channels != 2)
        return Failure { exitFileError, "'" + options.inputPath + "' has " + juce::String (input.channels)
                                            + " channels; Halvora takes mono or stereo" };

    input.sampleRate = input.reader->sampleRate;

    if (! (input.sampleRate >= 1000.0 && input.sampleRate <= 1536000.0) || input.reader->lengthInSamples < 0)
        return Failure { exitFileError, "'" + options.inputPath + "' has an unusable sample rate or length" };

    input.name = options.inputPath;
    input.length = input.reader->lengthInSamples;
    return std::nullopt;
}

} // namespace halvora
