#include "RenderLoop.h"
#include "ProgressBar.h"

#include "PluginProcessor.h"

namespace halvora
{

namespace
{
    /** Tells the processor the channel layout, sample rate and block size a host would. */
    std::optional<Failure> prepareProcessor (juce::AudioProcessor& processor, const RenderInput& input, int blockSize)
    {
        const auto set = input.channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);

        if (! processor.setBusesLayout (layout))
            return Failure { exitFileError, "the processor refused " + juce::String (input.channels) + " channels" };

        processor.setRateAndBufferSizeDetails (input.sampleRate, blockSize);
        processor.prepareToPlay (input.sampleRate, blockSize);
        return std::nullopt;
    }

    /** Runs the whole input through the processor block by block into `writer`; an error or nothing. */
    juce::String processInto (juce::AudioFormatWriter& writer, juce::AudioProcessor& processor, const RenderInput& input,
                              int blockSize, const juce::File& target, ProgressBar& progress, std::vector<PitchRow>* pitchRows)
    {
        juce::AudioBuffer<float> buffer (input.channels, blockSize);
        juce::MidiBuffer midi;

        for (juce::int64 position = 0; position < input.length;)
        {
            const auto n = static_cast<int> (juce::jmin<juce::int64> (blockSize, input.length - position));
            buffer.setSize (input.channels, n, false, false, true);

            if (! input.read (buffer, position, n))
                return "cannot read '" + input.name + "' at sample " + juce::String (position);

            processor.processBlock (buffer, midi);
            midi.clear();

            if (pitchRows != nullptr)
                if (auto* halvora = dynamic_cast<HalvoraAudioProcessor*> (&processor))
                    pitchRows->push_back ({ static_cast<double> (position) / input.sampleRate, halvora->getLastBlockPitch() });

            if (! writer.writeFromAudioSampleBuffer (buffer, 0, n))
                return "cannot write '" + target.getFullPathName() + "' (disk full?)";

            position += n;
            progress.update (position, input.length);
        }

        progress.finish();

        if (! writer.flush())
            return "cannot write '" + target.getFullPathName() + "' (disk full?)";

        return {};
    }
} // namespace

std::optional<Failure> renderToFile (juce::AudioProcessor& processor, const RenderInput& input, int blockSize,
                                     const juce::File& target, const OutputFormat& output, bool showProgress,
                                     std::ostream& err, std::vector<PitchRow>* pitchRows)
{
    if (auto failure = prepareProcessor (processor, input, blockSize))
        return failure;

    if (! target.getParentDirectory().isDirectory())
        return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "': no such folder" };

    ProgressBar progress (err, showProgress);
    const auto refused = "cannot write '" + target.getFullPathName() + "' as " + output.format->getFormatName() + " at "
                       + juce::String (input.sampleRate) + " Hz";

    return writeAudioFile (target, *output.format, input.sampleRate, input.channels, output.bits, refused,
                           [&] (juce::AudioFormatWriter& writer) {
                               return processInto (writer, processor, input, blockSize, target, progress, pitchRows);
                           });
}

} // namespace halvora
