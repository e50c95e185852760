#include "Renderer.h"
#include "AudioFileInput.h"
#include "DemoVocal.h"
#include "DetectingBlocks.h"
#include "PitchLog.h"

#include "AtomicWrite.h"
#include "HalvoraVocabulary.h"

#include "PluginProcessor.h"
#include "au/AUPresetState.h"
#include "au/PropertyList.h"

#include <cmath>
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
        ProgressBar (std::ostream& stream, bool enabled)
            : err (stream),
              active (enabled)
        {
        }

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
    std::optional<Failure> writeFile (const juce::File& target, const void* data, size_t size)
    {
        if (auto error = writeAtomically (target, data, size); error.isNotEmpty())
            return Failure { exitFileError, error };

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
                                                        data.getSize())
                != noErr)
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
            return writeFile (target, text.data(), text.size());
        }

        juce::MemoryBlock data;
        processor.getStateInformation (data);
        return writeFile (target, data.getData(), data.getSize());
    }

    //==============================================================================
    /** What is rendered: an audio file, or the demo vocal. */
    struct Input
    {
        std::unique_ptr<juce::AudioFormatReader> reader; // null for the demo vocal
        juce::AudioBuffer<float> demo;
        juce::String name; // as error messages name it
        int channels = 1;
        double sampleRate = DemoVocal::sampleRate;
        juce::int64 length = 0;

        /** Reads the next block of the input. */
        bool read (juce::AudioBuffer<float>& block, juce::int64 position, int n) const
        {
            if (reader != nullptr)
                return reader->read (&block, 0, n, position, true, true);

            block.copyFrom (0, 0, demo, 0, static_cast<int> (position), n);
            return true;
        }
    };

    /** Tells the processor the channel layout, sample rate and block size a host would. */
    std::optional<Failure> prepareProcessor (juce::AudioProcessor& processor, const Input& input, int blockSize)
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
    juce::String processInto (juce::AudioFormatWriter& writer, juce::AudioProcessor& processor, const Input& input,
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

    std::optional<Failure> render (juce::AudioProcessor& processor, const Input& input, int blockSize, const juce::File& target,
                                   const OutputFormat& output, bool showProgress, std::ostream& err,
                                   std::vector<PitchRow>* pitchRows)
    {
        if (auto failure = prepareProcessor (processor, input, blockSize))
            return failure;

        if (! target.getParentDirectory().isDirectory())
            return Failure { exitFileError, "cannot write '" + target.getFullPathName() + "': no such folder" };

        ProgressBar progress (err, showProgress);

        const auto error = writeAtomically (target, [&] (std::unique_ptr<juce::FileOutputStream> stream) -> juce::String {
            std::unique_ptr<juce::AudioFormatWriter> writer (output.format->createWriterFor (
                stream.get(), input.sampleRate, static_cast<unsigned int> (input.channels), output.bits, {}, 0));

            if (writer == nullptr)
                return "cannot write '" + target.getFullPathName() + "' as " + output.format->getFormatName() + " at "
                     + juce::String (input.sampleRate) + " Hz";

            stream.release(); // the writer owns it now
            return processInto (*writer, processor, input, blockSize, target, progress, pitchRows);
        });

        if (error.isNotEmpty())
            return Failure { exitFileError, error };

        return std::nullopt;
    }

    std::optional<Failure> writeBuffer (const juce::AudioBuffer<float>& buffer, double sampleRate, const juce::File& target)
    {
        const auto error = writeAtomically (target, [&] (std::unique_ptr<juce::FileOutputStream> stream) -> juce::String {
            std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
                stream.get(), sampleRate, static_cast<unsigned int> (buffer.getNumChannels()), 32, {}, 0));

            if (writer == nullptr)
                return "cannot write '" + target.getFullPathName() + "'";

            stream.release();

            if (! writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples()) || ! writer->flush())
                return "cannot write '" + target.getFullPathName() + "'";

            return {};
        });

        if (error.isNotEmpty())
            return Failure { exitFileError, error };

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
            if (auto failure = writeFile (cwd.getChildFile (options.pitchCsvPath), csv.data(), csv.size()))
                return failure;
        }

        if (options.pitchPlotPath.isNotEmpty())
        {
            const auto raw = [&processor] (const char* id) {
                auto* p = findParameter (processor, id);
                return p != nullptr ? p->convertFrom0to1 (p->getValue()) : 0.0f;
            };

            const auto text = [&processor] (const char* id) { return findParameter (processor, id)->getCurrentValueAsText(); };

            PitchPlotSettings settings;
            settings.keyIndex = static_cast<int> (raw (ParamID::key));
            settings.scaleIndex = static_cast<int> (raw (ParamID::scale));
            settings.title = "Halvora pitch: key " + text (ParamID::key) + " " + text (ParamID::scale) + ", range "
                           + text (ParamID::range) + ", morvel " + juce::String (raw (ParamID::morvel), 3) + ", ON "
                           + onTargetNames[static_cast<size_t> (juce::jlimit (0, 4, options.onTarget))] + ", "
                           + juce::String (options.blockSize) + "-sample blocks";

            const auto image = drawPitchPlot (rows, durationSeconds, settings);
            juce::MemoryOutputStream png;

            if (! juce::PNGImageFormat().writeImageToStream (image, png))
                return Failure { exitFileError, "cannot encode the pitch plot" };

            if (auto failure = writeFile (cwd.getChildFile (options.pitchPlotPath), png.getData(), png.getDataSize()))
                return failure;
        }

        return std::nullopt;
    }

    //==============================================================================
    using CheckedSettings = std::vector<std::pair<juce::RangedAudioParameter*, float>>;

    /** Checks every -p setting on the processor itself, before any file is touched, and keeps
        the normalised values to apply again after a restored state, which they override:
        they land on the same values both times.
    */
    std::optional<Failure> checkSettings (juce::AudioProcessor& processor, const RenderOptions& options,
                                          CheckedSettings& settings, juce::StringArray& warnings)
    {
        for (const auto& setting : options.params)
        {
            const auto error = applyParameterSetting (processor, setting, warnings);

            if (error.isNotEmpty())
                return Failure { exitUsageError, error };

            auto* param = findParameter (processor, setting.id);
            settings.emplace_back (param, param->getValue());
        }

        return std::nullopt;
    }

    /** The saved state if asked for, the settings on top, the ON button; then saves the state if asked. */
    std::optional<Failure> applyStateAndSettings (juce::AudioProcessor& processor, const RenderOptions& options,
                                                  const CheckedSettings& settings)
    {
        if (options.statePath.isNotEmpty())
            if (auto failure = restoreState (processor, options.statePath))
                return failure;

        for (const auto& [param, normalised] : settings)
            param->setValueNotifyingHost (normalised);

        if (auto* halvora = dynamic_cast<HalvoraAudioProcessor*> (&processor))
            halvora->setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (options.onTarget));

        if (options.saveStatePath.isNotEmpty())
            if (auto failure = saveState (processor, options.saveStatePath))
                return failure;

        return std::nullopt;
    }

    /** The demo vocal as the input, written out too when --demo-input asks for it. */
    std::optional<Failure> openDemo (const RenderOptions& options, Input& input)
    {
        input.demo = DemoVocal::generate();
        input.name = "demo vocal";
        input.channels = 1;
        input.sampleRate = DemoVocal::sampleRate;
        input.length = input.demo.getNumSamples();

        if (options.demoInputPath.isNotEmpty())
            return writeBuffer (input.demo, DemoVocal::sampleRate,
                                juce::File::getCurrentWorkingDirectory().getChildFile (options.demoInputPath));

        return std::nullopt;
    }

    /** The input file, if it is audio Halvora can take: WAV, AIFF or FLAC, mono or stereo. */
    std::optional<Failure> openInputFile (const RenderOptions& options, Input& input)
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

    /** Renders the input into the output file, then the pitch files, then says what it wrote. */
    std::optional<Failure> renderInput (juce::AudioProcessor& processor, const RenderOptions& options, const Input& input,
                                        const juce::File& target, const OutputFormat& output, std::ostream& out, std::ostream& err)
    {
        // A progress bar only for takes long enough to wait for, and only for a person watching.
        const auto showProgress = ! options.quiet && isatty (STDERR_FILENO) != 0
                               && static_cast<double> (input.length) > 5.0 * input.sampleRate;
        const auto wantsPitch = options.pitchCsvPath.isNotEmpty() || options.pitchPlotPath.isNotEmpty();
        std::vector<PitchRow> pitchRows;

        if (auto failure = render (processor, input, options.blockSize, target, output, showProgress, err,
                                   wantsPitch ? &pitchRows : nullptr))
            return failure;

        if (auto failure = writePitchFiles (options, processor, pitchRows, static_cast<double> (input.length) / input.sampleRate))
            return failure;

        if (! options.quiet)
            out << "halvora-render: wrote " << target.getFullPathName() << " (" << input.length << " samples, " << input.channels
                << (input.channels == 1 ? " channel, " : " channels, ") << input.sampleRate << " Hz, " << output.bits << " bit)\n";

        return std::nullopt;
    }

    /** Prints the warnings gathered so far, a line each, and forgets them. */
    void printWarnings (juce::StringArray& warnings, std::ostream& err)
    {
        for (const auto& warning : warnings)
            err << "halvora-render: warning: " << warning << "\n";

        warnings.clear();
    }

    /** The range the detector will search, as the state and the settings left it. */
    int chosenRange (juce::AudioProcessor& processor)
    {
        auto* range = dynamic_cast<juce::AudioParameterChoice*> (findParameter (processor, ParamID::range));
        return range != nullptr ? range->getIndex() : 0;
    }

    std::optional<Failure> run (const RenderOptions& options, std::ostream& out, std::ostream& err)
    {
        std::unique_ptr<juce::AudioProcessor> processor (createPluginFilter());

        if (options.listParams || options.listRanges)
        {
            if (options.listParams)
                out << describeParameters (*processor);

            if (options.listRanges)
                out << describeRanges();

            return std::nullopt;
        }

        // Settle every usage question before touching any file.
        juce::StringArray warnings;
        CheckedSettings settings;

        if (auto failure = checkSettings (*processor, options, settings, warnings))
            return failure;

        OutputFormat output;
        const auto target = juce::File::getCurrentWorkingDirectory().getChildFile (options.outputPath);

        if (options.outputPath.isNotEmpty())
            if (auto failure = chooseOutputFormat (target, options.bits, output))
                return failure;

        printWarnings (warnings, err);

        if (auto failure = applyStateAndSettings (*processor, options, settings))
            return failure;

        if (options.outputPath.isEmpty())
            return std::nullopt;

        Input input;

        if (auto failure = options.demo ? openDemo (options, input) : openInputFile (options, input))
            return failure;

        // Only now are both the range (perhaps from the saved state) and the input's rate known.
        if (const auto warning = shortBlockWarning (options.blockSize, chosenRange (*processor), input.sampleRate); warning.isNotEmpty())
            warnings.add (warning);

        printWarnings (warnings, err);

        return renderInput (*processor, options, input, target, output, out, err);
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
