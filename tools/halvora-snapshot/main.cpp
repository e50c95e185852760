// halvora-snapshot: paints the plug-in's window, with the given settings, into a PNG.
// The options mean what they mean to halvora-render.

#include "Renderer.h"
#include "state/Utf8.h"

#include "PluginProcessor.h"

#include <cstring>
#include <iostream>

namespace
{
    const char* const usage =
        "usage: halvora-snapshot [-p ID=VALUE ...] [--on BUTTON] OUT.png\n"
        "  -p, --param ID=VALUE   set a parameter first (as halvora-render does)\n"
        "  --on BUTTON            press an ON button: none, range, voice, key or scale\n";

    int fail (int status, const juce::String& message)
    {
        std::cerr << "halvora-snapshot: " << message << "\n";
        return status;
    }
}

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::Array<halvora::ParamSetting> settings;
    int onTarget = 0;
    juce::StringArray positional;

    for (int i = 1; i < argc; ++i)
    {
        // JUCE's strings need valid UTF-8; anything else is refused before it gets there.
        for (int j = i; j < juce::jmin (i + 2, argc); ++j)
            if (! isWellFormedUtf8 (argv[j], std::strlen (argv[j])))
                return fail (halvora::exitUsageError, "argument " + juce::String (j) + " is not valid UTF-8 (see --help)");

        auto arg = juce::String::fromUTF8 (argv[i]);
        juce::String value;

        const auto takesValue = [] (const juce::String& a) { return a == "-p" || a == "--param" || a == "--on"; };

        if (arg.startsWith ("--") && arg.containsChar ('='))
        {
            value = arg.fromFirstOccurrenceOf ("=", false, false);
            arg = arg.upToFirstOccurrenceOf ("=", false, false);

            if (! takesValue (arg))
                return fail (halvora::exitUsageError, "unknown option '" + juce::String::fromUTF8 (argv[i]) + "' (see --help)");
        }
        else if (takesValue (arg))
        {
            if (i + 1 >= argc)
                return fail (halvora::exitUsageError, "option '" + arg + "' needs a value (see --help)");

            value = juce::String::fromUTF8 (argv[++i]);
        }

        if (arg == "-p" || arg == "--param")
        {
            const auto setting = halvora::parseParamArgument (value);

            if (! setting)
                return fail (halvora::exitUsageError, "expected ID=VALUE after " + arg + ", got '" + value + "' (see --help)");

            settings.add (*setting);
        }
        else if (arg == "--on")
        {
            const auto target = halvora::parseOnButton (value);

            if (! target)
                return fail (halvora::exitUsageError, "unknown ON button '" + value + "' (use none, range, voice, key or scale)");

            onTarget = *target;
        }
        else if (arg == "-h" || arg == "--help")
        {
            std::cout << usage;
            return halvora::exitOk;
        }
        else if (arg.startsWithChar ('-') && arg.length() > 1)
        {
            return fail (halvora::exitUsageError, "unknown option '" + arg + "' (see --help)");
        }
        else
        {
            positional.add (arg);
        }
    }

    if (positional.size() != 1 || positional[0].isEmpty())
        return fail (halvora::exitUsageError, "expected one OUT.png file (see --help)");

    std::unique_ptr<juce::AudioProcessor> processor (createPluginFilter());
    juce::StringArray warnings;

    for (const auto& setting : settings)
    {
        const auto error = halvora::applyParameterSetting (*processor, setting, warnings);

        if (error.isNotEmpty())
            return fail (halvora::exitUsageError, error);
    }

    for (const auto& warning : warnings)
        std::cerr << "halvora-snapshot: warning: " << warning << "\n";

    if (auto* halvora = dynamic_cast<HalvoraAudioProcessor*> (processor.get()))
        halvora->setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (onTarget));

    juce::Image image;

    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor->createEditor());
        image = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
    }

    juce::MemoryOutputStream png;

    if (! juce::PNGImageFormat().writeImageToStream (image, png))
        return fail (halvora::exitFileError, "cannot encode the picture");

    const auto target = juce::File::getCurrentWorkingDirectory().getChildFile (positional[0]);
    juce::TemporaryFile temp (target);

    if (! temp.getFile().replaceWithData (png.getData(), png.getDataSize()) || ! temp.overwriteTargetFileWithTemporary())
        return fail (halvora::exitFileError, "cannot write '" + target.getFullPathName() + "'");

    return halvora::exitOk;
}
