#include "CommandLine.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

namespace
{
/** What a small table of options was told. */
struct Heard
{
    juce::StringArray positional;
    juce::String name, spelledAs, error;
    bool flag = false;
};

Heard parseLine (const char* line)
{
    Heard heard;
    const halvora::cli::OptionTable table {
        { "-f", "--flag", nullptr, "raise the flag", [&] (const juce::String&, const juce::String&) {
             heard.flag = true;
             return juce::String();
         } },
        { "-n", "--name", "NAME", "a name\nthat takes two lines", [&] (const juce::String& spelled, const juce::String& value) {
             heard.name = value;
             heard.spelledAs = spelled;
             return value == "bad" ? juce::String ("no bad names") : juce::String();
         } },
    };

    if (auto error = halvora::cli::parse (table, juce::StringArray::fromTokens (line, " ", ""), heard.positional))
        heard.error = *error;

    return heard;
}

struct ParseCase
{
    const char* line;
    const char* error;      // empty when the line is fine
    const char* positional; // joined with '|'
    const char* name;
    const char* spelledAs;
    bool flag;
};
}

class CommandLineParse : public testing::TestWithParam<ParseCase>
{
};

TEST_P (CommandLineParse, TakesOptionsValuesAndFiles)
{
    const auto& c = GetParam();
    const auto heard = parseLine (c.line);
    EXPECT_EQ (heard.error, c.error) << c.line;

    if (juce::String (c.error).isNotEmpty())
        return;

    EXPECT_EQ (heard.positional.joinIntoString ("|"), c.positional) << c.line;
    EXPECT_EQ (heard.name, c.name) << c.line;
    EXPECT_EQ (heard.spelledAs, c.spelledAs) << c.line;
    EXPECT_EQ (heard.flag, c.flag) << c.line;
}

const ParseCase parseCases[] {
    { "a -n x b", "", "a|b", "x", "-n", false },
    { "--name=x=y -f", "", "", "x=y", "--name", true },
    { "--name= a", "", "a", "", "--name", false },
    { "-- -f --name", "", "-f|--name", "", "", false },
    { "- --flag", "", "-", "", "", true },
    { "--name -f", "", "", "-f", "--name", false },
    { "--flag=1", "unknown option '--flag=1'", "", "", "", false },
    { "-n=x", "unknown option '-n=x'", "", "", "", false },
    { "--nope a", "unknown option '--nope'", "", "", "", false },
    { "a --name", "option '--name' needs a value", "", "", "", false },
    { "--name bad -f", "no bad names", "", "", "", false },
};

INSTANTIATE_TEST_SUITE_P (Table, CommandLineParse, testing::ValuesIn (parseCases));

TEST (CommandLine, HelpPutsTheTextInItsOwnColumn)
{
    const halvora::cli::OptionTable table {
        { "-n", "--name", "NAME", "a name\nthat takes two lines", {} },
        { nullptr, "--flag", nullptr, "raise the flag", {} },
        { "-h", "--help", nullptr, {}, {} },
    };

    EXPECT_EQ (halvora::cli::describe (table), "  -n, --name NAME        a name\n"
                                               "                         that takes two lines\n"
                                               "  --flag                 raise the flag\n");
}

TEST (CommandLine, ArgumentsThatAreNotUtf8AreRefusedByPosition)
{
    const char* good[] { "tool", "caf\xc3\xa9", "x" };
    juce::StringArray args;
    EXPECT_FALSE (halvora::cli::readArguments (3, good, args).has_value());
    ASSERT_EQ (args.size(), 2);
    EXPECT_EQ (args[0], juce::String::fromUTF8 ("caf\xc3\xa9"));
    EXPECT_EQ (args[1], "x");

    const char* bad[] { "tool", "x", "\xc3(" };
    juce::StringArray none;
    EXPECT_EQ (halvora::cli::readArguments (3, bad, none).value_or (""), "argument 2 is not valid UTF-8");
}
