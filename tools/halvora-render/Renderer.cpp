#include "Renderer.h"
#include "DetectingBlocks.h"
#include "OutputFiles.h"
#include "PitchLog.h"
#include "ProcessorSettings.h"
#include "RenderInput.h"
#include "RenderLoop.h"

#include <ostream>
#include <unistd.h>

namespace halvora
{

namespace
{
    /** Renders the input into the output file, then the pitch files, then says what it wrote. */
    std::optional<Failure> renderInput (juce::AudioProcessor& processor, const RenderOptions& options, const RenderInput& input,
                                        const juce::File& target, const OutputFormat& output, std::ostream& out, std::ostream& err)
    {
        // A progress bar only for takes long enough to wait for, and only for a person watching.
        const auto showProgress = ! options.quiet && isatty (STDERR_FILENO) != 0
                               && static_cast<double> (input.length) > 5.0 * input.sampleRate;
        const auto wantsPitch = options.pitchCsvPath.isNotEmpty() || options.pitchPlotPath.isNotEmpty();
        std::vector<PitchRow> pitchRows;

        if (auto failure = renderToFile (processor, input, options.blockSize, target, output, showProgress, err,
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

    /** The demo vocal, written out too when --demo-input asks for it, or the input file. */
    std::optional<Failure> openInput (const RenderOptions& options, RenderInput& input)
    {
        if (! options.demo)
            return openInputFile (options, input);

        openDemoVocal (input);

        if (options.demoInputPath.isNotEmpty())
            return writeFloatWav (input.demo, DemoVocal::sampleRate,
                                  juce::File::getCurrentWorkingDirectory().getChildFile (options.demoInputPath));

        return std::nullopt;
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

        RenderInput input;

        if (auto failure = openInput (options, input))
            return failure;

        // Only now are both the range (perhaps from the saved state) and the input's rate known.
        if (const auto warning = shortBlockWarning (options.blockSize, chosenRange (*processor), input.sampleRate); warning.isNotEmpty())
            warnings.add (warning);

        printWarnings (warnings, err);

        return renderInput (*processor, options, input, target, output, out, err);
    }
} // namespace

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
