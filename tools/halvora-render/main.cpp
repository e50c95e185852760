#include "Renderer.h"

#include <iostream>

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::StringArray args;

    if (auto error = halvora::cli::readArguments (argc, argv, args))
    {
        std::cerr << "halvora-render: " << *error << " (see --help)\n";
        return halvora::exitUsageError;
    }

    const auto parsed = halvora::parseCommandLine (args);

    if (! parsed.ok())
    {
        std::cerr << "halvora-render: " << parsed.error << " (see --help)\n";
        return halvora::exitUsageError;
    }

    return halvora::runRender (parsed.options, std::cout, std::cerr);
}
