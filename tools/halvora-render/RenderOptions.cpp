#include "RenderOptions.h"

#include "HalvoraVocabulary.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace halvora
{

namespace
{
    /** "none, range, voice, key or scale" */
    juce::String onTargetList()
    {
        juce::String list;

        for (size_t t = 0; t < onTargetNames.size(); ++t)
            list << (t == 0 ? "" : t + 1 == onTargetNames.size() ? " or "
                                                                 : ", ")
                 << onTargetNames[t];

        return list;
    }

    cli::Option::Handler storeIn (juce::String& field)
    {
        return [&field] (const juce::String&, const juce::String& value) {
            field = value;
            return juce::String();
        };
    }

    cli::Option::Handler raise (bool& flag)
    {
        return [&flag] (const juce::String&, const juce::String&) {
            flag = true;
            return juce::String();
        };
    }

    /** Every option of halvora-render, in the order --help lists them. */
    cli::OptionTable renderOptionTable (RenderOptions& opts)
    {
        const auto setBlockSize = [&opts] (const juce::String&, const juce::String& value) {
            const auto n = parseInteger (value);

            if (! n || *n < 1 || *n > 65536)
                return "block size must be a whole number from 1 to 65536, got '" + value + "'";

            opts.blockSize = static_cast<int> (*n);
            return juce::String();
        };

        const auto setBits = [&opts] (const juce::String&, const juce::String& value) {
            const auto n = parseInteger (value);

            if (! n || (*n != 16 && *n != 24 && *n != 32))
                return "--bits must be 16, 24 or 32, got '" + value + "'";

            opts.bits = static_cast<int> (*n);
            return juce::String();
        };

        return {
            paramOption (opts.params, "set a parameter before processing (repeatable); VALUE is the\n"
                                      "plain value, or for a choice its text (\"F#\") or index"),
            onOption (opts.onTarget),
            { nullptr, "--block", "N", "samples per processBlock call (default 512, 1 to 65536)", setBlockSize },
            { nullptr, "--state", "FILE", "restore a saved state (raw block or .aupreset) before the -p settings", storeIn (opts.statePath) },
            { nullptr, "--save-state", "FILE", "write the state after the settings (.aupreset: as an Audio Unit preset)",
              storeIn (opts.saveStatePath) },
            { nullptr, "--bits", "16|24|32", "output sample format; 32 is IEEE float (default)", setBits },
            { nullptr, "--pitch-csv", "FILE", "write what the pitch stages did, one row per block", storeIn (opts.pitchCsvPath) },
            { nullptr, "--pitch-plot", "FILE.png", "draw the same: detected, smoothed and corrected pitch", storeIn (opts.pitchPlotPath) },
            { nullptr, "--list-params", nullptr, "print the eleven parameters", raise (opts.listParams) },
            { nullptr, "--list-ranges", nullptr, "print the vocal ranges and the shortest block in which the\n"
                                                 "pitch detector finds a pitch, at 44.1, 48 and 96 kHz",
              raise (opts.listRanges) },
            { "-q", "--quiet", nullptr, "no progress output", raise (opts.quiet) },
            { nullptr, "--demo", nullptr, "use the built-in demo vocal as input", raise (opts.demo) },
            { nullptr, "--demo-input", "FILE", "with --demo, also write the demo vocal itself to FILE", storeIn (opts.demoInputPath) },
            { "-h", "--help", nullptr, "print this help", raise (opts.help) },
            { nullptr, "--version", nullptr, "print the version", raise (opts.version) },
        };
    }

    /** Which files the positional arguments name, once the options are read. */
    juce::String takeFiles (RenderOptions& opts, const juce::StringArray& positional)
    {
        // Only saving a state (no audio) needs no files at all.
        if (positional.isEmpty() && opts.saveStatePath.isNotEmpty() && ! opts.demo)
            return {};

        if (positional.size() != (opts.demo ? 1 : 2))
            return opts.demo ? "--demo takes exactly one OUTPUT file" : "expected INPUT and OUTPUT files";

        for (const auto& path : positional)
            if (path.isEmpty())
                return "empty file name";

        opts.inputPath = opts.demo ? juce::String() : positional[0];
        opts.outputPath = positional[positional.size() - 1];
        return {};
    }
}

//==============================================================================
std::optional<double> parseNumber (const juce::String& text)
{
    const auto s = text.trim();

    if (s.isEmpty() || s.length() > 64)
        return std::nullopt;

    // Plain decimal only: no hex, no "inf"/"nan", no trailing garbage.
    for (auto c : s)
        if (! (juce::CharacterFunctions::isDigit (c) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;

    const auto utf8 = s.toStdString();
    char* end = nullptr;
    errno = 0;
    const auto value = std::strtod (utf8.c_str(), &end);

    if (end == utf8.c_str() || *end != '\0' || ! std::isfinite (value))
        return std::nullopt;

    return value;
}

std::optional<long long> parseInteger (const juce::String& text)
{
    const auto s = text.trim();

    if (s.isEmpty() || s.length() > 18)
        return std::nullopt;

    const auto utf8 = s.toStdString();
    char* end = nullptr;
    errno = 0;
    const auto value = std::strtoll (utf8.c_str(), &end, 10);

    if (end == utf8.c_str() || *end != '\0' || errno != 0)
        return std::nullopt;

    return value;
}

std::optional<int> parseOnButton (const juce::String& name)
{
    const auto lower = name.trim().toLowerCase();

    for (int t = 0; t < static_cast<int> (onTargetNames.size()); ++t)
        if (lower == onTargetNames[static_cast<size_t> (t)] || lower == juce::String (t))
            return t;

    return std::nullopt;
}

std::optional<ParamSetting> parseParamArgument (const juce::String& text)
{
    if (! text.containsChar ('=') || text.startsWithChar ('='))
        return std::nullopt;

    return ParamSetting { text.upToFirstOccurrenceOf ("=", false, false).trim(),
                          text.fromFirstOccurrenceOf ("=", false, false).trim() };
}

cli::Option paramOption (juce::Array<ParamSetting>& settings, const juce::String& help)
{
    return { "-p", "--param", "ID=VALUE", help, [&settings] (const juce::String& spelled, const juce::String& value) {
                const auto setting = parseParamArgument (value);

                if (! setting)
                    return "expected ID=VALUE after " + spelled + ", got '" + value + "'";

                settings.add (*setting);
                return juce::String();
            } };
}

cli::Option onOption (int& onTarget)
{
    return { nullptr, "--on", "BUTTON", "press an ON button: " + onTargetList(), [&onTarget] (const juce::String&, const juce::String& value) {
                const auto target = parseOnButton (value);

                if (! target)
                    return "unknown ON button '" + value + "' (use " + onTargetList() + ")";

                onTarget = *target;
                return juce::String();
            } };
}

//==============================================================================
ParseResult parseCommandLine (const juce::StringArray& args)
{
    ParseResult result;
    juce::StringArray positional;

    if (auto error = cli::parse (renderOptionTable (result.options), args, positional))
        result.error = *error;
    else if (! (result.options.help || result.options.version || result.options.listParams || result.options.listRanges))
        result.error = takeFiles (result.options, positional);

    return result;
}

juce::String usageText()
{
    RenderOptions unused;

    // GNU layout (Usage, or, Options), which is also what the manual page is generated from.
    return "Usage: halvora-render [options] INPUT OUTPUT\n"
           "  or:  halvora-render --demo [options] OUTPUT\n"
           "Runs the Halvora vocal effect over an audio file block by block, as a host would,\n"
           "and writes the result.\n"
           "\n"
           "Options:\n"
         + cli::describe (renderOptionTable (unused))
         + "\n"
           "Input: WAV, AIFF or FLAC, mono or stereo. Output format follows OUTPUT's extension\n"
           "(.wav, .aif/.aiff, .flac).\n";
}

juce::String versionText()
{
    return juce::String ("halvora-render ") + JucePlugin_VersionString + " (JUCE " + juce::String (JUCE_MAJOR_VERSION) + "."
         + juce::String (JUCE_MINOR_VERSION) + "." + juce::String (JUCE_BUILDNUMBER) + ")\n";
}

} // namespace halvora
