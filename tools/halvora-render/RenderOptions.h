#pragma once

#include "CommandLine.h"

#include <juce_core/juce_core.h>

#include <optional>

namespace halvora
{

//==============================================================================
/** One "-p ID=VALUE" as the user typed it; resolved against the processor later. */
struct ParamSetting
{
    juce::String id;
    juce::String value;
};

/** Everything halvora-render was asked to do. */
struct RenderOptions
{
    juce::Array<ParamSetting> params;
    int onTarget = 0; // MvTarget value 0 to 4
    int blockSize = 512;
    std::optional<int> bits; // unset: the output format's best
    juce::String statePath;
    juce::String saveStatePath;
    juce::String inputPath; // empty with --demo
    juce::String outputPath;
    juce::String demoInputPath; // --demo-input: also write the demo vocal itself
    juce::String pitchCsvPath;  // one row per block: what the pitch stages did
    juce::String pitchPlotPath; // the same drawn as a PNG
    bool demo = false;
    bool listParams = false;
    bool listRanges = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

/** The outcome of reading the command line: options, or a one-line usage error. */
struct ParseResult
{
    RenderOptions options;
    juce::String error;

    bool ok() const noexcept { return error.isEmpty(); }
};

ParseResult parseCommandLine (const juce::StringArray& args);

/** "-p ID=VALUE", adding to `settings`: the same option in every tool that takes settings. */
cli::Option paramOption (juce::Array<ParamSetting>& settings, const juce::String& help);

/** "--on BUTTON", setting `onTarget`. */
cli::Option onOption (int& onTarget);

/** "none", "range", "voice", "key", "scale" (or 0 to 4) as an MvTarget value. */
std::optional<int> parseOnButton (const juce::String& name);

/** Splits "ID=VALUE"; an error names what was wrong. */
std::optional<ParamSetting> parseParamArgument (const juce::String& text);

/** Parses a whole string as a finite decimal number; nothing else is accepted. */
std::optional<double> parseNumber (const juce::String& text);

/** Parses a whole string as a decimal integer. */
std::optional<long long> parseInteger (const juce::String& text);

juce::String usageText();

/** "halvora-render 0.1.0 (JUCE 8.0.6)": the version it carries and the JUCE it was built with. */
juce::String versionText();

} // namespace halvora
