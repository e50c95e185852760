#include "Renderer.h"
#include "state/Utf8.h"

#include <cstring>
#include <iostream>

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
    {
        // JUCE's strings need valid UTF-8; anything else is refused before it gets there.
        if (! isWellFormedUtf8 (argv[i], std::strlen (argv[i])))
        {
            std::cerr << "halvora-render: argument " << i << " is not valid UTF-8 (see --help)\n";
            return halvora::exitUsageError;
        }

        args.add (juce::String::fromUTF8 (argv[i]));
    }

    const auto parsed = halvora::parseCommandLine (args);

    if (! parsed.ok())
    {
        std::cerr << "halvora-render: " << parsed.error << " (see --help)\n";
        return halvora::exitUsageError;
    }

    return halvora::runRender (parsed.options, std::cout, std::cerr);
}
