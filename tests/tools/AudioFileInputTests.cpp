#include "AudioFileInput.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using testutil::readAudio;
using testutil::runRender;
using testutil::TempFolder;

namespace
{

/** A WAV file written byte by byte: PCM integers (format 1) or IEEE floats (format 3), the
    header's data size claiming `framesClaimed` frames while only `frames` are written.
*/
juce::MemoryBlock wavBytes (int format, int bits, int channels, int framesClaimed, int frames, int seed)
{
    const auto bytesPerFrame = channels * bits / 8;
    juce::MemoryOutputStream out;
    out.write ("RIFF", 4);
    out.writeInt (36 + framesClaimed * bytesPerFrame);
    out.write ("WAVEfmt ", 8);
    out.writeInt (16);
    out.writeShort (static_cast<short> (format));
    out.writeShort (static_cast<short> (channels));
    out.writeInt (44100);
    out.writeInt (44100 * bytesPerFrame);
    out.writeShort (static_cast<short> (bytesPerFrame));
    out.writeShort (static_cast<short> (bits));
    out.write ("data", 4);
    out.writeInt (framesClaimed * bytesPerFrame);

    for (int i = 0; i < frames * channels; ++i)
    {
        const auto x = std::sin (0.01 * (i + seed) * (1 + i % 7)) * 0.9;

        if (format == 3)
            out.writeFloat (static_cast<float> (x));
        else
        {
            const auto v = static_cast<juce::int64> (std::lround (x * static_cast<double> ((juce::int64 { 1 } << (bits - 1)) - 1)));
            for (int b = 0; b < bits / 8; ++b)
                out.writeByte (static_cast<char> ((v >> (8 * b)) & 0xff));
        }
    }

    return out.getMemoryBlock();
}

/** Puts `bytes` in `file` and opens it as the renderer does. */
std::unique_ptr<juce::AudioFormatReader> openBytes (const juce::File& file, const juce::MemoryBlock& bytes)
{
    if (! file.replaceWithData (bytes.getData(), bytes.getSize()))
        return nullptr;

    return halvora::openAudioFile (file);
}

/** What wavBytes() put in sample `i` of channel `c`, worked out again as a plain double. */
double expectedSample (int bits, int channels, int c, int i, int seed)
{
    const auto k = i * channels + c;
    return std::sin (0.01 * (k + seed) * (1 + k % 7)) * 0.9 * (bits == 32 ? 1.0 : 1.0 - 1.0 / static_cast<double> (1 << (bits - 1)));
}

/** Everything the reader holds, read as the renderer reads it: blocks of an awkward size,
    the last one running past the end.
*/
juce::AudioBuffer<float> readInBlocks (juce::AudioFormatReader& reader, int block = 333)
{
    const auto length = static_cast<int> (reader.lengthInSamples);
    juce::AudioBuffer<float> all (static_cast<int> (reader.numChannels), length + block);
    all.clear();

    for (int position = 0; position < length; position += block)
        EXPECT_TRUE (reader.read (&all, position, block, position, true, true)) << position;

    all.setSize (all.getNumChannels(), length, true);
    return all;
}

juce::AudioBuffer<float> readStreamed (const juce::File& file)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    return reader != nullptr ? readInBlocks (*reader) : juce::AudioBuffer<float>();
}

void expectBitIdentical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    ASSERT_EQ (a.getNumChannels(), b.getNumChannels());
    ASSERT_EQ (a.getNumSamples(), b.getNumSamples());

    const auto bytes = sizeof (float) * static_cast<size_t> (a.getNumSamples());
    for (int c = 0; c < a.getNumChannels(); ++c)
        EXPECT_EQ (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), bytes), 0) << "channel " << c;
}

bool isMapped (const juce::AudioFormatReader& reader)
{
    return dynamic_cast<const juce::MemoryMappedAudioFormatReader*> (&reader) != nullptr;
}

} // namespace

//==============================================================================
struct WavCase
{
    const char* name;
    int format, bits, channels;
};

class MappedWav : public testing::TestWithParam<WavCase>
{
};

TEST_P (MappedWav, ReadsTheSameSamplesAsTheStream)
{
    const auto& c = GetParam();
    TempFolder dir;
    const auto file = dir.file ("in.wav");
    const auto reader = openBytes (file, wavBytes (c.format, c.bits, c.channels, 5000, 5000, 3));
    ASSERT_NE (reader, nullptr);
    EXPECT_TRUE (isMapped (*reader));
    EXPECT_EQ (reader->lengthInSamples, 5000);

    const auto mapped = readInBlocks (*reader);
    expectBitIdentical (mapped, readStreamed (file));

    const auto step = 1.0 / static_cast<double> (1 << (juce::jmin (c.bits, 24) - 1));
    for (int ch = 0; ch < c.channels; ++ch)
        for (int i = 0; i < 5000; ++i)
            ASSERT_NEAR (mapped.getSample (ch, i), expectedSample (c.bits, c.channels, ch, i, 3), step) << ch << " " << i;
}

INSTANTIATE_TEST_SUITE_P (Encodings, MappedWav,
                          testing::Values (WavCase { "int16_mono", 1, 16, 1 }, WavCase { "int16_stereo", 1, 16, 2 },
                                           WavCase { "int24_mono", 1, 24, 1 }, WavCase { "int24_stereo", 1, 24, 2 },
                                           WavCase { "int32_mono", 1, 32, 1 }, WavCase { "int32_stereo", 1, 32, 2 },
                                           WavCase { "float32_mono", 3, 32, 1 }, WavCase { "float32_stereo", 3, 32, 2 }),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

//==============================================================================
struct WrittenCase
{
    const char* name;
    const char* extension;
    int bits, channels;
    bool mapped;
};

class AudioFileThroughJuce : public testing::TestWithParam<WrittenCase>
{
};

// AIFF maps as WAV does; FLAC has no map and is read as a stream. Either way: the same samples.
TEST_P (AudioFileThroughJuce, MapsWhereTheFormatCanAndReadsTheSameSamples)
{
    const auto& c = GetParam();
    TempFolder dir;
    const auto file = dir.file (juce::String ("in") + c.extension);
    const auto source = testutil::makeTestSignal (c.channels, 4000, 44100.0);

    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        auto stream = file.createOutputStream();
        auto* format = formats.findFormatForFileExtension (c.extension);
        const auto channels = static_cast<unsigned int> (c.channels);
        std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (stream.get(), 44100.0, channels, c.bits, {}, 0));
        ASSERT_NE (writer, nullptr);
        stream.release();
        ASSERT_TRUE (writer->writeFromAudioSampleBuffer (source, 0, source.getNumSamples()));
    }

    const auto reader = halvora::openAudioFile (file);
    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (isMapped (*reader), c.mapped);

    const auto samples = readInBlocks (*reader);
    expectBitIdentical (samples, readStreamed (file));

    for (int ch = 0; ch < c.channels; ++ch)
        for (int i = 0; i < 4000; ++i)
            ASSERT_NEAR (samples.getSample (ch, i), source.getSample (ch, i), 1.0 / (1 << (c.bits - 2))) << ch << " " << i;
}

INSTANTIATE_TEST_SUITE_P (Formats, AudioFileThroughJuce,
                          testing::Values (WrittenCase { "aiff16_mono", ".aiff", 16, 1, true }, WrittenCase { "aiff24_stereo", ".aiff", 24, 2, true },
                                           WrittenCase { "aif16_stereo", ".aif", 16, 2, true }, WrittenCase { "flac16_mono", ".flac", 16, 1, false },
                                           WrittenCase { "flac24_stereo", ".flac", 24, 2, false }),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

//==============================================================================
// Files whose samples the map cannot hold whole. A header that claims more than the file holds:
// the map reaches only as far as the file does, so the stream reads it, and the missing end
// comes back as silence, as it always has. A data chunk of no samples: nothing to map.
struct UnmappedCase
{
    const char* name;
    int framesClaimed, frames, channels;
};

class UnmappableWav : public testing::TestWithParam<UnmappedCase>
{
};

TEST_P (UnmappableWav, IsReadAsAStreamWithASilentEnd)
{
    const auto& c = GetParam();
    TempFolder dir;
    const auto reader = openBytes (dir.file ("in.wav"), wavBytes (3, 32, c.channels, c.framesClaimed, c.frames, 5));
    ASSERT_NE (reader, nullptr);
    EXPECT_FALSE (isMapped (*reader));
    EXPECT_EQ (reader->lengthInSamples, c.framesClaimed);

    const auto samples = readInBlocks (*reader);
    for (int ch = 0; ch < c.channels; ++ch)
        for (int i = 0; i < c.framesClaimed; ++i)
            ASSERT_NEAR (samples.getSample (ch, i), i < c.frames ? expectedSample (32, c.channels, ch, i, 5) : 0.0, 1.0e-7) << ch << " " << i;
}

INSTANTIATE_TEST_SUITE_P (Files, UnmappableWav,
                          testing::Values (UnmappedCase { "truncated_stereo", 9000, 6000, 2 }, UnmappedCase { "truncated_mid_page", 3000, 1023, 1 },
                                           UnmappedCase { "empty_data_chunk", 0, 0, 1 }),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (AudioFileInput, WhatIsNotAudioIsRefused)
{
    TempFolder dir;
    dir.file ("text.wav").replaceWithText ("this is not audio");
    const char header[] = "RIFF\x24\0\0\0WAVEfmt ";
    dir.file ("cut-header.wav").replaceWithData (header, sizeof (header) - 1);
    dir.file ("nothing.aiff").create();

    for (auto name : { "text.wav", "cut-header.wav", "nothing.aiff", "absent.wav" })
        EXPECT_EQ (halvora::openAudioFile (dir.file (name)), nullptr) << name;
}

//==============================================================================
// The renderer over the same files: a pass-through gives back what was read, silence and all.
struct RenderedCase
{
    const char* name;
    int framesClaimed, frames;
};

class RenderOddWav : public testing::TestWithParam<RenderedCase>
{
};

TEST_P (RenderOddWav, RendersWhatTheStreamReads)
{
    const auto& c = GetParam();
    TempFolder dir;
    const auto bytes = wavBytes (3, 32, 1, c.framesClaimed, c.frames, 7);
    ASSERT_TRUE (dir.file ("in.wav").replaceWithData (bytes.getData(), bytes.getSize()));

    const auto result = runRender ({ "-p", "range=Tenor", dir.file ("in.wav").getFullPathName(), dir.file ("out.wav").getFullPathName() });
    ASSERT_EQ (result.exitCode, 0) << result.output;
    EXPECT_TRUE (result.output.contains ("(" + juce::String (c.framesClaimed) + " samples")) << result.output;

    const auto output = readAudio (dir.file ("out.wav"));
    ASSERT_EQ (output.getNumSamples(), c.framesClaimed);

    for (int i = 0; i < c.framesClaimed; ++i)
        ASSERT_NEAR (output.getSample (0, i), i < c.frames ? expectedSample (32, 1, 0, i, 7) : 0.0, 1.0e-6) << i;

    EXPECT_EQ (dir.numFiles(), 2);
}

INSTANTIATE_TEST_SUITE_P (Files, RenderOddWav,
                          testing::Values (RenderedCase { "whole", 3000, 3000 }, RenderedCase { "truncated", 3000, 1700 },
                                           RenderedCase { "empty_data_chunk", 0, 0 }),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });
