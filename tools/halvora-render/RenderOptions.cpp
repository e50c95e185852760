#include "RenderOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace halvora
{

namespace
{
    const char* const onButtonNames[] { "none", "range", "voice", "key", "scale" };

    bool takesValue (const juce::String& option)
    {
        return option == "-p" || option == "--param" || option == "--on" || option == "--block"
            || option == "--state" || option == "--save-state" || option == "--bits" || option == "--demo-input"
            || option == "--pitch-csv" || option == "--pitch-plot";
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

    for (int t = 0; t < 5; ++t)
        if (lower == onButtonNames[t] || lower == juce::String (t))
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

//==============================================================================
ParseResult parseCommandLine (const juce::StringArray& args)
{
    ParseResult result;
    auto& opts = result.options;
    juce::StringArray positional;

    for (int i = 0; i < args.size(); ++i)
    {
        auto arg = args[i];
        juce::String value;

        // "--option=value" is the same as "--option value".
        if (arg.startsWith ("--") && arg.containsChar ('='))
        {
            value = arg.fromFirstOccurrenceOf ("=", false, false);
            arg = arg.upToFirstOccurrenceOf ("=", false, false);

            if (! takesValue (arg))
                return { opts, "unknown option '" + args[i] + "'" };
        }
        else if (takesValue (arg))
        {
            if (i + 1 >= args.size())
                return { opts, "option '" + arg + "' needs a value" };

            value = args[++i];
        }

        if (arg == "-p" || arg == "--param")
        {
            const auto setting = parseParamArgument (value);

            if (! setting)
                return { opts, "expected ID=VALUE after " + arg + ", got '" + value + "'" };

            opts.params.add (*setting);
        }
        else if (arg == "--on")
        {
            const auto target = parseOnButton (value);

            if (! target)
                return { opts, "unknown ON button '" + value + "' (use none, range, voice, key or scale)" };

            opts.onTarget = *target;
        }
        else if (arg == "--block")
        {
            const auto n = parseInteger (value);

            if (! n || *n < 1 || *n > 65536)
                return { opts, "block size must be a whole number from 1 to 65536, got '" + value + "'" };

            opts.blockSize = static_cast<int> (*n);
        }
        else if (arg == "--bits")
        {
            const auto n = parseInteger (value);

            if (! n || (*n != 16 && *n != 24 && *n != 32))
                return { opts, "--bits must be 16, 24 or 32, got '" + value + "'" };

            opts.bits = static_cast<int> (*n);
        }
        else if (arg == "--state")
        {
            opts.statePath = value;
        }
        else if (arg == "--save-state")
        {
            opts.saveStatePath = value;
        }
        else if (arg == "--demo-input")
        {
            opts.demoInputPath = value;
        }
        else if (arg == "--pitch-csv")
        {
            opts.pitchCsvPath = value;
        }
        else if (arg == "--pitch-plot")
        {
            opts.pitchPlotPath = value;
        }
        else if (arg == "--list-params")
        {
            opts.listParams = true;
        }
        else if (arg == "-q" || arg == "--quiet")
        {
            opts.quiet = true;
        }
        else if (arg == "--demo")
        {
            opts.demo = true;
        }
        else if (arg == "-h" || arg == "--help")
        {
            opts.help = true;
        }
        else if (arg == "--version")
        {
            opts.version = true;
        }
        else if (arg == "--")
        {
            for (++i; i < args.size(); ++i)
                positional.add (args[i]);
        }
        else if (arg.startsWithChar ('-') && arg.length() > 1)
        {
            return { opts, "unknown option '" + arg + "'" };
        }
        else
        {
            positional.add (arg);
        }
    }

    if (opts.help || opts.version || opts.listParams)
        return result;

    const auto wanted = opts.demo ? 1 : 2;

    // Only saving a state (no audio) needs no files at all.
    if (positional.isEmpty() && opts.saveStatePath.isNotEmpty() && ! opts.demo)
        return result;

    if (positional.size() != wanted)
        return { opts, opts.demo ? juce::String ("--demo takes exactly one OUTPUT file")
                                 : juce::String ("expected INPUT and OUTPUT files") };

    for (const auto& path : positional)
        if (path.isEmpty())
            return { opts, "empty file name" };

    if (opts.demo)
    {
        opts.outputPath = positional[0];
    }
    else
    {
        opts.inputPath = positional[0];
        opts.outputPath = positional[1];
    }

    return result;
}

juce::String usageText()
{
    // GNU layout (Usage, or, Options), which is also what the manual page is generated from.
    return "Usage: halvora-render [options] INPUT OUTPUT\n"
           "  or:  halvora-render --demo [options] OUTPUT\n"
           "Runs the Halvora vocal effect over an audio file block by block, as a host would,\n"
           "and writes the result.\n"
           "\n"
           "Options:\n"
           "  -p, --param ID=VALUE   set a parameter before processing (repeatable); VALUE is the\n"
           "                         plain value, or for a choice its text (\"F#\") or index\n"
           "  --on BUTTON            press an ON button: none, range, voice, key or scale\n"
           "  --block N              samples per processBlock call (default 512, 1 to 65536)\n"
           "  --state FILE           restore a saved state (raw block or .aupreset) before the -p settings\n"
           "  --save-state FILE      write the state after the settings (.aupreset: as an Audio Unit preset)\n"
           "  --bits 16|24|32        output sample format; 32 is IEEE float (default)\n"
           "  --pitch-csv FILE       write what the pitch stages did, one row per block\n"
           "  --pitch-plot FILE.png  draw the same: detected, smoothed and corrected pitch\n"
           "  --list-params          print the eleven parameters\n"
           "  -q, --quiet            no progress output\n"
           "  --demo                 use the built-in demo vocal as input\n"
           "  --demo-input FILE      with --demo, also write the demo vocal itself to FILE\n"
           "  -h, --help             print this help\n"
           "  --version              print the version\n"
           "\n"
           "Input: WAV, AIFF or FLAC, mono or stereo. Output format follows OUTPUT's extension\n"
           "(.wav, .aif/.aiff, .flac).\n";
}

juce::String versionText()
{
    return juce::String ("halvora-render ") + JucePlugin_VersionString + " (JUCE " + juce::String (JUCE_MAJOR_VERSION) + "."
         + juce::String (JUCE_MINOR_VERSION) + "." + juce::String (JUCE_BUILDNUMBER) + ")\n";
}

} // namespace halvora
