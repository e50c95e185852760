#include "CommandLine.h"

#include "state/Utf8.h"

#include <cstring>

namespace halvora::cli
{

namespace
{
    const Option* find (const OptionTable& table, const juce::String& name)
    {
        for (const auto& option : table)
            if ((option.shortName != nullptr && name == option.shortName) || name == option.longName)
                return &option;

        return nullptr;
    }

    constexpr int helpColumn = 25;
}

std::optional<juce::String> parse (const OptionTable& table, const juce::StringArray& args, juce::StringArray& positional)
{
    for (int i = 0; i < args.size(); ++i)
    {
        auto spelled = args[i];
        juce::String value;
        const Option* option = nullptr;

        if (spelled == "--")
        {
            for (++i; i < args.size(); ++i)
                positional.add (args[i]);

            break;
        }

        if (spelled.startsWith ("--") && spelled.containsChar ('='))
        {
            // "--option=value" is the same as "--option value".
            spelled = args[i].upToFirstOccurrenceOf ("=", false, false);
            value = args[i].fromFirstOccurrenceOf ("=", false, false);
            option = find (table, spelled);

            if (option == nullptr || option->valueName == nullptr)
                return "unknown option '" + args[i] + "'";
        }
        else if (spelled.startsWithChar ('-') && spelled.length() > 1)
        {
            option = find (table, spelled);

            if (option == nullptr)
                return "unknown option '" + spelled + "'";

            if (option->valueName != nullptr)
            {
                if (i + 1 >= args.size())
                    return "option '" + spelled + "' needs a value";

                value = args[++i];
            }
        }
        else
        {
            positional.add (spelled);
            continue;
        }

        if (auto error = option->handle (spelled, value); error.isNotEmpty())
            return error;
    }

    return std::nullopt;
}

juce::String describe (const OptionTable& table)
{
    juce::String text;

    for (const auto& option : table)
    {
        if (option.help.isEmpty())
            continue;

        juce::String names;

        if (option.shortName != nullptr)
            names << option.shortName << ", ";

        names << option.longName;

        if (option.valueName != nullptr)
            names << " " << option.valueName;

        const auto lines = juce::StringArray::fromLines (option.help);
        text << ("  " + names).paddedRight (' ', helpColumn) << lines[0] << "\n";

        for (int i = 1; i < lines.size(); ++i)
            text << juce::String::repeatedString (" ", helpColumn) << lines[i] << "\n";
    }

    return text;
}

std::optional<juce::String> readArguments (int argc, const char* const* argv, juce::StringArray& args)
{
    for (int i = 1; i < argc; ++i)
    {
        if (! isWellFormedUtf8 (argv[i], std::strlen (argv[i])))
            return "argument " + juce::String (i) + " is not valid UTF-8";

        args.add (juce::String::fromUTF8 (argv[i]));
    }

    return std::nullopt;
}

} // namespace halvora::cli
