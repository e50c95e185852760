#include "AtomicWrite.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace
{

/** Caps the size of any file this process writes, for as long as it lives, so that a write
    fails part-way as it would on a full disk; the signal such a write raises is ignored.
*/
class FileSizeCap
{
public:
    explicit FileSizeCap (rlim_t bytes)
    {
        getrlimit (RLIMIT_FSIZE, &saved);
        auto capped = saved;
        capped.rlim_cur = bytes;
        setrlimit (RLIMIT_FSIZE, &capped);
        savedHandler = std::signal (SIGXFSZ, SIG_IGN);
    }

    ~FileSizeCap()
    {
        setrlimit (RLIMIT_FSIZE, &saved);
        std::signal (SIGXFSZ, savedHandler);
    }

private:
    rlimit saved {};
    void (*savedHandler) (int) = nullptr;
};

/** Writes `seconds` of mono float WAV through an audio writer the way the renderer does, but
    pays no attention to whether anything failed: writeAtomically must notice by itself.
*/
juce::String careless (std::unique_ptr<juce::FileOutputStream> stream, double seconds)
{
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (stream.get(), 44100.0, 1, 32, {}, 0));

    if (writer == nullptr)
        return "no writer";

    stream.release();
    juce::AudioBuffer<float> block (1, 512);
    block.clear();

    for (int i = 0; i < static_cast<int> (seconds * 44100.0 / 512.0); ++i)
        writer->writeFromAudioSampleBuffer (block, 0, 512);

    writer->flush();
    return {};
}

} // namespace

// Past the cap (about 8.5 s) either before the first large block the stream gathers writes into
// is full, so that the failure is met only when the writer goes back to its header at the end,
// or well after, so that it is met while writing.
class AtomicWriteFailure : public testing::TestWithParam<double>
{
};

TEST_P (AtomicWriteFailure, AWriteThatFailsMidwayLeavesTheOldFileAndNoTemporary)
{
    testutil::TempFolder dir;
    const auto target = dir.file ("out.wav");
    ASSERT_TRUE (target.replaceWithText ("precious"));

    const auto seconds = GetParam();
    juce::String error;
    {
        const FileSizeCap cap (1500000);
        error = halvora::writeAtomically (target, [seconds] (auto stream) { return careless (std::move (stream), seconds); });
    }

    EXPECT_EQ (error, "cannot write '" + target.getFullPathName() + "'");
    EXPECT_EQ (target.loadFileAsString(), "precious");
    EXPECT_EQ (dir.numFiles(), 1);
}

INSTANTIATE_TEST_SUITE_P (Seconds, AtomicWriteFailure, testing::Values (9.0, 11.0, 60.0));

TEST (AtomicWrite, ALongWriteUnderTheCapArrivesWhole)
{
    testutil::TempFolder dir;
    const auto target = dir.file ("out.wav");
    const FileSizeCap cap (4000000);

    EXPECT_EQ (halvora::writeAtomically (target, [] (auto stream) { return careless (std::move (stream), 20.0); }), "");

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (target));
    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (reader->lengthInSamples, static_cast<int> (20.0 * 44100.0 / 512.0) * 512);

    // The header as the same writer makes it for no samples, then every sample's four bytes.
    juce::MemoryBlock header;
    {
        auto stream = std::make_unique<juce::MemoryOutputStream> (header, false);
        std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (stream.get(), 44100.0, 1, 32, {}, 0));
        ASSERT_NE (writer, nullptr);
        stream.release();
    }
    EXPECT_EQ (target.getSize(), static_cast<juce::int64> (header.getSize()) + 4 * reader->lengthInSamples);
    EXPECT_EQ (dir.numFiles(), 1);
}
