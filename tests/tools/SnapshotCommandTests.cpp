#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

namespace
{
testutil::CommandResult runSnapshot (const juce::StringArray& args)
{
    juce::StringArray command { HALVORA_SNAPSHOT_PATH };
    command.addArray (args);

    juce::ChildProcess process;
    testutil::CommandResult result;

    if (process.start (command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
    {
        result.output = process.readAllProcessOutput();
        process.waitForProcessToFinish (60000);
        result.exitCode = static_cast<int> (process.getExitCode());
    }

    return result;
}
}

TEST (SnapshotCommand, PaintsTheWindowWithItsSettings)
{
    testutil::TempFolder dir;
    const auto out = dir.file ("editor.png");
    const auto result = runSnapshot ({ "--on", "key", "-p", "key=F#", out.getFullPathName() });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    const auto image = juce::ImageFileFormat::loadFrom (out);
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), 1200);
    EXPECT_EQ (image.getHeight(), 600);

    // The lit ON button beside "Key" (249, 490, 40 x 22) is gold inside; the one beside
    // "Range" above it is black inside.
    const auto lit = image.getPixelAt (257, 501);
    const auto unlit = image.getPixelAt (257, 51);
    EXPECT_GT (lit.getRed(), 180);
    EXPECT_GT (lit.getGreen(), 140);
    EXPECT_LT (unlit.getRed(), 40);

    // The black band left of the artwork.
    EXPECT_EQ (image.getPixelAt (5, 300), juce::Colours::black);
}

class SnapshotErrors : public testing::TestWithParam<std::tuple<const char*, int>>
{
};

TEST_P (SnapshotErrors, ExitStatusAndNoFile)
{
    testutil::TempFolder dir;
    auto args = juce::StringArray::fromTokens (std::get<0> (GetParam()), " ", "");
    for (auto& a : args)
        a = a.replace ("OUT", dir.file ("x.png").getFullPathName());

    const auto result = runSnapshot (args);
    EXPECT_EQ (result.exitCode, std::get<1> (GetParam())) << result.output;
    EXPECT_EQ (juce::StringArray::fromLines (result.output.trim()).size(), 1) << result.output;
    EXPECT_FALSE (dir.file ("x.png").exists());
}

const std::tuple<const char*, int> snapshotErrors[] {
    std::make_tuple ("-p volume=3 OUT", 2),
    std::make_tuple ("-p key=H OUT", 2),
    std::make_tuple ("--on loud OUT", 2),
    std::make_tuple ("--frobnicate OUT", 2),
    std::make_tuple ("", 2),
    std::make_tuple ("OUT /tmp/second.png", 2),
    std::make_tuple ("/nonexistent-folder/x.png", 1),
};

INSTANTIATE_TEST_SUITE_P (Table, SnapshotErrors, testing::ValuesIn (snapshotErrors));
