#include "Renderer.h"
#include "DemoVocal.h"
#include "PitchLog.h"

#include "PluginProcessor.h"
#include "au/AUPresetState.h"
#include "au/PropertyList.h"

#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <unistd.h>

namespace halvora
{

namespace
{
    struct Failure
    {
        int status;
        juce::String message;
    };

    juce::RangedAudioParameter* findParameter (juce::AudioProcessor& processor, const juce::String& id)
    {
        for (auto* p : processor.getParameters())
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
                if (ranged->getParameterID() == id)
                    return ranged;

        return nullptr;
    }

    juce::String formatNumber (double v)
    {
        return juce::String (v, 6).trimCharactersAtEnd ("0").trimCharactersAtEnd (".");
    }

    //==============================================================================
    /** Where the output format and its sample size come from: OUTPUT's extension and --bits. */
    struct OutputFormat
    {
        std::unique_ptr<juce::AudioFormat> format;
        int bits = 32;
    };

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

    //==============================================================================
    /** A one-line progress bar on stderr, only when a person is watching. */
    class ProgressBar
    {
    public:
        ProgressBar (std::ostream& stream, bool enabled) : err (stream), active (enabled) {}

        void update (juce::int64 done, juce::int64 total)
        {
            if (! active || total <= 0)
                return;

            const auto percent = static_cast<int> (100 * done / total);

            if (percent == lastPercent)
                return;

            lastPercent = percent;
            const auto filled = percent * width / 100;
            err << "\rhalvora-render [" << juce::String::repeatedString ("#", filled)
                << juce::String::repeatedString (".", width - filled) << "] " << percent << "%" << std::flush;
        }

        void finish()
        {
            if (active && lastPercent >= 0)
                err << "\r" << juce::String::repeatedString (" ", width + 24) << "\r" << std::flush;
        }

    private:
        static constexpr int width = 40;
        std::ostream& err;
        bool active;
        int lastPercent = -1;
    };

    //==============================================================================
    std::optional<Failure> writeAtomically (const juce::File& target, const void* data, size_t size)
    {
        juce::TemporaryFile temp (target);

        if (! temp.getFile().replaceWithData (data, size) || ! temp.overwriteTargetFileWithTemporary())
            return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "'" };

        return std::nullopt;
    }

    bool isAUPresetPath (const juce::String& path)
    {
        return path.endsWithIgnoreCase (".aupreset");
    }

    /** A raw state block, or an .aupreset property list (by extension or content). */
    std::optional<Failure> restoreState (juce::AudioProcessor& processor, const juce::String& path)
    {
        const juce::File file (juce::File::getCurrentWorkingDirectory().getChildFile (path));
        juce::MemoryBlock data;

        if (! file.existsAsFile() || file.getSize() > static_cast<juce::int64> (PropertyList::maxDocumentSize)
            || ! file.loadFileAsData (data))
            return Failure { exitFileError, "cannot read state file '" + path + "'" };

        if (isAUPresetPath (path) || AUPresetState::looksLikePropertyList (data.getData(), data.getSize()))
        {
            if (AUPresetState::restoreFromPropertyList (processor, AUPresetState::halvoraDescription(), data.getData(),
                                                        data.getSize()) != noErr)
                return Failure { exitFileError, "'" + path + "' is not a Halvora .aupreset" };

            return std::nullopt;
        }

        if (! HalvoraAudioProcessor::isReadableState (data.getData(), static_cast<int> (data.getSize())))
            return Failure { exitFileError, "'" + path + "' is not a saved Halvora state" };

        processor.setStateInformation (data.getData(), static_cast<int> (data.getSize()));
        return std::nullopt;
    }

    std::optional<Failure> saveState (juce::AudioProcessor& processor, const juce::String& path)
    {
        const auto target = juce::File::getCurrentWorkingDirectory().getChildFile (path);

        if (isAUPresetPath (path))
        {
            const auto dictionary = AUPresetState::makeDictionary (processor, AUPresetState::halvoraDescription(),
                                                                   target.getFileNameWithoutExtension());
            const auto text = PropertyList::write (dictionary).toStdString();
            return writeAtomically (target, text.data(), text.size());
        }

        juce::MemoryBlock data;
        processor.getStateInformation (data);
        return writeAtomically (target, data.getData(), data.getSize());
    }

    //==============================================================================
    /** Reads consecutive blocks of the input, whether a file or the demo vocal. */
    using BlockSource = std::function<bool (juce::AudioBuffer<float>&, juce::int64 position, int numSamples)>;

    std::optional<Failure> render (juce::AudioProcessor& processor, const BlockSource& source, int numChannels,
                                   double sampleRate, juce::int64 length, int blockSize, const juce::File& target,
                                   const OutputFormat& output, const juce::String& inputName, bool showProgress,
                                   std::ostream& err, std::vector<PitchRow>* pitchRows)
    {
        const auto set = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);

        if (! processor.setBusesLayout (layout))
            return Failure { exitFileError, "the processor refused " + juce::String (numChannels) + " channels" };

        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);

        if (! target.getParentDirectory().isDirectory())
            return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "': no such folder" };

        // Everything goes to a temporary file beside the target, renamed only on success,
        // so a failure never leaves a truncated output or spoils an existing file.
        juce::TemporaryFile temp (target);
        std::unique_ptr<juce::AudioFormatWriter> writer;

        {
            auto stream = temp.getFile().createOutputStream();

            if (stream == nullptr || stream->failedToOpen())
                return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "'" };

            writer.reset (output.format->createWriterFor (stream.get(), sampleRate, static_cast<unsigned int> (numChannels),
                                                          output.bits, {}, 0));

            if (writer == nullptr)
                return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "' as "
                                                    + output.format->getFormatName() + " at " + juce::String (sampleRate) + " Hz" };

            stream.release(); // the writer owns it now
        }

        juce::AudioBuffer<float> buffer (numChannels, blockSize);
        juce::MidiBuffer midi;
        ProgressBar progress (err, showProgress);

        for (juce::int64 position = 0; position < length;)
        {
            const auto n = static_cast<int> (juce::jmin<juce::int64> (blockSize, length - position));
            buffer.setSize (numChannels, n, false, false, true);

            if (! source (buffer, position, n))
                return Failure { exitFileError, "cannot read '" + inputName + "' at sample " + juce::String (position) };

            processor.processBlock (buffer, midi);
            midi.clear();

            if (pitchRows != nullptr)
                if (auto* halvora = dynamic_cast<HalvoraAudioProcessor*> (&processor))
                    pitchRows->push_back ({ static_cast<double> (position) / sampleRate, halvora->getLastBlockPitch() });

            if (! writer->writeFromAudioSampleBuffer (buffer, 0, n))
                return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "' (disk full?)" };

            position += n;
            progress.update (position, length);
        }

        progress.finish();

        if (! writer->flush())
            return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "' (disk full?)" };

        writer.reset();

        if (! temp.overwriteTargetFileWithTemporary())
            return Failure { exitFileError, "cannot replace '" + target.getFullPathName() + "'" };

        return std::nullopt;
    }

    std::optional<Failure> writeBuffer (const juce::AudioBuffer<float>& buffer, double sampleRate, const juce::File& target)
    {
        juce::TemporaryFile temp (target);
        auto stream = temp.getFile().createOutputStream();

        if (stream == nullptr || stream->failedToOpen())
            return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "'" };

        std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
            stream.get(), sampleRate, static_cast<unsigned int> (buffer.getNumChannels()), 32, {}, 0));

        if (writer == nullptr)
            return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "'" };

        stream.release();

        if (! writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples()) || ! writer->flush())
            return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "'" };

        writer.reset();

        if (! temp.overwriteTargetFileWithTemporary())
            return Failure { exitFileError, "cannot replace '" + target.getFullPathName() + "'" };

        return std::nullopt;
    }

    /** Writes the pitch log and picture, if asked for, once the audio is done. */
    std::optional<Failure> writePitchFiles (const RenderOptions& options, juce::AudioProcessor& processor,
                                            const std::vector<PitchRow>& rows, double durationSeconds)
    {
        const auto cwd = juce::File::getCurrentWorkingDirectory();

        if (options.pitchCsvPath.isNotEmpty())
        {
            const auto csv = pitchRowsAsCsv (rows).toStdString();
            if (auto failure = writeAtomically (cwd.getChildFile (options.pitchCsvPath), csv.data(), csv.size()))
                return failure;
        }

        if (options.pitchPlotPath.isNotEmpty())
        {
            const auto raw = [&processor] (const char* id)
            {
                auto* p = findParameter (processor, id);
                return p != nullptr ? p->convertFrom0to1 (p->getValue()) : 0.0f;
            };

            const char* const onNames[] { "none", "range", "voice", "key", "scale" };
            PitchPlotSettings settings;
            settings.keyIndex = static_cast<int> (raw ("key"));
            settings.scaleIndex = static_cast<int> (raw ("scale"));
            settings.title = "Halvora pitch: key " + findParameter (processor, "key")->getCurrentValueAsText() + " "
                           + findParameter (processor, "scale")->getCurrentValueAsText() + ", range "
                           + findParameter (processor, "range")->getCurrentValueAsText() + ", morvel "
                           + juce::String (raw ("morvel"), 3) + ", ON " + onNames[juce::jlimit (0, 4, options.onTarget)]
                           + ", " + juce::String (options.blockSize) + "-sample blocks";

            const auto image = drawPitchPlot (rows, durationSeconds, settings);
            juce::MemoryOutputStream png;

            if (! juce::PNGImageFormat().writeImageToStream (image, png))
                return Failure { exitFileError, "cannot encode the pitch plot" };

            if (auto failure = writeAtomically (cwd.getChildFile (options.pitchPlotPath), png.getData(), png.getDataSize()))
                return failure;
        }

        return std::nullopt;
    }

    //==============================================================================
    std::optional<Failure> run (const RenderOptions& options, std::ostream& out, std::ostream& err)
    {
        std::unique_ptr<juce::AudioProcessor> processor (createPluginFilter());

        if (options.listParams)
        {
            out << describeParameters (*processor);
            return std::nullopt;
        }

        // Settle every usage question before touching any file.
        juce::StringArray warnings;
        std::vector<std::pair<juce::RangedAudioParameter*, float>> settings;

        // The settings are checked on the processor itself now and applied again after a
        // restored state, which they override; they land on the same values both times.
        for (const auto& setting : options.params)
        {
            const auto error = applyParameterSetting (*processor, setting, warnings);

            if (error.isNotEmpty())
                return Failure { exitUsageError, error };

            auto* param = findParameter (*processor, setting.id);
            settings.emplace_back (param, param->getValue());
        }

        OutputFormat output;
        const auto target = juce::File::getCurrentWorkingDirectory().getChildFile (options.outputPath);

        if (options.outputPath.isNotEmpty())
            if (auto failure = chooseOutputFormat (target, options.bits, output))
                return failure;

        for (const auto& warning : warnings)
            err << "halvora-render: warning: " << warning << "\n";

        if (options.statePath.isNotEmpty())
            if (auto failure = restoreState (*processor, options.statePath))
                return failure;

        for (const auto& [param, normalised] : settings)
            param->setValueNotifyingHost (normalised);

        if (auto* halvora = dynamic_cast<HalvoraAudioProcessor*> (processor.get()))
            halvora->setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (options.onTarget));

        if (options.saveStatePath.isNotEmpty())
            if (auto failure = saveState (*processor, options.saveStatePath))
                return failure;

        if (options.outputPath.isEmpty())
            return std::nullopt;

        const auto showProgress = ! options.quiet && isatty (STDERR_FILENO) != 0;
        const auto wantsPitch = options.pitchCsvPath.isNotEmpty() || options.pitchPlotPath.isNotEmpty();
        std::vector<PitchRow> pitchRows;

        if (options.demo)
        {
            const auto demo = DemoVocal::generate();
            const auto length = demo.getNumSamples();

            const BlockSource source = [&demo] (juce::AudioBuffer<float>& block, juce::int64 position, int n)
            {
                block.copyFrom (0, 0, demo, 0, static_cast<int> (position), n);
                return true;
            };

            if (options.demoInputPath.isNotEmpty())
                if (auto failure = writeBuffer (demo, DemoVocal::sampleRate,
                                                juce::File::getCurrentWorkingDirectory().getChildFile (options.demoInputPath)))
                    return failure;

            if (auto failure = render (*processor, source, 1, DemoVocal::sampleRate, length, options.blockSize, target,
                                       output, "demo vocal", showProgress && length > 5 * DemoVocal::sampleRate, err,
                                       wantsPitch ? &pitchRows : nullptr))
                return failure;

            if (auto failure = writePitchFiles (options, *processor, pitchRows, length / DemoVocal::sampleRate))
                return failure;

            if (! options.quiet)
                out << "halvora-render: wrote " << target.getFullPathName() << " (" << length << " samples, 1 channel, "
                    << DemoVocal::sampleRate << " Hz, " << output.bits << " bit)\n";

            return std::nullopt;
        }

        const auto input = juce::File::getCurrentWorkingDirectory().getChildFile (options.inputPath);

        if (! input.existsAsFile())
            return Failure { exitFileError, "cannot open '" + options.inputPath + "': no such file" };

        juce::AudioFormatManager formats;
        formats.registerFormat (new juce::WavAudioFormat(), true);
        formats.registerFormat (new juce::AiffAudioFormat(), false);
        formats.registerFormat (new juce::FlacAudioFormat(), false);

        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (input));

        if (reader == nullptr)
            return Failure { exitFileError, "cannot read '" + options.inputPath + "': not a WAV, AIFF or FLAC file" };

        const auto channels = static_cast<int> (reader->numChannels);

        if (channels != 1 && channels != 2)
            return Failure { exitFileError, "'" + options.inputPath + "' has " + juce::String (channels)
                                                + " channels; Halvora takes mono or stereo" };

        if (! (reader->sampleRate >= 1000.0 && reader->sampleRate <= 1536000.0) || reader->lengthInSamples < 0)
            return Failure { exitFileError, "'" + options.inputPath + "' has an unusable sample rate or length" };

        const auto length = reader->lengthInSamples;

        const BlockSource source = [&reader] (juce::AudioBuffer<float>& block, juce::int64 position, int n)
        {
            return reader->read (&block, 0, n, position, true, true);
        };

        if (auto failure = render (*processor, source, channels, reader->sampleRate, length, options.blockSize, target,
                                   output, options.inputPath, showProgress && static_cast<double> (length) > 5.0 * reader->sampleRate, err,
                                   wantsPitch ? &pitchRows : nullptr))
            return failure;

        if (auto failure = writePitchFiles (options, *processor, pitchRows, static_cast<double> (length) / reader->sampleRate))
            return failure;

        if (! options.quiet)
            out << "halvora-render: wrote " << target.getFullPathName() << " (" << length << " samples, " << channels
                << (channels == 1 ? " channel, " : " channels, ") << reader->sampleRate << " Hz, " << output.bits << " bit)\n";

        return std::nullopt;
    }
}

//==============================================================================
juce::String applyParameterSetting (juce::AudioProcessor& processor, const ParamSetting& setting, juce::StringArray& warnings)
{
    auto* param = findParameter (processor, setting.id);

    if (param == nullptr)
        return "unknown parameter '" + setting.id + "' (see --list-params)";

    if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (param))
    {
        auto index = choice->choices.indexOf (setting.value, false);

        if (index < 0)
            index = choice->choices.indexOf (setting.value, true);

        if (index < 0)
        {
            const auto number = parseNumber (setting.value);

            if (! number)
                return "'" + setting.value + "' is not a choice of " + setting.id + " (" + choice->choices.joinIntoString (", ") + ")";

            const auto last = choice->choices.size() - 1;
            const auto truncated = std::trunc (*number);
            index = static_cast<int> (juce::jlimit (0.0, static_cast<double> (last), truncated));

            if (truncated < 0.0 || truncated > last)
                warnings.add (setting.id + " index " + setting.value + " is outside 0 to " + juce::String (last)
                              + ", using " + choice->choices[index]);
        }

        choice->setValueNotifyingHost (choice->convertTo0to1 (static_cast<float> (index)));
        return {};
    }

    const auto number = parseNumber (setting.value);

    if (! number)
        return "'" + setting.value + "' is not a number for " + setting.id;

    // The parameter holds a float and its bounds are floats, so the typed value is compared as
    // the float it becomes: "0.1" is then exactly the lower bound of vibRate, not a hair below it.
    const auto& range = param->getNormalisableRange();
    const auto typed = static_cast<float> (juce::jlimit (static_cast<double> (std::numeric_limits<float>::lowest()),
                                                         static_cast<double> (std::numeric_limits<float>::max()), *number));
    const auto clamped = juce::jlimit (range.start, range.end, typed);

    if (clamped != typed)
        warnings.add (setting.id + " " + setting.value + " is outside " + formatNumber (range.start) + " to "
                      + formatNumber (range.end) + ", using " + formatNumber (clamped));

    param->setValueNotifyingHost (param->convertTo0to1 (clamped));
    return {};
}

juce::String describeParameters (juce::AudioProcessor& processor)
{
    juce::String table;

    for (auto* p : processor.getParameters())
    {
        auto* param = dynamic_cast<juce::RangedAudioParameter*> (p);

        if (param == nullptr)
            continue;

        auto line = param->getParameterID().paddedRight (' ', 11) + ("\"" + param->getName (64) + "\"").paddedRight (' ', 22);

        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (param))
        {
            line << "choices " << choice->choices.joinIntoString (", ") << "; default "
                 << choice->choices[static_cast<int> (choice->convertFrom0to1 (param->getDefaultValue()))];
        }
        else
        {
            const auto& range = param->getNormalisableRange();
            line << formatNumber (range.start) << " to " << formatNumber (range.end) << ", step "
                 << formatNumber (range.interval) << ", default "
                 << formatNumber (range.convertFrom0to1 (param->getDefaultValue()));
        }

        table << line << "\n";
    }

    return table;
}

int runRender (const RenderOptions& options, std::ostream& out, std::ostream& err)
{
    if (options.help)
    {
        out << usageText();
        return exitOk;
    }

    if (options.version)
    {
        out << versionText();
        return exitOk;
    }

    if (auto failure = run (options, out, err))
    {
        err << "halvora-render: " << failure->message << "\n";
        return failure->status;
    }

    return exitOk;
}

} // namespace halvora
