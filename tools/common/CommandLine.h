#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <optional>
#include <vector>

namespace halvora::cli
{

//==============================================================================
/** One command-line option of a tool: how it is spelled, whether a value follows it, its
    line in --help, and what it does with what it was given.
*/
struct Option
{
    /** Called with the option as it was spelled ("-p" or "--param") and its value (empty for
        a flag); returns a one-line error, or nothing when the option was taken.
    */
    using Handler = std::function<juce::String (const juce::String& spelled, const juce::String& value)>;

    const char* shortName; // "-p", or nullptr
    const char* longName;  // "--param"
    const char* valueName; // "ID=VALUE" when a value follows, nullptr for a flag
    juce::String help;     // lines of --help, '\n' between them; empty keeps it out of --help
    Handler handle;
};

using OptionTable = std::vector<Option>;

/** Reads the arguments after the program name. A value follows its option as the next
    argument or after '=' ("--on=key"); "--" ends the options. Returns the first problem,
    or nothing, leaving the arguments that are not options in `positional`.
*/
std::optional<juce::String> parse (const OptionTable& table, const juce::StringArray& args, juce::StringArray& positional);

/** The table's lines of --help: names and value in a column of their own, the text beside. */
juce::String describe (const OptionTable& table);

/** The arguments as JUCE strings, which need valid UTF-8: anything else is refused here,
    with a message naming the argument's position.
*/
std::optional<juce::String> readArguments (int argc, const char* const* argv, juce::StringArray& args);

} // namespace halvora::cli
