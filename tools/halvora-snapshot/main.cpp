// halvora-snapshot: paints the plug-in's window, with the given settings, into a PNG.
// The options mean what they mean to halvora-render.

#include "AtomicWrite.h"
#include "Failure.h"
#include "Renderer.h"

#include "PluginProcessor.h"

#include <iostream>
#include <optional>

namespace
{
using halvora::Failure;

struct SnapshotOptions
{
    juce::Array<halvora::ParamSetting> settings;
    int onTarget = 0;
    bool help = false;
    juce::String outputPath;
};

halvora::cli::OptionTable snapshotOptionTable (SnapshotOptions& opts)
{
    return {
        halvora::paramOption (opts.settings, "set a parameter first (as halvora-render does)"),
        halvora::onOption (opts.onTarget),
        { "-h", "--help", nullptr, {}, [&opts] (const juce::String&, const juce::String&) {
             opts.help = true;
             return juce::String();
         } },
    };
}

juce::String usageText()
{
    SnapshotOptions unused;
    return "usage: halvora-snapshot [-p ID=VALUE ...] [--on BUTTON] OUT.png\n" + halvora::cli::describe (snapshotOptionTable (unused));
}

std::optional<Failure> readCommandLine (int argc, char* argv[], SnapshotOptions& opts)
{
    juce::StringArray args, positional;
    auto error = halvora::cli::readArguments (argc, argv, args);

    if (! error)
        error = halvora::cli::parse (snapshotOptionTable (opts), args, positional);

    if (! error && ! opts.help && (positional.size() != 1 || positional[0].isEmpty()))
        error = "expected one OUT.png file";

    if (error)
        return Failure { halvora::exitUsageError, *error + " (see --help)" };

    opts.outputPath = positional[0];
    return std::nullopt;
}

/** The processor with the settings applied and the ON button pressed; warnings go to stderr. */
std::optional<Failure> configure (juce::AudioProcessor& processor, const SnapshotOptions& opts)
{
    juce::StringArray warnings;

    for (const auto& setting : opts.settings)
    {
        const auto error = halvora::applyParameterSetting (processor, setting, warnings);

        if (error.isNotEmpty())
            return Failure { halvora::exitUsageError, error };
    }

    for (const auto& warning : warnings)
        std::cerr << "halvora-snapshot: warning: " << warning << "\n";

    if (auto* halvora = dynamic_cast<HalvoraAudioProcessor*> (&processor))
        halvora->setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (opts.onTarget));

    return std::nullopt;
}

std::optional<Failure> writeSnapshot (juce::AudioProcessor& processor, const juce::String& path)
{
    juce::Image image;

    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
        image = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
    }

    juce::MemoryOutputStream png;

    if (! juce::PNGImageFormat().writeImageToStream (image, png))
        return Failure { halvora::exitFileError, "cannot encode the picture" };

    const auto target = juce::File::getCurrentWorkingDirectory().getChildFile (path);

    return halvora::fileFailure (halvora::writeAtomically (target, png.getData(), png.getDataSize()));
}

std::optional<Failure> run (int argc, char* argv[])
{
    SnapshotOptions opts;

    if (auto failure = readCommandLine (argc, argv, opts))
        return failure;

    if (opts.help)
    {
        std::cout << usageText();
        return std::nullopt;
    }

    std::unique_ptr<juce::AudioProcessor> processor (createPluginFilter());

    if (auto failure = configure (*processor, opts))
        return failure;

    return writeSnapshot (*processor, opts.outputPath);
}
}

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    if (auto failure = run (argc, argv))
    {
        std::cerr << "halvora-snapshot: " << failure->message << "\n";
        return failure->status;
    }

    return halvora::exitOk;
}
