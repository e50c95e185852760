#include "RenderOptions.h"

#include <gtest/gtest.h>

using halvora::parseCommandLine;

namespace
{
juce::StringArray split (const char* line)
{
    return juce::StringArray::fromTokens (line, " ", "\"");
}
}

TEST (RenderOptions, FullCommandLine)
{
    const auto r = parseCommandLine (split ("-p gain=3 --param key=F# --on key --block 256 --state a.bin "
                                            "--save-state b.bin --bits 24 -q in.wav out.wav"));
    ASSERT_TRUE (r.ok()) << r.error;
    const auto& o = r.options;
    ASSERT_EQ (o.params.size(), 2);
    EXPECT_EQ (o.params[0].id, "gain");
    EXPECT_EQ (o.params[0].value, "3");
    EXPECT_EQ (o.params[1].value, "F#");
    EXPECT_EQ (o.onTarget, 3);
    EXPECT_EQ (o.blockSize, 256);
    EXPECT_EQ (o.statePath, "a.bin");
    EXPECT_EQ (o.saveStatePath, "b.bin");
    EXPECT_EQ (o.bits, 24);
    EXPECT_TRUE (o.quiet);
    EXPECT_EQ (o.inputPath, "in.wav");
    EXPECT_EQ (o.outputPath, "out.wav");
}

TEST (RenderOptions, DefaultsAndDemo)
{
    const auto r = parseCommandLine (split ("--demo --on=scale out.wav"));
    ASSERT_TRUE (r.ok()) << r.error;
    EXPECT_TRUE (r.options.demo);
    EXPECT_EQ (r.options.onTarget, 4);
    EXPECT_EQ (r.options.blockSize, 512);
    EXPECT_FALSE (r.options.bits.has_value());
    EXPECT_EQ (r.options.outputPath, "out.wav");
    EXPECT_TRUE (r.options.inputPath.isEmpty());
}

TEST (RenderOptions, HelpAndVersionNeedNoFiles)
{
    for (const auto* line : { "--help", "-h", "--version", "--list-params", "--list-ranges" })
    {
        const auto r = parseCommandLine (split (line));
        ASSERT_TRUE (r.ok()) << line << ": " << r.error;
        EXPECT_EQ (r.options.help, juce::String (line) == "--help" || juce::String (line) == "-h") << line;
        EXPECT_EQ (r.options.version, juce::String (line) == "--version") << line;
        EXPECT_TRUE (r.options.outputPath.isEmpty());
    }

    EXPECT_TRUE (halvora::usageText().contains ("--version"));
}

class RenderUsageErrors : public testing::TestWithParam<std::pair<const char*, const char*>>
{
};

TEST_P (RenderUsageErrors, NameTheProblem)
{
    const auto r = parseCommandLine (split (GetParam().first));
    EXPECT_FALSE (r.ok());
    EXPECT_TRUE (r.error.contains (GetParam().second)) << r.error;
}

const std::pair<const char*, const char*> usageErrors[] {
    std::make_pair ("--frobnicate in.wav out.wav", "--frobnicate"),
    std::make_pair ("--block 0 in.wav out.wav", "block size"),
    std::make_pair ("--block 65537 in.wav out.wav", "block size"),
    std::make_pair ("--block 12x in.wav out.wav", "12x"),
    std::make_pair ("--bits 8 in.wav out.wav", "--bits"),
    std::make_pair ("--on loud in.wav out.wav", "loud"),
    std::make_pair ("-p gain in.wav out.wav", "ID=VALUE"),
    std::make_pair ("in.wav out.wav --block", "needs a value"),
    std::make_pair ("in.wav", "INPUT and OUTPUT"),
    std::make_pair ("a b c", "INPUT and OUTPUT"),
    std::make_pair ("--demo a b", "OUTPUT"),
};

INSTANTIATE_TEST_SUITE_P (Table, RenderUsageErrors, testing::ValuesIn (usageErrors));

TEST (RenderOptions, NumbersAreWholeStringsOnly)
{
    EXPECT_EQ (halvora::parseNumber ("3.5"), 3.5);
    EXPECT_EQ (halvora::parseNumber ("-1e2"), -100.0);
    EXPECT_FALSE (halvora::parseNumber ("3.5dB"));
    EXPECT_FALSE (halvora::parseNumber ("nan"));
    EXPECT_FALSE (halvora::parseNumber ("inf"));
    EXPECT_FALSE (halvora::parseNumber ("1e999"));
    EXPECT_FALSE (halvora::parseNumber (""));
    EXPECT_FALSE (halvora::parseNumber ("0x10"));
}
