#include "Renderer.h"

#include <iostream>

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    const auto parsed = halvora::parseCommandLine (args);

    if (! parsed.ok())
    {
        std::cerr << "halvora-render: " << parsed.error << " (see --help)\n";
        return halvora::exitUsageError;
    }

    return halvora::runRender (parsed.options, std::cout, std::cerr);
}
