// The tools' atomic file writing: a file is written whole or not at all, and no temporary
// is left behind either way.

#include "AtomicWrite.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

TEST (AtomicWrite, WritesWholeOrLeavesTheOldFileAndNoTemporary)
{
    testutil::TempFolder dir;
    const auto target = dir.file ("out.txt");

    EXPECT_EQ (halvora::writeAtomically (target, "first", 5), "");
    EXPECT_EQ (target.loadFileAsString(), "first");

    // A writer that fails half-way: the old contents stay, and nothing else is left behind.
    const auto error = halvora::writeAtomically (target, [] (std::unique_ptr<juce::FileOutputStream> stream) {
        stream->writeText ("half", false, false, nullptr);
        return juce::String ("stopped");
    });

    EXPECT_EQ (error, "stopped");
    EXPECT_EQ (target.loadFileAsString(), "first");
    EXPECT_EQ (dir.numFiles(), 1);
}

TEST (AtomicWrite, ATargetThatCannotBeReplacedIsNamedAndNoTemporaryStays)
{
    testutil::TempFolder dir;
    const auto folder = dir.file ("taken");
    ASSERT_TRUE (folder.createDirectory());
    ASSERT_TRUE (folder.getChildFile ("inside").replaceWithText ("kept"));

    EXPECT_EQ (halvora::writeAtomically (folder, "x", 1), "cannot write '" + folder.getFullPathName() + "'");
    EXPECT_EQ (halvora::writeAtomically (dir.file ("no/such/folder.txt"), "x", 1),
               "cannot write '" + dir.file ("no/such/folder.txt").getFullPathName() + "'");
    EXPECT_TRUE (folder.isDirectory());
    EXPECT_EQ (dir.numFiles(), 1);
}
